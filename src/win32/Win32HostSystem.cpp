#include "win32/Win32HostSystem.h"

#include <imm.h>
#include <windows.h>

#include "win32/Strings.h"

namespace lum::win32 {

namespace {

HWND H(THandle wnd) {
    return reinterpret_cast<HWND>(wnd);
}
THandle T(const void* handle) {
    return reinterpret_cast<THandle>(handle);
}

}  // namespace

std::string TWin32HostSystem::CommandLine() {
    return Narrow(::GetCommandLineW());
}

bool TWin32HostSystem::IsNT() {
    // The size field of 148 is that of OSVERSIONINFOA; a failed call counts
    // as a system that is not NT.
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::uint32_t TWin32HostSystem::TickCount() {
    return ::GetTickCount();
}

bool TWin32HostSystem::IsWindow(THandle wnd) {
    return wnd && ::IsWindow(H(wnd));
}

THandle TWin32HostSystem::DesktopWindow() {
    return T(::GetDesktopWindow());
}

THandle TWin32HostSystem::ForegroundWindow() {
    return T(::GetForegroundWindow());
}

THandle TWin32HostSystem::ParentOf(THandle wnd) {
    return T(::GetParent(H(wnd)));
}

std::uint32_t TWin32HostSystem::WindowStyle(THandle wnd) {
    return static_cast<std::uint32_t>(::GetWindowLongW(H(wnd), GWL_STYLE));
}

void TWin32HostSystem::SetWindowStyle(THandle wnd, std::uint32_t style) {
    ::SetWindowLongW(H(wnd), GWL_STYLE, static_cast<LONG>(style));
}

std::uint32_t TWin32HostSystem::WindowExStyle(THandle wnd) {
    return static_cast<std::uint32_t>(::GetWindowLongW(H(wnd), GWL_EXSTYLE));
}

void TWin32HostSystem::SetWindowExStyle(THandle wnd, std::uint32_t exStyle) {
    ::SetWindowLongW(H(wnd), GWL_EXSTYLE, static_cast<LONG>(exStyle));
}

THandle TWin32HostSystem::FindWindowByClass(const char* className, const char* title) {
    return T(::FindWindowA(className, title));
}

THandle TWin32HostSystem::FirstChild(THandle wnd) {
    return T(::GetWindow(H(wnd), GW_CHILD));
}

bool TWin32HostSystem::WindowRect(THandle wnd, TRect& rect) {
    RECT r{};
    if (!::GetWindowRect(H(wnd), &r))
        return false;
    rect = TRect{r.left, r.top, r.right, r.bottom};
    return true;
}

namespace {

// A lambda cannot be the callback: on 32-bit Windows it must be __stdcall.
BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT r, LPARAM list) {
    reinterpret_cast<std::vector<TRect>*>(list)->push_back(
        TRect{r->left, r->top, r->right, r->bottom});
    return TRUE;
}

}  // namespace

std::vector<TRect> TWin32HostSystem::Monitors() {
    std::vector<TRect> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

bool TWin32HostSystem::IsWindowEnabled(THandle wnd) {
    return ::IsWindowEnabled(H(wnd)) != FALSE;
}

void TWin32HostSystem::EnableWindow(THandle wnd, bool enable) {
    ::EnableWindow(H(wnd), enable);
}

void TWin32HostSystem::SetForegroundWindow(THandle wnd) {
    ::SetForegroundWindow(H(wnd));
}

void TWin32HostSystem::SetTopmost(THandle wnd) {
    ::SetWindowPos(H(wnd), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TWin32HostSystem::PostMessage(THandle wnd,
                                   std::uint32_t msg,
                                   std::uintptr_t wParam,
                                   std::intptr_t lParam) {
    ::PostMessageW(H(wnd), msg, wParam, lParam);
}

void TWin32HostSystem::CloseImeStatusWindow(THandle wnd) {
    if (HWND ime = ::ImmGetDefaultIMEWnd(H(wnd)))
        ::SendMessageW(ime, WM_IME_CONTROL, IMC_CLOSESTATUSWINDOW, 0);
}

void TWin32HostSystem::ReleaseCapture() {
    ::ReleaseCapture();
}

void TWin32HostSystem::MessageBox(THandle owner,
                                  const std::string& text,
                                  const std::string& caption,
                                  std::uint32_t style) {
    ::MessageBoxW(H(owner), Widen(text).c_str(), Widen(caption).c_str(), style);
}

int TWin32HostSystem::ShowCursor(bool show) {
    return ::ShowCursor(show);
}

TPoint TWin32HostSystem::CursorPos() {
    POINT p{};
    ::GetCursorPos(&p);
    return TPoint{p.x, p.y};
}

std::int16_t TWin32HostSystem::KeyState(std::uint32_t vk) {
    return static_cast<std::int16_t>(::GetKeyState(static_cast<int>(vk)));
}

void TWin32HostSystem::SetScreenSaverRunning(bool running) {
    UINT scratch = 0;
    ::SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? 1 : 0, &scratch, 0);
}

THandle TWin32HostSystem::OpenMutex(const std::string& name) {
    return T(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Widen(name).c_str()));
}

THandle TWin32HostSystem::CreateMutex(const std::string& name) {
    return T(::CreateMutexW(nullptr, FALSE, Widen(name).c_str()));
}

void TWin32HostSystem::ReleaseMutex(THandle mutex) {
    if (mutex)
        ::ReleaseMutex(reinterpret_cast<HANDLE>(mutex));
}

void TWin32HostSystem::CloseHandle(THandle handle) {
    if (handle)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool TWin32HostSystem::ScreenSaveUsePasswordExists() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\desktop", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return false;
    const bool exists = ::RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr, nullptr,
                                           nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return exists;
}

THandle TWin32HostSystem::LoadLibrary(const char* name) {
    return T(::LoadLibraryA(name));
}

bool TWin32HostSystem::HasExport(THandle library, const char* name) {
    return ::GetProcAddress(reinterpret_cast<HMODULE>(library), name) != nullptr;
}

bool TWin32HostSystem::VerifyScreenSavePwd(THandle library, THandle wnd) {
    using TVerify = BOOL(WINAPI*)(HWND);
    auto verify = reinterpret_cast<TVerify>(reinterpret_cast<void*>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(library), "VerifyScreenSavePwd")));
    if (!verify)
        return true;
    // Only the low byte of the Boolean carries the verdict.
    return (verify(H(wnd)) & 0xFF) != 0;
}

void TWin32HostSystem::PwdChangePassword(THandle library, const char* provider, THandle wnd) {
    using TChange = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
    auto change = reinterpret_cast<TChange>(reinterpret_cast<void*>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(library), "PwdChangePasswordA")));
    if (change)
        change(provider, H(wnd), 0, nullptr);
}

void TWin32HostSystem::FreeLibrary(THandle library) {
    if (library)
        ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}

}  // namespace lum::win32
