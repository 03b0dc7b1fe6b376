#include "win32/DoubleBuffer.h"

#include <algorithm>

#include "win32/GdiCanvas.h"
#include "win32/WindowDpi.h"

namespace lum::win32 {

namespace {

bool IsEmptyRect(const TRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

// The smallest rectangle holding both.
TRect UnionRect(const TRect& a, const TRect& b) {
    if (IsEmptyRect(a))
        return b;
    if (IsEmptyRect(b))
        return a;
    return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
}

// Whether the paint of dc covers nothing or only the pixel at (0, 0), the
// part that the form's own repaint invalidates; asked receives it.
bool AsksForTheCornerAtMost(HDC dc, RECT& asked) {
    const int kind = ::GetClipBox(dc, &asked);
    if (kind == ERROR)
        return false;
    if (kind == NULLREGION || asked.right <= asked.left || asked.bottom <= asked.top) {
        asked = RECT{};
        return true;
    }
    return asked.left >= 0 && asked.top >= 0 && asked.right <= 1 && asked.bottom <= 1;
}

}  // namespace

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
    FStale = TRect{};
    FSpares.clear();
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
    TFrameRecorder recorder(canvas, FHasFrame ? &FFrame : nullptr, &FSpares);
    paint(recorder);
    TFrame frame = recorder.Take();
    const std::vector<TRect> changed = Update(wnd, dc, frame, canvas);
    std::swap(FFrame, frame);
    FHasFrame = true;
    KeepSparePictures(frame, FSpares);
    std::vector<RECT> result;
    result.reserve(changed.size());
    for (const TRect& r : changed)
        result.push_back(RECT{r.Left, r.Top, r.Right, r.Bottom});
    return result;
}

// Brings the buffer to frame and returns what is to be presented from it.
std::vector<TRect> TDoubleBuffer::Update(HWND wnd, HDC dc, const TFrame& frame, ICanvas& canvas) {
    std::vector<TRect> changed;
    if (!FHasFrame) {
        changed.push_back(TRect{0, 0, frame.Width, frame.Height});
        FStale = TRect{};
    } else if (UpdateInPlace(wnd, dc, frame, canvas, changed)) {
        return changed;
    } else {
        changed = FrameDamage(FFrame, frame);
    }
    // What the buffer missed of the frame before is on the window already,
    // as far as the frames agree: it is drawn on the buffer, not presented.
    std::vector<TRect> redraw = changed;
    if (!IsEmptyRect(FStale))
        redraw.push_back(FStale);
    FStale = TRect{};
    Redraw(std::move(redraw), frame, canvas);
    return changed;
}

// A frame whose pictures changed in place: each goes straight to the window
// in one call, leaving out what later steps paint over it (the URL line, the
// clock), so that these never vanish from the screen for a moment; they and
// whatever else changed are drawn on the buffer and presented from it. Only
// for the form's own repaint: a paint the system asked for (a part
// uncovered) has to come from a buffer that holds the whole frame.
bool TDoubleBuffer::UpdateInPlace(HWND wnd,
                                  HDC dc,
                                  const TFrame& frame,
                                  ICanvas& canvas,
                                  std::vector<TRect>& changed) {
    RECT asked{};
    if (!AsksForTheCornerAtMost(dc, asked))
        return false;
    std::optional<TPictureUpdate> update = PictureUpdate(FFrame, frame);
    if (!update)
        return false;
    const WindowDc screen(wnd);
    if (!screen)
        return false;
    for (const TPictureUpdate::TDirect& direct : update->Direct) {
        const TDrawStep& step = frame.Steps[direct.Step];
        // The clipping region is the DC's own: it is given back as it came.
        const int saved = ::SaveDC(screen.Get());
        for (const TRect& r : direct.Excluded)
            ::ExcludeClipRect(screen.Get(), r.Left, r.Top, r.Right, r.Bottom);
        if (step.Picture)
            DrawPicture(screen.Get(), *step.Picture, step.X, step.Y, frame.Width, frame.Height);
        ::RestoreDC(screen.Get(), saved);
        FStale = UnionRect(FStale, step.Bounds);
    }
    // The corner pixel of the paint is presented from the buffer as well.
    std::vector<TRect> redraw = update->Overlays;
    if (asked.right > asked.left && asked.bottom > asked.top)
        redraw.push_back(TRect{asked.left, asked.top, asked.right, asked.bottom});
    Redraw(std::move(redraw), frame, canvas);
    changed = std::move(update->Overlays);
    return true;
}

void TDoubleBuffer::Redraw(std::vector<TRect> rects, const TFrame& frame, ICanvas& canvas) {
    if (rects.empty())
        return;
    ClipTo(rects);
    ReplayFrame(frame, canvas);
}

void TDoubleBuffer::Present(HDC dc, const RECT& rect) const {
    if (!FBitmap || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FDc.Get(),
             rect.left, rect.top, SRCCOPY);
}

}  // namespace lum::win32
