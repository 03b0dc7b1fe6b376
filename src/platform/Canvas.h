// A surface to paint one frame on: filled rectangles, text on an opaque cell,
// page bitmaps clipped to the surface. Drawing never fails visibly: what lies
// outside the surface is simply not shown.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace lum {

class TPageBitmap;

class ICanvas {
  public:
    virtual ~ICanvas() = default;
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    // Colours may be system colours (0xFF000000 + n), resolved when drawn.
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // Size of text (UTF-8) in the canvas font.
    virtual TSize TextExtent(const std::string& text) = 0;
    // Draws text with its top-left corner at (x, y) in fore on a cell of back.
    virtual void TextOut(std::int32_t x,
                         std::int32_t y,
                         const std::string& text,
                         TColor fore,
                         TColor back) = 0;
    // Draws the bitmap at its own size with its top-left corner at (x, y);
    // only the part inside the canvas is transferred.
    virtual void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) = 0;
    // Draws the bitmap scaled down smoothly to size (a picture wider than
    // its monitor), top-left corner at (x, y); only the part inside the
    // canvas is drawn. Every platform scales alike: the part is averaged in
    // portable code (common/BitmapScale) and drawn with DrawBitmap.
    virtual void DrawBitmapScaled(const TPageBitmap& bitmap,
                                  std::int32_t x,
                                  std::int32_t y,
                                  TSize size);
};

}  // namespace lum
