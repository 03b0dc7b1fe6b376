#include "engine/WebKitPicture.h"

#include <algorithm>
#include <string>

namespace lum {

namespace {

// Copies a plain image snapshot (32-bit, no device scale) pixel by pixel; false
// for any other kind, which cairo then draws. Premultiplied c over white is
// c + (255 - alpha) in each channel, exact and never above 255.
bool CopyImage(cairo_surface_t* snapshot,
               const TPoint& origin,
               const TSize& size,
               TPageBitmap& picture) {
    if (cairo_surface_get_type(snapshot) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    const cairo_format_t format = cairo_image_surface_get_format(snapshot);
    double scaleX = 0, scaleY = 0;
    cairo_surface_get_device_scale(snapshot, &scaleX, &scaleY);
    if ((format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) || scaleX != 1 ||
        scaleY != 1)
        return false;
    cairo_surface_flush(snapshot);
    const unsigned char* data = cairo_image_surface_get_data(snapshot);
    const int stride = cairo_image_surface_get_stride(snapshot);
    const int width = std::clamp(cairo_image_surface_get_width(snapshot) - origin.X, 0, size.Width);
    const int height =
        std::clamp(cairo_image_surface_get_height(snapshot) - origin.Y, 0, size.Height);
    if (!data || origin.X < 0 || origin.Y < 0)
        return false;
    for (int y = 0; y < height; ++y) {
        const auto* from =
            reinterpret_cast<const std::uint32_t*>(data + std::size_t(origin.Y + y) * stride) +
            origin.X;
        std::uint32_t* to = picture.Pixels() + std::size_t(y) * size.Width;
        if (format == CAIRO_FORMAT_RGB24) {
            for (int x = 0; x < width; ++x)
                to[x] = from[x] & 0x00FFFFFFu;
        } else {
            for (int x = 0; x < width; ++x)
                to[x] = (from[x] & 0x00FFFFFFu) + (255u - (from[x] >> 24)) * 0x010101u;
        }
        std::fill(to + width, to + size.Width, 0x00FFFFFFu);
    }
    std::fill(picture.Pixels() + std::size_t(std::max(height, 0)) * size.Width,
              picture.Pixels() + std::size_t(size.Height) * size.Width, 0x00FFFFFFu);
    return true;
}

// Any other surface: cairo lays it over white, at layout pixels.
void DrawSurface(cairo_surface_t* snapshot,
                 const TPoint& origin,
                 const TSize& size,
                 TPageBitmap& picture) {
    // A cairo RGB24 pixel is a native 32-bit word 0x??RRGGBB, the layout of
    // the picture itself, so cairo draws straight into the picture's memory.
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, size.Width);
    if (stride != size.Width * 4)
        throw Exception("cannot draw a picture " + std::to_string(size.Width) + " pixels wide");
    cairo_surface_t* target =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(picture.Pixels()),
                                            CAIRO_FORMAT_RGB24, size.Width, size.Height, stride);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (snapshot) {
        cairo_set_source_surface(cr, snapshot, -origin.X, -origin.Y);
        cairo_paint(cr);
    }
    const cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
    if (status != CAIRO_STATUS_SUCCESS)
        throw Exception(std::string("drawing the page's picture failed: ") +
                        cairo_status_to_string(status));
    // The byte that RGB24 leaves unused must read 0 in the picture.
    std::uint32_t* pixels = picture.Pixels();
    const std::size_t count = static_cast<std::size_t>(size.Width) * size.Height;
    for (std::size_t i = 0; i < count; ++i)
        pixels[i] &= 0x00FFFFFFu;
}

}  // namespace

void PictureFromSnapshot(cairo_surface_t* snapshot,
                         const TSize& size,
                         TPageBitmap& picture,
                         const TPoint& origin) {
    picture.Resize(size.Width, size.Height);
    if (picture.Empty())
        return;
    if (snapshot && cairo_surface_status(snapshot) != CAIRO_STATUS_SUCCESS)
        throw Exception(std::string("the page's picture is broken: ") +
                        cairo_status_to_string(cairo_surface_status(snapshot)));
    if (!snapshot || !CopyImage(snapshot, origin, size, picture))
        DrawSurface(snapshot, origin, size, picture);
}

}  // namespace lum
