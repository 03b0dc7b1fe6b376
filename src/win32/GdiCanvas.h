// The canvas of one repaint over GDI: everything is drawn into an off-screen
// bitmap and copied to the target in one BitBlt, so repaints do not flicker.
// When the off-screen bitmap cannot be made, drawing goes straight to the target.
// Drawing creates no GDI objects (rectangles are filled with the DC brush).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Canvas.h"
#include "win32/DeviceContexts.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {

// The COLORREF of a colour: a system colour (0xFF000000 + n) is the
// desktop's current colour n; other values keep their low 24 bits.
COLORREF ResolveColor(TColor color);

// The display form's font: "ＭＳ Ｐゴシック", Shift-JIS, plain, 16 pixels of
// character height at 96 dots per inch, scaled to dpi.
UniqueGdiObject CreateFormFont(int dpi);

// Draws bitmap with its top-left corner at (x, y) on dc, in one call, only
// the part inside width x height (and inside dc's clipping region).
void DrawPicture(HDC dc,
                 const TPageBitmap& bitmap,
                 std::int32_t x,
                 std::int32_t y,
                 std::int32_t width,
                 std::int32_t height);

class TGdiCanvas : public ICanvas {
  public:
    // A canvas of width x height for target. font (not owned) is used for
    // text; without one the form's font is made for the target's DPI.
    TGdiCanvas(HDC target, std::int32_t width, std::int32_t height, HFONT font = nullptr);
    // A canvas that draws on buffer (a memory DC holding a bitmap of at
    // least width x height, owned by the caller) with font selected, and
    // presents to target.
    TGdiCanvas(HDC target, HDC buffer, std::int32_t width, std::int32_t height, HFONT font);
    // Presents what has not been presented yet.
    ~TGdiCanvas() override;
    TGdiCanvas(const TGdiCanvas&) = delete;
    TGdiCanvas& operator=(const TGdiCanvas&) = delete;

    // Copies the off-screen picture to the target at (0, 0) in one step.
    void Present();
    // The DC drawn on (the off-screen one while double buffering works).
    HDC DrawDc() const { return FDraw; }

    std::int32_t Width() const override { return FWidth; }
    std::int32_t Height() const override { return FHeight; }
    void FillRect(const TRect& rect, TColor color) override;
    TSize TextExtent(const std::string& text) override;
    void TextOut(std::int32_t x,
                 std::int32_t y,
                 const std::string& text,
                 TColor fore,
                 TColor back) override;
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override;

  private:
    void Begin(HFONT font);

    HDC FTarget;
    std::int32_t FWidth;
    std::int32_t FHeight;
    UniqueMemoryDc FMemoryDc;
    UniqueGdiObject FBuffer;
    UniqueGdiObject FOwnFont;
    // Declared after what they select, so they are restored before it is deleted.
    std::optional<SelectedObject> FBufferSelection;
    std::optional<SelectedObject> FFontSelection;
    HDC FDraw = nullptr;
    int FOldBkMode = 0;
    bool FPresented = false;
};

}  // namespace lum::win32
