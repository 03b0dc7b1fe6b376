#include "common/PageScale.h"

#include <gtest/gtest.h>

#include <limits>

namespace lum {
namespace {

constexpr TAxisDpi At(std::int32_t device) {
    return TAxisDpi{device, 96};
}

TEST(PageScale, DeviceSizeIsRoundedUpSoThatNoPartOfAPixelIsCut) {
    EXPECT_EQ(DevicePixels(1101, At(96)), 1101);
    EXPECT_EQ(DevicePixels(1101, At(120)), 1377);  // 1376.25
    EXPECT_EQ(DevicePixels(1101, At(144)), 1652);  // 1651.5
    EXPECT_EQ(DevicePixels(1101, At(192)), 2202);
    EXPECT_EQ(DevicePixels(682, At(144)), 1023);  // exact: not one more
    EXPECT_EQ(DevicePixels(1, At(120)), 2);
    EXPECT_EQ(DevicePixels(0, At(144)), 0);
    EXPECT_EQ(DevicePixels(TSize{683, 512}, TPageDpi{At(144), At(144)}), (TSize{1025, 768}));
    // Each axis by its own figures; a logical DPI other than 96 too.
    EXPECT_EQ(DevicePixels(TSize{100, 100}, TPageDpi{At(192), TAxisDpi{120, 120}}),
              (TSize{200, 100}));
    EXPECT_EQ(DevicePixels(100, TAxisDpi{96, 192}), 50);
}

TEST(PageScale, ViewShowsTheCssPixelsItHoldsWhole) {
    EXPECT_EQ(CssPixels(768, At(96)), 768);
    EXPECT_EQ(CssPixels(768, At(144)), 512);
    EXPECT_EQ(CssPixels(1024, At(144)), 682);  // 682.67
    EXPECT_EQ(CssPixels(768, At(120)), 614);   // 614.4
    EXPECT_EQ(CssPixels(1, At(192)), 0);
    // Back and forth never gives more device pixels than there were.
    for (const std::int32_t dpi : {96, 120, 144, 168, 192, 240}) {
        for (const std::int32_t view : {1, 600, 768, 1023, 1024, 1080})
            EXPECT_LE(DevicePixels(CssPixels(view, At(dpi)), At(dpi)), view) << dpi << " " << view;
    }
}

// What a page's script makes of window.screen is no reason to draw a
// picture of any size: figures no display has count as 1:1.
TEST(PageScale, FiguresNoDisplayHasCountAsOneToOne) {
    for (const TAxisDpi dpi : {TAxisDpi{0, 96}, TAxisDpi{144, 0}, TAxisDpi{-144, 96},
                               TAxisDpi{144, -96}, TAxisDpi{23, 96}, TAxisDpi{1921, 96},
                               TAxisDpi{std::numeric_limits<std::int32_t>::max(), 1},
                               TAxisDpi{std::numeric_limits<std::int32_t>::min(), 96}}) {
        EXPECT_EQ(SaneDpi(dpi), TAxisDpi{}) << dpi.Device << "/" << dpi.Logical;
        EXPECT_EQ(DevicePixels(1000, dpi), 1000) << dpi.Device << "/" << dpi.Logical;
        EXPECT_EQ(CssPixels(1000, dpi), 1000) << dpi.Device << "/" << dpi.Logical;
    }
    EXPECT_EQ(SaneDpi(TAxisDpi{24, 1920}), (TAxisDpi{24, 1920}));
    EXPECT_EQ(DevicePixels(-5, At(144)), 0);
    EXPECT_EQ(CssPixels(-5, At(144)), 0);
}

TEST(PageScale, LargestSizesDoNotOverflow) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(DevicePixels(kMax, At(192)), kMax);
    EXPECT_EQ(DevicePixels(kMax, TAxisDpi{1920, 24}), kMax);
    EXPECT_EQ(DevicePixels(kMax, At(96)), kMax);
    EXPECT_EQ(CssPixels(kMax, TAxisDpi{24, 1920}), kMax);
    EXPECT_EQ(CssPixels(kMax, At(192)), kMax / 2);
}

}  // namespace
}  // namespace lum
