#include "win32/GdiCanvas.h"

#include <algorithm>

#include "common/Bmp.h"
#include "win32/Strings.h"
#include "win32/WindowDpi.h"

namespace lum::win32 {

namespace {

constexpr int kFontPixelsAt96Dpi = 16;
constexpr wchar_t kFontFace[] = L"ＭＳ Ｐゴシック";

}  // namespace

COLORREF ResolveColor(TColor color) {
    if (IsSystemColor(color))
        return ::GetSysColor(SystemColorIndex(color));
    // The top byte would make GDI read a palette index; colours here are RGB.
    return static_cast<COLORREF>(static_cast<std::uint32_t>(color) & 0x00FFFFFFu);
}

UniqueGdiObject CreateFormFont(int dpi) {
    // A negative height asks for the character height (cell minus internal
    // leading), which is how the font size is meant.
    return UniqueGdiObject(::CreateFontW(-::MulDiv(kFontPixelsAt96Dpi, dpi, 96), 0, 0, 0, FW_NORMAL,
                                         FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH | FF_DONTCARE, kFontFace));
}

TGdiCanvas::TGdiCanvas(HDC target, std::int32_t width, std::int32_t height, HFONT font)
    : FTarget(target), FWidth(std::max(width, 0)), FHeight(std::max(height, 0)) {
    if (FWidth > 0 && FHeight > 0) {
        FMemoryDc.Reset(::CreateCompatibleDC(target));
        // Compatible with the target, not with the memory DC: a fresh memory
        // DC holds a 1 x 1 monochrome bitmap and would give a monochrome buffer.
        if (FMemoryDc)
            FBuffer.Reset(::CreateCompatibleBitmap(target, FWidth, FHeight));
    }
    if (FMemoryDc && FBuffer) {
        FBufferSelection.emplace(FMemoryDc.Get(), FBuffer.Get());
        FDraw = FMemoryDc.Get();
    } else {
        FDraw = target;  // no buffer: flicker rather than nothing
        FPresented = true;
    }
    Begin(font);
}

TGdiCanvas::TGdiCanvas(HDC target, HDC buffer, std::int32_t width, std::int32_t height, HFONT font)
    : FTarget(target), FWidth(std::max(width, 0)), FHeight(std::max(height, 0)) {
    FDraw = buffer ? buffer : target;
    FPresented = !buffer;
    Begin(font);
}

void TGdiCanvas::Begin(HFONT font) {
    if (!font) {
        // The DPI of the target's window (the system's for a memory DC).
        FOwnFont = CreateFormFont(WindowDpi(::WindowFromDC(FTarget)));
        font = static_cast<HFONT>(FOwnFont.Get());
    }
    if (font)
        FFontSelection.emplace(FDraw, font);
    FOldBkMode = ::SetBkMode(FDraw, OPAQUE);
}

TGdiCanvas::~TGdiCanvas() {
    Present();
    // The target may be the drawing DC; leave it as it came.
    if (FOldBkMode)
        ::SetBkMode(FDraw, FOldBkMode);
}

void TGdiCanvas::Present() {
    if (FPresented)
        return;
    FPresented = true;
    ::BitBlt(FTarget, 0, 0, FWidth, FHeight, FDraw, 0, 0, SRCCOPY);
}

void TGdiCanvas::FillRect(const TRect& rect, TColor color) {
    // The DC brush is a stock object whose colour is a property of the DC:
    // a fill of any colour without making (and deleting) a brush each time.
    const COLORREF previous = ::SetDCBrushColor(FDraw, ResolveColor(color));
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(FDraw, &r, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    if (previous != CLR_INVALID)
        ::SetDCBrushColor(FDraw, previous);
}

TSize TGdiCanvas::TextExtent(const std::string& text) {
    const std::wstring wide = Widen(text);
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(FDraw, wide.c_str(), static_cast<int>(wide.size()), &size);
    return TSize{size.cx, size.cy};
}

void TGdiCanvas::TextOut(std::int32_t x,
                         std::int32_t y,
                         const std::string& text,
                         TColor fore,
                         TColor back) {
    const std::wstring wide = Widen(text);
    ::SetTextColor(FDraw, ResolveColor(fore));
    ::SetBkColor(FDraw, ResolveColor(back));
    ::TextOutW(FDraw, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void TGdiCanvas::DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) {
    DrawPicture(FDraw, bitmap, x, y, FWidth, FHeight);
}

void DrawPicture(HDC dc,
                 const TPageBitmap& bitmap,
                 std::int32_t x,
                 std::int32_t y,
                 std::int32_t width,
                 std::int32_t height) {
    if (bitmap.Empty())
        return;
    const std::int64_t bw = bitmap.Width();
    // The visible part, in 64 bits so that far-off positions cannot overflow.
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + bw, width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + bitmap.Height(), height);
    if (right <= left || bottom <= top)
        return;
    const auto rows = static_cast<int>(bottom - top);
    const auto firstRow = static_cast<std::size_t>(top - y);

    // Only the visible band of rows is described, as a top-down DIB that
    // starts at its first row: SetDIBitsToDevice then needs no source-row
    // arithmetic (whose origin differs between top-down and bottom-up DIBs)
    // and never touches the rows of a tall page outside the form.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(bw);
    info.bmiHeader.biHeight = -rows;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const std::uint32_t* bits = bitmap.Pixels() + firstRow * static_cast<std::size_t>(bw);
    ::SetDIBitsToDevice(dc, static_cast<int>(left), static_cast<int>(top),
                        static_cast<DWORD>(right - left), static_cast<DWORD>(rows),
                        static_cast<int>(left - x), 0, 0, static_cast<UINT>(rows), bits, &info,
                        DIB_RGB_COLORS);
}

}  // namespace lum::win32
