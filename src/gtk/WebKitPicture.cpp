#include "gtk/WebKitPicture.h"

#include <string>

namespace lum {

void PictureFromSnapshot(cairo_surface_t* snapshot, const TSize& size, TPageBitmap& picture) {
    picture.Resize(size.Width, size.Height);
    if (picture.Empty())
        return;
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
    if (snapshot && cairo_surface_status(snapshot) == CAIRO_STATUS_SUCCESS) {
        cairo_set_source_surface(cr, snapshot, 0, 0);
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

}  // namespace lum
