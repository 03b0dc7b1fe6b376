// Scaling a page picture down for a monitor narrower than the picture: each
// pixel of the result is the average of the source pixels it covers (a box
// filter), so that text stays legible. Only the part that is shown is made.
#pragma once

#include <cstdint>

#include "common/Bmp.h"
#include "platform/Types.h"

namespace lum {

// The part of picture, scaled to size, that lies inside part (in the scaled
// picture's coordinates, clipped to it); an empty bitmap when nothing does.
// A size larger than the picture repeats pixels (nearest source pixel).
TPageBitmap ScaleBitmapPart(const TPageBitmap& picture, TSize size, TRect part);

}  // namespace lum
