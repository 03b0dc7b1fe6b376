#include "win32/DoubleBuffer.h"

#include "win32/GdiCanvas.h"
#include "win32/WindowDpi.h"

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
    FHasFrame = false;
}

void TDoubleBuffer::Prepare(HDC target, int dpi, int width, int height) {
    if (!FFont || dpi != FDpi) {
        FFont = CreateFormFont(dpi);
        FDpi = dpi;
        FHasFrame = false;  // text of another size
    }
    if (!FChanged)
        FChanged.Reset(::CreateRectRgn(0, 0, 0, 0));
    if (!FScratch)
        FScratch.Reset(::CreateRectRgn(0, 0, 0, 0));
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

// Limits drawing on the buffer to rects, with the two regions made once (a
// region per paint would be a GDI object made and deleted each time).
// Without them, drawing is not limited: the whole frame is drawn again,
// which paints the same pixels.
void TDoubleBuffer::ClipTo(const std::vector<TRect>& rects) {
    const auto changed = static_cast<HRGN>(FChanged.Get());
    const auto scratch = static_cast<HRGN>(FScratch.Get());
    if (!changed || !scratch) {
        ::SelectClipRgn(FDc.Get(), nullptr);
        return;
    }
    ::SetRectRgn(changed, 0, 0, 0, 0);
    for (const TRect& r : rects) {
        ::SetRectRgn(scratch, r.Left, r.Top, r.Right, r.Bottom);
        ::CombineRgn(changed, changed, scratch, RGN_OR);
    }
    // Selecting copies the region into the DC's own clipping region.
    ::SelectClipRgn(FDc.Get(), changed);
}

// Whether a system colour differs from what the last frame was drawn with;
// remembers the colours of now.
bool TDoubleBuffer::SystemColorsChanged() noexcept {
    bool changed = false;
    for (std::size_t i = 0; i < FSystemColors.size(); ++i) {
        const COLORREF color = ::GetSysColor(static_cast<int>(i));
        changed = changed || color != FSystemColors[i];
        FSystemColors[i] = color;
    }
    return changed;
}

std::vector<RECT> TDoubleBuffer::Render(HWND wnd,
                                        HDC dc,
                                        const std::function<void(ICanvas&)>& paint) {
    RECT client{};
    ::GetClientRect(wnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // The DPI of the window's monitor (the screen's DC tells only the
    // system's): text follows the window to a monitor of another scale.
    Prepare(dc, WindowDpi(wnd), width, height);
    // The frame records colours by their system code: a code that resolves
    // to another colour now is a change the records cannot see.
    if (SystemColorsChanged())
        FHasFrame = false;
    const auto font = static_cast<HFONT>(FFont.Get());
    if (!FBitmap) {
        TGdiCanvas canvas(dc, nullptr, width, height, font);
        paint(canvas);
        return {};
    }
    // Draws on the buffer itself; copying to the screen is left to Present.
    TGdiCanvas canvas(FDc.Get(), nullptr, width, height, font);
    TFrameRecorder recorder(canvas, FHasFrame ? &FFrame : nullptr);
    paint(recorder);
    TFrame frame = recorder.Take();
    std::vector<TRect> changed =
        FHasFrame ? FrameDamage(FFrame, frame) : std::vector<TRect>{TRect{0, 0, width, height}};
    if (!changed.empty()) {
        ClipTo(changed);
        ReplayFrame(frame, canvas);
    }
    FFrame = std::move(frame);
    FHasFrame = true;
    std::vector<RECT> result;
    result.reserve(changed.size());
    for (const TRect& r : changed)
        result.push_back(RECT{r.Left, r.Top, r.Right, r.Bottom});
    return result;
}

void TDoubleBuffer::Present(HDC dc, const RECT& rect) const {
    if (!FBitmap || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FDc.Get(),
             rect.left, rect.top, SRCCOPY);
}

}  // namespace lum::win32
