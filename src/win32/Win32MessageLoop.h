// The application services of the Win32 layer (the standard error report,
// actions deferred to the message loop) and the program's message loop.
// Nothing here throws; a deferred action that fails is reported.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Forms.h"
#include "common/PostedActions.h"
#include "win32/BaseWindow.h"

namespace lum::win32 {

class TWin32ApplicationPlatform : public IApplicationPlatform,
                                  public BaseWindow<TWin32ApplicationPlatform> {
  public:
    TWin32ApplicationPlatform();
    ~TWin32ApplicationPlatform() override;
    void ShowErrorReport(const std::string& title, const std::string& message) override;
    // The system's debug output (OutputDebugString): a saver has no console.
    void WriteLog(const std::string& line) override;
    // From any thread: the action runs on the thread of the message loop.
    void PostDeferred(std::function<void()> action) override;
    bool PostsFromAnyThread() const override { return true; }
    // Runs the deferred actions now (the message loop does this as well).
    void RunDeferred();

  private:
    friend class BaseWindow<TWin32ApplicationPlatform>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    TPostedActions FQueue;
};

// The message loop of the program: runs until WM_QUIT; shortcut gets every
// key-down first and consumes it by returning true.
int RunMessageLoop(const std::function<bool(const MSG&)>& shortcut);

}  // namespace lum::win32
