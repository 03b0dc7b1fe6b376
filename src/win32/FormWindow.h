// Win32 windows behind the portable forms (the BaseWindow pattern: the form
// is attached at WM_NCCREATE), and the application services: the standard
// error report and actions deferred to the message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "common/Forms.h"
#include "platform/FormWindow.h"

namespace lum::win32 {

// Registers the window class name of this program once; later calls (a
// second window of the same kind) find it registered and do nothing.
void RegisterClassOnce(const wchar_t* name,
                       WNDPROC proc,
                       UINT style = 0,
                       HBRUSH background = nullptr);

class TWin32FormWindowFactory : public IFormWindowFactory {
  public:
    std::unique_ptr<IFormWindow> CreateFormWindow(TWinControl& form,
                                                  const TFormWindowStyle& style) override;
};

// Paints the client area of wnd double-buffered: paint draws on a canvas of
// the whole client area, which is copied to the screen in one step.
void PaintDoubleBuffered(HWND wnd, HDC dc, const std::function<void(ICanvas&)>& paint);

class TWin32ApplicationPlatform : public IApplicationPlatform {
  public:
    TWin32ApplicationPlatform();
    ~TWin32ApplicationPlatform() override;
    void ShowErrorReport(const std::string& title, const std::string& message) override;
    void PostDeferred(std::function<void()> action) override;
    // Runs the deferred actions now (the message loop does this as well).
    void RunDeferred();

  private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND FWindow = nullptr;
    std::vector<std::function<void()>> FQueue;
};

// The message loop of the program: runs until WM_QUIT; shortcut gets every
// key-down first and consumes it by returning true.
int RunMessageLoop(const std::function<bool(const MSG&)>& shortcut);

}  // namespace lum::win32
