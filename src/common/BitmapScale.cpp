#include "common/BitmapScale.h"

#include <algorithm>

#include "platform/Canvas.h"

namespace lum {

namespace {

// The source pixels [first, last) behind result pixel i of count, out of n.
void SourceSpan(std::int64_t i, std::int64_t count, std::int64_t n, std::int64_t& first,
                std::int64_t& last) {
    first = i * n / count;
    last = std::max(first + 1, std::min(n, (i + 1) * n / count));
}

}  // namespace

TPageBitmap ScaleBitmapPart(const TPageBitmap& picture, TSize size, TRect part) {
    part.Left = std::max(part.Left, 0);
    part.Top = std::max(part.Top, 0);
    part.Right = std::min(part.Right, size.Width);
    part.Bottom = std::min(part.Bottom, size.Height);
    if (picture.Empty() || part.Width() <= 0 || part.Height() <= 0)
        return TPageBitmap();
    TPageBitmap result(part.Width(), part.Height());
    const std::int64_t sw = picture.Width();
    const std::int64_t sh = picture.Height();
    for (std::int32_t y = part.Top; y < part.Bottom; ++y) {
        std::int64_t rowFirst = 0;
        std::int64_t rowLast = 0;
        SourceSpan(y, size.Height, sh, rowFirst, rowLast);
        std::uint32_t* out = result.Pixels() + std::size_t(y - part.Top) * result.Width();
        for (std::int32_t x = part.Left; x < part.Right; ++x) {
            std::int64_t colFirst = 0;
            std::int64_t colLast = 0;
            SourceSpan(x, size.Width, sw, colFirst, colLast);
            std::uint64_t r = 0;
            std::uint64_t g = 0;
            std::uint64_t b = 0;
            for (std::int64_t sy = rowFirst; sy < rowLast; ++sy) {
                const std::uint32_t* in = picture.Pixels() + std::size_t(sy) * std::size_t(sw);
                for (std::int64_t sx = colFirst; sx < colLast; ++sx) {
                    r += (in[sx] >> 16) & 0xFF;
                    g += (in[sx] >> 8) & 0xFF;
                    b += in[sx] & 0xFF;
                }
            }
            const std::uint64_t n = std::uint64_t(rowLast - rowFirst) * (colLast - colFirst);
            out[x - part.Left] = static_cast<std::uint32_t>(((r + n / 2) / n) << 16 |
                                                            ((g + n / 2) / n) << 8 |
                                                            ((b + n / 2) / n));
        }
    }
    return result;
}

void ICanvas::DrawBitmapScaled(const TPageBitmap& bitmap,
                               std::int32_t x,
                               std::int32_t y,
                               TSize size) {
    // The part inside the canvas, in the scaled picture's coordinates.
    const std::int64_t left = std::max<std::int64_t>(0, -std::int64_t{x});
    const std::int64_t top = std::max<std::int64_t>(0, -std::int64_t{y});
    const std::int64_t right = std::min<std::int64_t>(size.Width, std::int64_t{Width()} - x);
    const std::int64_t bottom = std::min<std::int64_t>(size.Height, std::int64_t{Height()} - y);
    if (right <= left || bottom <= top)
        return;
    const TPageBitmap part = ScaleBitmapPart(
        bitmap, size,
        TRect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
              static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)});
    DrawBitmap(part, static_cast<std::int32_t>(x + left), static_cast<std::int32_t>(y + top));
}

}  // namespace lum
