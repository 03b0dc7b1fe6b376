#include "linux/CairoCanvas.h"

#include <gtest/gtest.h>

#include <pango/pangocairo.h>
#include "settings/Colors.h"

#include <climits>

#include "common/Bmp.h"

namespace lum::gtk {
namespace {

// A canvas over an RGB24 image surface whose pixels the test reads back.
class CairoCanvas : public ::testing::Test {
  protected:
    void SetUp() override {
        Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 100, 60);
        Cr = cairo_create(Surface);
        Canvas = std::make_unique<TCairoCanvas>(Cr, 100, 60);
        Canvas->FillRect(TRect{0, 0, 100, 60}, clWhite);
    }
    void TearDown() override {
        Canvas.reset();
        cairo_destroy(Cr);
        cairo_surface_destroy(Surface);
    }
    std::uint32_t Pixel(int x, int y) {
        cairo_surface_flush(Surface);
        const auto* row = cairo_image_surface_get_data(Surface) +
                          static_cast<std::size_t>(y) * cairo_image_surface_get_stride(Surface);
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    }

    cairo_surface_t* Surface = nullptr;
    cairo_t* Cr = nullptr;
    std::unique_ptr<TCairoCanvas> Canvas;
};

TEST_F(CairoCanvas, FillsWithRgbAndSystemColours) {
    Canvas->FillRect(TRect{10, 10, 20, 20}, 0x00332211);  // 0x00BBGGRR
    Canvas->FillRect(TRect{30, 10, 40, 20}, SystemColor(15));
    Canvas->FillRect(TRect{50, 10, 40, 20}, clBlack);  // empty: nothing
    EXPECT_EQ(Pixel(10, 10), 0x112233u);
    EXPECT_EQ(Pixel(19, 19), 0x112233u);
    EXPECT_EQ(Pixel(20, 20), 0xFFFFFFu);
    EXPECT_EQ(Pixel(35, 15), 0xD4D0C8u);
    EXPECT_EQ(Pixel(45, 15), 0xFFFFFFu);
    EXPECT_EQ(ColorToRgb(SystemColor(8)), 0x000000u);
    EXPECT_EQ(ColorToRgb(SystemColor(200)), 0x000000u);
    EXPECT_EQ(ColorToRgb(static_cast<TColor>(0x7F0000FF)), 0xFF0000u);
}

TEST_F(CairoCanvas, JapaneseTextIsDrawnInItsCellAtTheFontSize) {
    const std::string text = "読み込み中";
    const TSize size = Canvas->TextExtent(text);
    EXPECT_GE(size.Height, 16);
    EXPECT_LE(size.Height, 26);
    EXPECT_GE(size.Width, 5 * 12);
    EXPECT_LE(size.Width, 5 * 18);
    Canvas->TextOut(2, 3, text, clBlack, 0x0000FF00);
    int foreground = 0;
    for (int y = 3; y < 3 + size.Height; ++y) {
        for (int x = 2; x < 2 + size.Width; ++x)
            foreground += Pixel(x, y) != 0x00FF00 ? 1 : 0;
    }
    EXPECT_GT(foreground, 100);         // ink of five characters
    EXPECT_EQ(Pixel(2, 3), 0x00FF00u);  // the cell's corner is background
    EXPECT_EQ(Pixel(2 + size.Width, 3), 0xFFFFFFu);
    EXPECT_EQ(Pixel(2, 3 + size.Height), 0xFFFFFFu);
}

TEST_F(CairoCanvas, TheFontCoversJapaneseWithoutMissingGlyphs) {
    PangoLayout* layout = pango_cairo_create_layout(Cr);
    PangoFontDescription* font = pango_font_description_from_string(kCanvasFontFamilies);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "読み込み中です。しばらくおまちください(未取得)付", -1);
    EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0);
    pango_font_description_free(font);
    g_object_unref(layout);
}

TEST_F(CairoCanvas, InvalidUtf8IsDrawnWithoutFailing) {
    const TSize size =
        Canvas->TextExtent(std::string("a\xff\xfe"
                                       "b",
                                       4));
    EXPECT_GT(size.Width, 0);
    Canvas->TextOut(0, 0, std::string("\xc3", 1), clBlack, clWhite);
}

TPageBitmap Pattern(int width, int height) {
    TPageBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap.Pixels()[y * width + x] =
                static_cast<std::uint32_t>((x << 16) | (y << 8) | 0x80);
    }
    return bitmap;
}

TEST_F(CairoCanvas, BitmapsAreClippedAtEveryEdge) {
    const TPageBitmap bitmap = Pattern(50, 40);
    Canvas->DrawBitmap(bitmap, -10, -5);
    EXPECT_EQ(Pixel(0, 0), (10u << 16) | (5u << 8) | 0x80);
    EXPECT_EQ(Pixel(39, 34), (49u << 16) | (39u << 8) | 0x80);
    EXPECT_EQ(Pixel(40, 34), 0xFFFFFFu);
    EXPECT_EQ(Pixel(39, 35), 0xFFFFFFu);

    Canvas->DrawBitmap(bitmap, 80, 45);  // only 20 x 15 of it fit
    EXPECT_EQ(Pixel(80, 45), 0x000080u);
    EXPECT_EQ(Pixel(99, 59), (19u << 16) | (14u << 8) | 0x80);
    EXPECT_EQ(Pixel(79, 45), 0xFFFFFFu);
}

TEST_F(CairoCanvas, FarOffAndEmptyBitmapsDrawNothing) {
    const TPageBitmap bitmap = Pattern(50, 40);
    for (const auto& [x, y] :
         {std::pair{INT_MAX, 0}, {INT_MIN, 0}, {0, INT_MIN}, {100, 0}, {0, 60}, {-50, 0}, {0, -40}})
        Canvas->DrawBitmap(bitmap, x, y);
    Canvas->DrawBitmap(TPageBitmap(), 0, 0);
    for (const auto& [x, y] : {std::pair{0, 0}, {99, 0}, {0, 59}, {99, 59}})
        EXPECT_EQ(Pixel(x, y), 0xFFFFFFu);
}

TEST_F(CairoCanvas, ATallPageShowsTheRowsAtItsScrollPosition) {
    const TPageBitmap bitmap = Pattern(100, 250);
    Canvas->DrawBitmap(bitmap, 0, -200);
    EXPECT_EQ(Pixel(3, 0), (3u << 16) | ((200u & 0xFF) << 8) | 0x80);
    EXPECT_EQ(Pixel(3, 49), (3u << 16) | ((249u & 0xFF) << 8) | 0x80);
    EXPECT_EQ(Pixel(3, 50), 0xFFFFFFu);
}

}  // namespace
}  // namespace lum::gtk
