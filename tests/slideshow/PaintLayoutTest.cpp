#include "slideshow/PaintLayout.h"

#include <gtest/gtest.h>

#include "common/DosDate.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"

namespace lum {
namespace {

constexpr TColor kBack = 0x00102030;
const TColor kFore = SystemColor(8);

class PaintLayoutTest : public ::testing::Test {
  protected:
    PaintLayoutTest() : Show(Files, Clock) { Show.FURLs = {"http://a/", "http://b/"}; }

    fakes::TFakeCanvas Paint(std::int32_t w = 1024,
                             std::int32_t h = 768,
                             TDisplayMode mode = TDisplayMode::dmNormal) {
        fakes::TFakeCanvas canvas(w, h);
        TPaintContext context{mode, w, h, kBack, kFore, "Lumenary", Clock.Time};
        PaintDisplay(canvas, Show, context, Locale);
        return canvas;
    }
    // Where a page of the given size is drawn on a 1024 x 768 form.
    TPoint PagePosition(std::int32_t bw, std::int32_t bh, std::int32_t scrollPos = 0) {
        Show.FBitmap = TPageBitmap(bw, bh);
        Show.FScrollPos = scrollPos;
        const auto canvas = Paint();
        EXPECT_EQ(canvas.Bitmaps.size(), 1u);
        return canvas.Bitmaps.empty() ? TPoint{-1, -1}
                                      : TPoint{canvas.Bitmaps[0].X, canvas.Bitmaps[0].Y};
    }

