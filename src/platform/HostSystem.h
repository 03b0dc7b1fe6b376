// The operating-system services the screen-saver host calls: windows and
// their styles, the cursor, the keyboard state, the screen-saver flag, the
// named mutex, version, and the password libraries. Results are plain values;
// nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace lum {

class IHostSystem {
  public:
    virtual ~IHostSystem() = default;

    // Process and system.
    virtual std::string CommandLine() = 0;  // the whole command line, UTF-8
    virtual bool IsNT() = 0;                // GetVersionExA says VER_PLATFORM_WIN32_NT
    virtual std::uint32_t TickCount() = 0;

    // Windows.
    virtual bool IsWindow(THandle wnd) = 0;
    virtual THandle DesktopWindow() = 0;
    virtual THandle ForegroundWindow() = 0;
    virtual THandle ParentOf(THandle wnd) = 0;  // GetParent
    virtual std::uint32_t WindowStyle(THandle wnd) = 0;
    virtual void SetWindowStyle(THandle wnd, std::uint32_t style) = 0;
    virtual std::uint32_t WindowExStyle(THandle wnd) = 0;
    virtual void SetWindowExStyle(THandle wnd, std::uint32_t exStyle) = 0;
    // FindWindowA; title nullptr matches any title.
    virtual THandle FindWindowByClass(const char* className, const char* title) = 0;
    virtual THandle FirstChild(THandle wnd) = 0;  // GetWindow(GW_CHILD)
    virtual bool WindowRect(THandle wnd, TRect& rect) = 0;
    // The rectangles of the monitors in virtual-screen coordinates, as the
    // system lists them (EnumDisplayMonitors); empty when it cannot tell.
    virtual std::vector<TRect> Monitors() = 0;
    virtual bool IsWindowEnabled(THandle wnd) = 0;
    virtual void EnableWindow(THandle wnd, bool enable) = 0;
    virtual void SetForegroundWindow(THandle wnd) = 0;
    virtual void SetTopmost(THandle wnd) = 0;  // HWND_TOPMOST, SWP_NOMOVE | SWP_NOSIZE
    virtual void PostMessage(THandle wnd,
                             std::uint32_t msg,
                             std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    // WM_IME_CONTROL / IMC_CLOSESTATUSWINDOW to the default IME window of wnd.
    virtual void CloseImeStatusWindow(THandle wnd) = 0;
    virtual void ReleaseCapture() = 0;
    // MessageBoxA-style box; the style bits are the Windows values.
    virtual void MessageBox(THandle owner,
                            const std::string& text,
                            const std::string& caption,
                            std::uint32_t style) = 0;

    // Input.
    virtual int ShowCursor(bool show) = 0;  // returns the new display counter
    virtual TPoint CursorPos() = 0;
    virtual std::int16_t KeyState(std::uint32_t vk) = 0;  // GetKeyState

    // Screen saver.
    virtual void SetScreenSaverRunning(bool running) = 0;  // SPI_SETSCREENSAVERRUNNING

    // Named mutex; 0 when it does not exist or cannot be created.
    virtual THandle OpenMutex(const std::string& name) = 0;
    virtual THandle CreateMutex(const std::string& name) = 0;
    virtual void ReleaseMutex(THandle mutex) = 0;
    virtual void CloseHandle(THandle handle) = 0;

    // Password services.
    virtual bool ScreenSaveUsePasswordExists() = 0;  // "Control Panel\desktop"
    virtual THandle LoadLibrary(const char* name) = 0;
    virtual bool HasExport(THandle library, const char* name) = 0;
    virtual bool VerifyScreenSavePwd(THandle library, THandle wnd) = 0;
    virtual void PwdChangePassword(THandle library, const char* provider, THandle wnd) = 0;
    virtual void FreeLibrary(THandle library) = 0;
};

}  // namespace lum
