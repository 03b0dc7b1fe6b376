// The host's operating-system services on Win32.
#pragma once

#include "platform/HostSystem.h"

namespace lum::win32 {

class TWin32HostSystem : public IHostSystem {
  public:
    std::string CommandLine() override;
    bool IsNT() override;
    std::uint32_t TickCount() override;
    bool IsWindow(THandle wnd) override;
    THandle DesktopWindow() override;
    THandle ForegroundWindow() override;
    THandle ParentOf(THandle wnd) override;
    std::uint32_t WindowStyle(THandle wnd) override;
    void SetWindowStyle(THandle wnd, std::uint32_t style) override;
    std::uint32_t WindowExStyle(THandle wnd) override;
    void SetWindowExStyle(THandle wnd, std::uint32_t exStyle) override;
    THandle FindWindowByClass(const char* className, const char* title) override;
    THandle FirstChild(THandle wnd) override;
    bool WindowRect(THandle wnd, TRect& rect) override;
    std::vector<TRect> Monitors() override;
    bool IsWindowEnabled(THandle wnd) override;
    void EnableWindow(THandle wnd, bool enable) override;
    void SetForegroundWindow(THandle wnd) override;
    void SetTopmost(THandle wnd) override;
    void PostMessage(THandle wnd,
                     std::uint32_t msg,
                     std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    void CloseImeStatusWindow(THandle wnd) override;
    void ReleaseCapture() override;
    void MessageBox(THandle owner,
                    const std::string& text,
                    const std::string& caption,
                    std::uint32_t style) override;
    int ShowCursor(bool show) override;
    TPoint CursorPos() override;
    std::int16_t KeyState(std::uint32_t vk) override;
    void SetScreenSaverRunning(bool running) override;
    THandle OpenMutex(const std::string& name) override;
    THandle CreateMutex(const std::string& name) override;
    void ReleaseMutex(THandle mutex) override;
    void CloseHandle(THandle handle) override;
    bool ScreenSaveUsePasswordExists() override;
    THandle LoadLibrary(const char* name) override;
    bool HasExport(THandle library, const char* name) override;
    bool VerifyScreenSavePwd(THandle library, THandle wnd) override;
    void PwdChangePassword(THandle library, const char* provider, THandle wnd) override;
    void FreeLibrary(THandle library) override;
};

}  // namespace lum::win32
