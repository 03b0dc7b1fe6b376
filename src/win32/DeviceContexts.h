// Scoped device contexts of the Win32 layer: a paint (BeginPaint/EndPaint),
// a window's DC (GetDC/ReleaseDC) and an object selected into a DC, each
// undone when its owner goes, also when an exception passes. Copy is deleted.
#pragma once

#include <windows.h>

namespace lum::win32 {

// The paint of one WM_PAINT. EndPaint always follows, so a paint that fails
// still validates the window: otherwise Windows sends WM_PAINT again at once,
// for ever.
class PaintDc {
  public:
    explicit PaintDc(HWND window) noexcept : FWindow(window) {
        FDc = ::BeginPaint(window, &FPaint);
    }
    ~PaintDc() { ::EndPaint(FWindow, &FPaint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC Get() const noexcept { return FDc; }
    explicit operator bool() const noexcept { return FDc != nullptr; }
    const PAINTSTRUCT& Info() const noexcept { return FPaint; }

  private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDc = nullptr;
};

// The DC of a window's client area (window nullptr: the screen), released
// when it goes.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : FWindow(window), FDc(::GetDC(window)) {}
    ~WindowDc() {
        if (FDc)
            ::ReleaseDC(FWindow, FDc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const noexcept { return FDc; }
    explicit operator bool() const noexcept { return FDc != nullptr; }

  private:
    HWND FWindow;
    HDC FDc;
};

// Selects an object into a DC and selects the previous one back when it goes.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : FDc(dc), FPrevious(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (FPrevious && FPrevious != HGDI_ERROR)
            ::SelectObject(FDc, FPrevious);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC FDc;
    HGDIOBJ FPrevious;
};

}  // namespace lum::win32
