#include "linux/CairoCanvas.h"

#include <pango/pangocairo.h>

#include <algorithm>

#include "common/Bmp.h"
#include "settings/Colors.h"

namespace lum::gtk {

TCairoCanvas::TCairoCanvas(cairo_t* cr, std::int32_t width, std::int32_t height)
    : FCr(cairo_reference(cr)), FWidth(std::max(width, 0)), FHeight(std::max(height, 0)) {
    cairo_save(FCr);
    FLayout = pango_cairo_create_layout(FCr);
    PangoFontDescription* font = pango_font_description_from_string(kCanvasFontFamilies);
    pango_font_description_set_absolute_size(font, kCanvasFontPixels * PANGO_SCALE);
    pango_layout_set_font_description(FLayout, font);
    pango_font_description_free(font);
}

TCairoCanvas::~TCairoCanvas() {
    if (FLayout)
        g_object_unref(FLayout);
    cairo_restore(FCr);
    cairo_destroy(FCr);
}

void TCairoCanvas::SetSource(TColor color) {
    const std::uint32_t rgb = ColorToRgb(color);
    cairo_set_source_rgb(FCr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         (rgb & 0xFF) / 255.0);
}

void TCairoCanvas::SetText(const std::string& text) {
    // Pango refuses text that is not valid UTF-8; invalid bytes become U+FFFD.
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    pango_layout_set_text(FLayout, valid, -1);
    g_free(valid);
}

void TCairoCanvas::FillRect(const TRect& rect, TColor color) {
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top)
        return;
    SetSource(color);
    cairo_rectangle(FCr, rect.Left, rect.Top, static_cast<double>(rect.Right) - rect.Left,
                    static_cast<double>(rect.Bottom) - rect.Top);
    cairo_fill(FCr);
}

TSize TCairoCanvas::TextExtent(const std::string& text) {
    SetText(text);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(FLayout, &width, &height);
    return TSize{width, height};
}

void TCairoCanvas::TextOut(std::int32_t x,
                           std::int32_t y,
                           const std::string& text,
                           TColor fore,
                           TColor back) {
    const TSize size = TextExtent(text);
    FillRect(TRect{x, y, x + size.Width, y + size.Height}, back);
    SetSource(fore);
    cairo_move_to(FCr, x, y);
    pango_cairo_show_layout(FCr, FLayout);
}

void TCairoCanvas::DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) {
    if (bitmap.Empty())
        return;
    // The visible part, in 64 bits so that far-off positions cannot overflow.
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + bitmap.Width(), FWidth);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + bitmap.Height(), FHeight);
    if (right <= left || bottom <= top)
        return;
    // The pixels (0x00RRGGBB in native order) are cairo's RGB24 layout, so
    // the visible rectangle is handed over in place: its first pixel and the
    // page's row stride; nothing of the page is copied.
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width()) * 4;
    const std::uint32_t* first = bitmap.Pixels() +
                                 static_cast<std::size_t>(top - y) * bitmap.Width() +
                                 static_cast<std::size_t>(left - x);
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(first)), CAIRO_FORMAT_RGB24,
        static_cast<int>(right - left), static_cast<int>(bottom - top), static_cast<int>(stride));
    if (cairo_surface_status(source) == CAIRO_STATUS_SUCCESS) {
        cairo_save(FCr);
        cairo_set_operator(FCr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(FCr, source, static_cast<double>(left), static_cast<double>(top));
        cairo_rectangle(FCr, static_cast<double>(left), static_cast<double>(top),
                        static_cast<double>(right - left), static_cast<double>(bottom - top));
        cairo_fill(FCr);
        cairo_restore(FCr);
    }
    // Finished before it goes: no backend may keep a reference to the pixels.
    cairo_surface_finish(source);
    cairo_surface_destroy(source);
}

}  // namespace lum::gtk
