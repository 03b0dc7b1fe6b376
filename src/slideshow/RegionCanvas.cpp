#include "slideshow/RegionCanvas.h"

#include <algorithm>
#include <cstring>

#include "common/Bmp.h"

namespace lum {

void TRegionCanvas::FillRect(const TRect& rect, TColor color) {
    const TRect clipped{std::max(rect.Left, 0), std::max(rect.Top, 0),
                        std::min(rect.Right, Width()), std::min(rect.Bottom, Height())};
    if (clipped.Width() <= 0 || clipped.Height() <= 0)
        return;
    FCanvas.FillRect(TRect{clipped.Left + FRegion.Left, clipped.Top + FRegion.Top,
                           clipped.Right + FRegion.Left, clipped.Bottom + FRegion.Top},
                     color);
}

void TRegionCanvas::TextOut(std::int32_t x,
                            std::int32_t y,
                            const std::string& text,
                            TColor fore,
                            TColor back) {
    FCanvas.TextOut(x + FRegion.Left, y + FRegion.Top, text, fore, back);
}

// A picture that reaches out of the region (a tall page scrolled on a
// monitor above another) is cut to the region: only that part is drawn.
void TRegionCanvas::DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) {
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + bitmap.Width(), Width());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + bitmap.Height(), Height());
    if (bitmap.Empty() || right <= left || bottom <= top)
        return;
    const auto destX = static_cast<std::int32_t>(left + FRegion.Left);
    const auto destY = static_cast<std::int32_t>(top + FRegion.Top);
    if (left == x && top == y && right - left == bitmap.Width() && bottom - top == bitmap.Height())
        return FCanvas.DrawBitmap(bitmap, destX, destY);
    TPageBitmap part(static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(bottom - top));
    for (std::int32_t row = 0; row < part.Height(); ++row) {
        const std::uint32_t* from = bitmap.Pixels() +
                                    static_cast<std::size_t>(top - y + row) * bitmap.Width() +
                                    static_cast<std::size_t>(left - x);
        std::memcpy(part.Pixels() + static_cast<std::size_t>(row) * part.Width(), from,
                    static_cast<std::size_t>(part.Width()) * 4);
    }
    FCanvas.DrawBitmap(part, destX, destY);
}

}  // namespace lum
