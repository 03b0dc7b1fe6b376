#include "win32/WindowDpi.h"

#include "win32/DeviceContexts.h"

namespace lum::win32 {

namespace {

constexpr int kDefaultDpi = 96;

using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// An export of user32, or nullptr where this system has none of that name.
template <class TFunction>
TFunction User32Function(const char* name) {
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    FARPROC address = user32 ? ::GetProcAddress(user32, name) : nullptr;
    return reinterpret_cast<TFunction>(reinterpret_cast<void*>(address));
}

// GetDpiForWindow exists from Windows 10 1607 on, not in Windows 7 or 8:
// looked up once by name, so that the program still starts where it is
// missing.
TGetDpiForWindow GetDpiForWindowFunction() {
    static const auto function = User32Function<TGetDpiForWindow>("GetDpiForWindow");
    return function;
}

}  // namespace

int SystemDpi() {
    const WindowDc dc(nullptr);
    const int dpi = dc ? ::GetDeviceCaps(dc.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kDefaultDpi;
}

int WindowDpi(HWND wnd) {
    if (wnd) {
        if (const TGetDpiForWindow getDpi = GetDpiForWindowFunction()) {
            // 0 for a window handle that is no longer valid.
            if (const UINT dpi = getDpi(wnd); dpi > 0)
                return static_cast<int>(dpi);
        }
    }
    return SystemDpi();
}

// The frame of a per-monitor aware window is drawn at its monitor's DPI,
// which AdjustWindowRectEx does not know (it measures the system's).
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    static const auto adjustForDpi =
        User32Function<TAdjustWindowRectExForDpi>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

}  // namespace lum::win32
