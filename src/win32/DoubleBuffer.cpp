#include "win32/DoubleBuffer.h"

#include "win32/GdiCanvas.h"

namespace lum::win32 {

TDoubleBuffer::~TDoubleBuffer() {
    ReleaseBitmap();
}

void TDoubleBuffer::ReleaseBitmap() noexcept {
    // A bitmap selected into a DC cannot be deleted: the DC gets its own back first.
    FBitmapSelection.reset();
    FBitmap.Reset();
    FWidth = 0;
    FHeight = 0;
}

void TDoubleBuffer::Prepare(HDC target, int width, int height) {
    const int dpi = ::GetDeviceCaps(target, LOGPIXELSY);
    if (!FFont || dpi != FDpi) {
        FFont = CreateFormFont(dpi);
        FDpi = dpi;
    }
    if (FBitmap && width == FWidth && height == FHeight)
        return;
    ReleaseBitmap();
    if (width <= 0 || height <= 0)
        return;
    if (!FDc)
        FDc.Reset(::CreateCompatibleDC(target));
    if (!FDc)
        return;
    // Compatible with the target, not with the memory DC: a fresh memory DC
    // holds a 1 x 1 monochrome bitmap and would give a monochrome buffer.
    FBitmap.Reset(::CreateCompatibleBitmap(target, width, height));
    if (!FBitmap)
        return;
    FBitmapSelection.emplace(FDc.Get(), FBitmap.Get());
    FWidth = width;
    FHeight = height;
}

void TDoubleBuffer::Paint(HWND wnd, HDC dc, const std::function<void(ICanvas&)>& paint) {
    RECT client{};
    ::GetClientRect(wnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    Prepare(dc, width, height);
    TGdiCanvas canvas(dc, FBitmap ? FDc.Get() : nullptr, width, height,
                      static_cast<HFONT>(FFont.Get()));
    paint(canvas);
    canvas.Present();
}

}  // namespace lum::win32
