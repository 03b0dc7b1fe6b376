#include "common/BitmapScale.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Canvas.h"

namespace lum {
namespace {

TPageBitmap Stripes(std::int32_t w, std::int32_t h) {
    // Black and white columns: a scale of a half averages them to grey.
    TPageBitmap picture(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            picture.Pixels()[std::size_t(y) * w + x] = x % 2 ? 0x00FFFFFFu : 0;
    return picture;
}

TEST(BitmapScale, HalvingAveragesTheCoveredPixels) {
    const TPageBitmap half = ScaleBitmapPart(Stripes(8, 4), {4, 2}, {0, 0, 4, 2});
    ASSERT_EQ(half.Width(), 4);
    ASSERT_EQ(half.Height(), 2);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(half.Pixels()[i], 0x00808080u) << i;
}

TEST(BitmapScale, OnlyThePartAskedForIsMadeAndItIsClippedToThePicture) {
    TPageBitmap picture(100, 1000);
    for (std::int32_t y = 0; y < 1000; ++y)
        for (std::int32_t x = 0; x < 100; ++x)
            picture.Pixels()[std::size_t(y) * 100 + x] = static_cast<std::uint32_t>(y);
    // Rows 400-499 of a picture scaled to 50 x 500 come from rows 800-999.
    const TPageBitmap part = ScaleBitmapPart(picture, {50, 500}, {-10, 400, 60, 600});
    ASSERT_EQ(part.Width(), 50);
    ASSERT_EQ(part.Height(), 100);
    EXPECT_EQ(part.Pixels()[0], (800u + 801u + 1) / 2);
    EXPECT_EQ(part.Pixels()[std::size_t(99) * 50], (998u + 999u + 1) / 2);
    EXPECT_TRUE(ScaleBitmapPart(picture, {50, 500}, {0, 500, 50, 600}).Empty());
    EXPECT_TRUE(ScaleBitmapPart(TPageBitmap(), {50, 500}, {0, 0, 50, 50}).Empty());
}

TEST(BitmapScale, OddRatiosCoverEverySourcePixelOnce) {
    // 1040 -> 800 columns: every result pixel averages one or two columns,
    // and a picture of one colour stays that colour.
    TPageBitmap picture(1040, 3);
    std::fill(picture.Pixels(), picture.Pixels() + 1040 * 3, 0x00123456u);
    const TPageBitmap scaled = ScaleBitmapPart(picture, {800, 2}, {0, 0, 800, 2});
    for (std::size_t i = 0; i < 1600; ++i)
        ASSERT_EQ(scaled.Pixels()[i], 0x00123456u) << i;
}

// A canvas that keeps what DrawBitmap is given, to see the default scaling.
class TKeepingCanvas : public ICanvas {
  public:
    std::int32_t Width() const override { return 80; }
    std::int32_t Height() const override { return 60; }
    void FillRect(const TRect&, TColor) override {}
    TSize TextExtent(const std::string&) override { return {}; }
    void TextOut(std::int32_t, std::int32_t, const std::string&, TColor, TColor) override {}
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override {
        Drawn.push_back({x, y, bitmap.Width(), bitmap.Height()});
    }
    std::vector<TRect> Drawn;  // x, y, width, height
};

TEST(BitmapScale, CanvasDrawsOnlyTheVisiblePartOfAScrolledScaledPicture) {
    TKeepingCanvas canvas;
    canvas.DrawBitmapScaled(Stripes(200, 400), 0, -100, {100, 200});
    ASSERT_EQ(canvas.Drawn.size(), 1u);
    EXPECT_EQ(canvas.Drawn[0], (TRect{0, 0, 80, 60}));  // 80 x 60 from (0, 0)
    canvas.DrawBitmapScaled(Stripes(200, 400), 0, 500, {100, 200});  // below the canvas
    EXPECT_EQ(canvas.Drawn.size(), 1u);
}

}  // namespace
}  // namespace lum
