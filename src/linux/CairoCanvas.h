// ICanvas over a cairo context: rectangles, text laid out by Pango in a
// Japanese-capable font, and page bitmaps handed to cairo in place (only the
// visible rows and columns). Drawing never throws; a failing cairo call draws
// nothing.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <cstdint>

#include "platform/Canvas.h"

namespace lum::gtk {

// The font families asked for, first available wins.
inline constexpr const char* kCanvasFontFamilies =
    "IPAPGothic,IPAGothic,Noto Sans CJK JP,sans-serif";
// Character height of the font in pixels (the em size).
inline constexpr int kCanvasFontPixels = 16;

class TCairoCanvas : public ICanvas {
  public:
    // Draws on cr (kept referenced) over an area of width by height pixels
    // from the context's origin.
    TCairoCanvas(cairo_t* cr, std::int32_t width, std::int32_t height);
    ~TCairoCanvas() override;
    TCairoCanvas(const TCairoCanvas&) = delete;
    TCairoCanvas& operator=(const TCairoCanvas&) = delete;

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
    void SetSource(TColor color);
    void SetText(const std::string& text);

    cairo_t* FCr;
    std::int32_t FWidth;
    std::int32_t FHeight;
    PangoLayout* FLayout = nullptr;
};

}  // namespace lum::gtk
