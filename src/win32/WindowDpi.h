// The dots per inch a window is drawn at. The program is per-monitor aware
// (its manifest): on Windows 10 from 1607 on, each window has the DPI of the
// monitor it is on; older systems have one DPI for the whole screen. Never
// fails: an unreadable figure is 96.
#pragma once

#include <windows.h>

namespace lum::win32 {

// The DPI of the screen as a whole (GetDeviceCaps LOGPIXELSY of the screen),
// the figure of the primary monitor when the session began.
int SystemDpi();

// The DPI of wnd's monitor (GetDpiForWindow where user32 has it), else the
// system's; the system's for a null window.
int WindowDpi(HWND wnd);

// The window rectangle of a window of style and exStyle (no menu) whose
// client area is rect, with the frame of a window at dpi (the system's
// frame where AdjustWindowRectExForDpi is missing).
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// pixels at 96 dpi scaled to dpi.
inline int ScaleToDpi(int pixels, int dpi) {
    return ::MulDiv(pixels, dpi, 96);
}

}  // namespace lum::win32
