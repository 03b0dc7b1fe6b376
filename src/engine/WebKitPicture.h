// Turns a snapshot of a web page (a cairo surface, premultiplied ARGB) into
// the picture the capture keeps. Throws lum::Exception for a size the
// picture cannot have; never reads outside the snapshot.
#pragma once

#include <cairo.h>

#include "common/Bmp.h"
#include "platform/Types.h"

namespace lum {

// Fills picture with exactly size pixels: the snapshot from origin (its top
// left, or the box a picture is cut from), composited over white (so opaque
// pixels keep their exact colours), and white where the snapshot ends before
// the picture does. A snapshot with a device scale is drawn at layout pixels.
void PictureFromSnapshot(cairo_surface_t* snapshot,
                         const TSize& size,
                         TPageBitmap& picture,
                         const TPoint& origin = {});

}  // namespace lum
