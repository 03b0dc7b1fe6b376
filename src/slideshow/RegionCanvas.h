// A part of a canvas seen as a canvas of its own: one monitor's rectangle of
// a form that covers several. Coordinates are the region's; rectangles and
// pictures are clipped to it (text is not: a later region paints over what
// runs into it). Drawing never fails.
#pragma once

#include "platform/Canvas.h"

namespace lum {

class TRegionCanvas : public ICanvas {
  public:
    TRegionCanvas(ICanvas& canvas, const TRect& region) : FCanvas(canvas), FRegion(region) {}

    std::int32_t Width() const override { return FRegion.Width(); }
    std::int32_t Height() const override { return FRegion.Height(); }
    void FillRect(const TRect& rect, TColor color) override;
    TSize TextExtent(const std::string& text) override { return FCanvas.TextExtent(text); }
    void TextOut(std::int32_t x,
                 std::int32_t y,
                 const std::string& text,
                 TColor fore,
                 TColor back) override;
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override;

  private:
    ICanvas& FCanvas;
    TRect FRegion;
};

}  // namespace lum