    fakes::TFakeFileSystem Files;
    fakes::TFakeClock Clock;
    fakes::TFakeLocale Locale;
    TSlideShow Show;
};

TEST(PaintLayout, CenterOffsetHalvesEachExtentTruncating) {
    EXPECT_EQ(CenterOffset(768, 101), 334);  // 384 - 50, not (768 - 101) / 2
    EXPECT_EQ(CenterOffset(1024, 1024), 0);
    EXPECT_EQ(CenterOffset(100, 152), -26);
    EXPECT_EQ(CenterOffset(-5, 2), -3);  // -2 - 1: toward zero, not floor
}

TEST(PaintLayout, ClockUsesTwelveHourTwoDigitFieldsAndTheSeparator) {
    EXPECT_EQ(FormatClock(15, 4, 5, ":"), "PM 03:04:05");
    EXPECT_EQ(FormatClock(12, 0, 0, ":"), "PM 12:00:00");
    EXPECT_EQ(FormatClock(0, 0, 7, ":"), "AM 12:00:07");
    EXPECT_EQ(FormatClock(0, 30, 0, ":"), "AM 12:30:00");
    EXPECT_EQ(FormatClock(11, 59, 59, ":"), "AM 11:59:59");
    EXPECT_EQ(FormatClock(23, 0, 0, "."), "PM 11.00.00");
}

TEST_F(PaintLayoutTest, EmptyBitmapShowsLoadingTextCentredAndNotFetched) {
    Show.FShowURL = true;
    const auto canvas = Paint();
    ASSERT_EQ(canvas.Fills.size(), 1u);
    EXPECT_EQ(canvas.Fills[0].Rect, (TRect{0, 0, 1024, 768}));
    EXPECT_EQ(canvas.Fills[0].Color, kBack);
    // 19 characters of 8 pixels by 16.
    EXPECT_EQ(canvas.TextAt(512 - 76, 384 - 8), kLoadingText);
    EXPECT_EQ(canvas.TextAt(5, 5), "http://a/(未取得)");
    for (const auto& text : canvas.Texts) {
        EXPECT_EQ(text.Fore, kFore);
        EXPECT_EQ(text.Back, kBack);
    }
    EXPECT_TRUE(canvas.Bitmaps.empty());
}

TEST_F(PaintLayoutTest, LoadingTextIsNotLimitedToTheForm) {
    const auto canvas = Paint(100, 10);
    EXPECT_EQ(canvas.TextAt(50 - 76, 5 - 8), kLoadingText);
}

TEST_F(PaintLayoutTest, PagePlacement) {
    EXPECT_EQ(PagePosition(1024, 768, 0), (TPoint{0, 0}));          // as tall as the form
    EXPECT_EQ(PagePosition(1024, 500), (TPoint{0, 134}));           // shorter: centred
    EXPECT_EQ(PagePosition(1000, 768), (TPoint{12, 0}));            // narrower: centred
    EXPECT_EQ(PagePosition(2000, 300), (TPoint{0, 234}));           // wider: from x = 0
    EXPECT_EQ(PagePosition(1024, 1768, 1024), (TPoint{0, -1024}));  // tall: scrolled
}

TEST_F(PaintLayoutTest, URLLineCarriesTheCaptureDateWithoutMidnightTime) {
    Show.FShowURL = true;
    Show.FBitmap = TPageBitmap(10, 10);
    Show.FPageIndex = 1;
    Show.FFileDate = PackDosDateTime(2026, 12, 7, 15, 4, 6);
    EXPECT_EQ(Paint().TextAt(5, 5), "http://b/(2026/12/07 15:04:06付)");
    Show.FFileDate = PackDosDateTime(2026, 12, 7, 0, 0, 0);
    EXPECT_EQ(Paint().TextAt(5, 5), "http://b/(2026/12/07付)");
    Show.FFileDate = PackDosDateTime(2026, 12, 7, 0, 0, 2);
    EXPECT_EQ(Paint().TextAt(5, 5), "http://b/(2026/12/07 00:00:02付)");
}

TEST_F(PaintLayoutTest, URLLineIsDrawnOverThePageAndClockLast) {
    Show.FShowURL = true;
    Show.FShowClock = true;
    Show.FBitmap = TPageBitmap(1024, 768);
    const auto canvas = Paint();
    ASSERT_EQ(canvas.Texts.size(), 2u);
    EXPECT_EQ(canvas.Texts[0].Text, "http://a/(未取得)");
    // "PM 03:04:05": 11 characters.
    EXPECT_EQ(canvas.Texts[1].Text, "PM 03:04:05");
    EXPECT_EQ(canvas.Texts[1].X, 1024 - 88 - 5);
    EXPECT_EQ(canvas.Texts[1].Y, 768 - 16 - 5);
}

TEST_F(PaintLayoutTest, ClockTakesTheUsersSeparator) {
    Show.FShowClock = true;
    Locale.Separator = ".";
    Clock.Time.Hour = 0;
    Clock.Time.Minute = 0;
    Clock.Time.Second = 7;
    EXPECT_EQ(Paint().Texts.back().Text, "AM 12.00.07");
}

TEST_F(PaintLayoutTest, URLLineWithoutAnEntryDrawsNothing) {
    Show.FShowURL = true;
    Show.FURLs.clear();
    EXPECT_EQ(Paint().TextAt(5, 5), "");
    Show.FURLs = {"http://a/"};
    Show.FPageIndex = 3;
    EXPECT_EQ(Paint().TextAt(5, 5), "");
    Show.FPageIndex = -1;
    EXPECT_EQ(Paint().TextAt(5, 5), "");
}

TEST_F(PaintLayoutTest, PreviewShowsOnlyTheTitle) {
    Show.FShowURL = true;
    Show.FShowClock = true;
    const auto canvas = Paint(152, 112, TDisplayMode::dmPreview);
    ASSERT_EQ(canvas.Texts.size(), 1u);
    EXPECT_EQ(canvas.TextAt(5, 5), "Lumenary");
    EXPECT_TRUE(canvas.Bitmaps.empty());
}

TEST_F(PaintLayoutTest, OtherModesPaintOnlyTheBackground) {
    Show.FShowURL = true;
    Show.FBitmap = TPageBitmap(10, 10);
    const auto canvas = Paint(1024, 768, TDisplayMode::dmOther);
    EXPECT_EQ(canvas.Fills.size(), 1u);
    EXPECT_TRUE(canvas.Texts.empty());
    EXPECT_TRUE(canvas.Bitmaps.empty());
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

class FailureCardTest : public PaintLayoutTest {};

TEST_F(FailureCardTest, CardShowsHeadingURLReasonDetailAndAttemptCentredInTheFormColours) {
    Show.FPageIndex = 1;
    Show.FFailed = true;
    Show.FFailure = TPageFailure{TPageFailureKind::pfHttpStatus, 503, "Service Unavailable"};
    Show.FFailureDate = PackDosDateTime(2026, 12, 7, 15, 4, 6);
    Show.FShowURL = true;
    const auto canvas = Paint();
    std::vector<std::string> lines;
    for (const auto& text : canvas.Texts) {
        if (text.X == 5 && text.Y == 5)
            continue;  // the URL line
        lines.push_back(text.Text);
        EXPECT_EQ(text.X, CenterOffset(1024, fakes::TFakeCanvas::CodePoints(text.Text) * 8));
        EXPECT_EQ(text.Fore, kFore);
        EXPECT_EQ(text.Back, kBack);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "このページを表示できません", "http://b/",
                         "サーバーがエラーを返しました (HTTP 503)", "(Service Unavailable)",
                         "2026/12/07 15:04:06 に取得を試みました"}));
    // Five lines of 16 px with gaps of 8 px, centred as a block.
    EXPECT_EQ(canvas.Texts[0].Y, CenterOffset(768, 5 * 16 + 4 * 8));
    EXPECT_EQ(canvas.TextAt(5, 5), "http://b/(未取得)");
    EXPECT_TRUE(canvas.Bitmaps.empty());
}

TEST_F(FailureCardTest, LongURLStartsAtTheMarginInsteadOfOffTheForm) {
    Show.FURLs = {"http://example.com/" + std::string(300, 'q')};
    Show.FFailed = true;
    const auto canvas = Paint(640, 480);
    ASSERT_GE(canvas.Texts.size(), 3u);
    EXPECT_EQ(canvas.Texts[1].X, 5);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// A monitor 800 pixels wide showing pages captured for a 1024-wide one.
TEST_F(PaintLayoutTest, PictureWiderThanItsMonitorIsScaledToItsWidthAndScrolledAsShown) {
    Show.FMonitorWidth = 800;
    Show.FBitmap = TPageBitmap(1040, 3000);
    Show.FScrollPos = 1200;
    const auto canvas = Paint(800, 600);
    ASSERT_EQ(canvas.Bitmaps.size(), 1u);
    EXPECT_EQ(canvas.Bitmaps[0].X, 0);
    EXPECT_EQ(canvas.Bitmaps[0].Y, -1200);
    EXPECT_EQ(canvas.Bitmaps[0].Scaled, (TSize{800, 2307}));
    // One that fits is drawn at its own size, centred.
    Show.FBitmap = TPageBitmap(700, 300);
    const auto small = Paint(800, 600);
    EXPECT_EQ(small.Bitmaps[0].Scaled, TSize{});
    EXPECT_EQ(small.Bitmaps[0].X, 50);
}

}  // namespace
}  // namespace lum
