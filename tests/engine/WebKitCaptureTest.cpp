#include <optional>

#include "engine/WebKitCaptureRig.h"

namespace lum {
namespace {

using Capture = TWebKitRig;

// Colours of the bands of tests/pages/tall.html, 1000 px each.
constexpr unsigned kBands[] = {0xC0392B, 0xE67E22, 0xF1C40F, 0x27AE60, 0x16A085,
                               0x2980B9, 0x8E44AD, 0x2C3E50, 0x7F8C8D, 0xD35400};
constexpr unsigned kWhite = 0xFFFFFF;

TEST_F(Capture, BlankPageCompletes) {
    const TLoaded loaded = Load("about:blank");
    EXPECT_FALSE(loaded.Failed) << loaded.Message;
    EXPECT_EQ(loaded.Url, "about:blank");
    EXPECT_EQ(loaded.Events, 1);
}

TEST_F(Capture, ShortPageIsMeasuredAndDrawnInItsColours) {
    const TLoaded loaded = Load(Page("short.html"));
    ASSERT_FALSE(loaded.Failed) << loaded.Message;
    EXPECT_EQ(loaded.Url, Page("short.html"));
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
    const TPageBitmap picture = Picture({1040, 216});
    ASSERT_EQ(picture.Width(), 1040);
    ASSERT_EQ(picture.Height(), 216);
    EXPECT_EQ(picture.Pixel(5, 5), 0x1E90FFu);  // the banner
    EXPECT_EQ(picture.Pixel(1000, 190), 0x1E90FFu);
    EXPECT_EQ(picture.Pixel(5, 210), 0xF0E68Cu);  // the page below it
    EXPECT_EQ(picture.Pixel(1030, 100), kWhite);  // beyond the view's width
}

TEST_F(Capture, PictureLargerThanTheDrawnPageIsWhiteBeyondIt) {
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    ASSERT_TRUE(Measure());
    const TPageBitmap picture = Picture({1100, 900});
    ASSERT_EQ(picture.Width(), 1100);
    ASSERT_EQ(picture.Height(), 900);
    EXPECT_EQ(picture.Pixel(1023, 700), 0xF0E68Cu);  // the view is 1024 x 768
    EXPECT_EQ(picture.Pixel(1024, 700), kWhite);
    EXPECT_EQ(picture.Pixel(500, 767), 0xF0E68Cu);
    EXPECT_EQ(picture.Pixel(500, 768), kWhite);
    EXPECT_EQ(picture.Pixel(1099, 899), kWhite);
}

TEST_F(Capture, TallPageKeepsItsFullHeight) {
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    EXPECT_EQ(Measure(), (TSize{1024, 10000}));
    const TPageBitmap picture = Picture({1040, 10016});
    ASSERT_EQ(picture.Height(), 10016);
    for (int band = 0; band < 10; ++band) {
        SCOPED_TRACE(band);
        EXPECT_EQ(picture.Pixel(600, band * 1000 + 2), kBands[band]);
        EXPECT_EQ(picture.Pixel(600, band * 1000 + 500), kBands[band]);
        EXPECT_EQ(picture.Pixel(1023, band * 1000 + 997), kBands[band]);
    }
    EXPECT_EQ(picture.Pixel(600, 10000), kWhite);
    EXPECT_EQ(picture.Pixel(1030, 5000), kWhite);
}

TEST_F(Capture, PictureIsCutFromTheTopLeftOfThePage) {
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    ASSERT_TRUE(Measure());
    const TPageBitmap picture = Picture({300, 1500});
    ASSERT_EQ(picture.Width(), 300);
    ASSERT_EQ(picture.Height(), 1500);
    EXPECT_EQ(picture.Pixel(299, 999), kBands[0]);
    EXPECT_EQ(picture.Pixel(299, 1000), kBands[1]);
    EXPECT_EQ(picture.Pixel(299, 1499), kBands[1]);
}

TEST_F(Capture, PageIsLaidOutAtTheViewSize) {
    MakeView();
    FView->SetViewSize({800, 600});
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    EXPECT_EQ(Measure(), (TSize{800, 10000}));
    FView->SetViewSize({640, 480});
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    EXPECT_EQ(Measure(), (TSize{640, 480}));
    EXPECT_EQ(static_cast<TWebKitWebView&>(*FView).ViewSize(), (TSize{640, 480}));
    const TPageBitmap picture = Picture({700, 500});
    EXPECT_EQ(picture.Pixel(639, 479), 0xF0E68Cu);
    EXPECT_EQ(picture.Pixel(640, 100), kWhite);
    EXPECT_EQ(picture.Pixel(100, 480), kWhite);
}

TEST_F(Capture, ViewGivenThePictureSizeDrawsTheWholePage) {
    MakeView();
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    ASSERT_EQ(Measure(), (TSize{1024, 10000}));
    FView->SetViewSize({1040, 10016});
    EXPECT_EQ(static_cast<TWebKitWebView&>(*FView).ViewSize(), (TSize{1040, 10016}));
    const TPageBitmap picture = Picture({1040, 10016});
    ASSERT_EQ(picture.Height(), 10016);
    for (int band = 0; band < 10; ++band)
        EXPECT_EQ(picture.Pixel(1035, band * 1000 + 500), kBands[band]) << band;
    EXPECT_EQ(picture.Pixel(600, 10010), kWhite);
}

TEST_F(Capture, MeasuringTakesAwayTheBodysBorderAndScrollBars) {
    // body { margin: 0; border: 10px solid red; overflow: scroll } and a 3000 px block
    ASSERT_FALSE(Load(FServer.Url("/html?body=%3Cstyle%3Ebody%7Bmargin%3A0%3Bborder%3A10px%20solid"
                                  "%20%23ff0000%3Boverflow%3Ascroll%7D%3C%2Fstyle%3E%3Cdiv%20style"
                                  "%3D%22height%3A3000px%22%3E%3C%2Fdiv%3E"))
                     .Failed);
    // The border and the scroll bars go before the page is measured: the
    // block alone, at the view's full width.
    EXPECT_EQ(Measure(), (TSize{1024, 3000}));
    const TPageBitmap picture = Picture({1040, 3016});
    EXPECT_EQ(picture.Pixel(2, 2), kWhite);
    EXPECT_EQ(picture.Pixel(1020, 400), kWhite);
    EXPECT_EQ(picture.Pixel(500, 2999), kWhite);
}

TEST_F(Capture, GiantPageIsCutToThePictureHeight) {
    // 20000 px red, then 40000 px blue: more than WebKit draws in one piece.
    ASSERT_FALSE(Load(FServer.Url("/html?body=%3Cstyle%3Ebody%7Bmargin%3A0%7D%3C%2Fstyle%3E"
                                  "%3Cdiv%20style%3D%22height%3A20000px%3Bbackground%3A%23c80000%22"
                                  "%3E%3C%2Fdiv%3E%3Cdiv%20style%3D%22height%3A40000px%3B"
                                  "background%3A%230000c8%22%3E%3C%2Fdiv%3E"))
                     .Failed);
    EXPECT_EQ(Measure(), (TSize{1024, 60000}));
    const TPageBitmap picture = Picture({1040, kBmpMaxSide});
    ASSERT_EQ(picture.Height(), kBmpMaxSide);
    EXPECT_EQ(picture.Pixel(500, 100), 0xC80000u);
    EXPECT_EQ(picture.Pixel(500, 19999), 0xC80000u);
    EXPECT_EQ(picture.Pixel(500, 20000), 0x0000C8u);
    EXPECT_EQ(picture.Pixel(500, kBmpMaxSide - 1), 0x0000C8u);
}

TEST_F(Capture, JapanesePageIsDrawn) {
    ASSERT_FALSE(Load(Page("japanese.html")).Failed);
    const std::optional<TSize> size = Measure();
    ASSERT_TRUE(size);
    const TPageBitmap picture = Picture({size->Width + 16, size->Height + 16});
    int ink = 0;
    for (int y = 32; y < 90; ++y)
        for (int x = 32; x < 900; ++x)
            ink += picture.Pixel(x, y) == 0x202020u;
    EXPECT_GT(ink, 2000);  // the heading's glyphs, not empty boxes or nothing
}

TEST_F(Capture, PageThatSendsItselfOnReportsWhereItEnds) {
    // A refresh to the short page at once, and a script that goes there on load.
    for (const char* body :
         {"%3Cmeta%20http-equiv%3D%22refresh%22%20content%3D%220%3Burl%3D%2Fpages%2Fshort.html%22%"
          "3E",
          "%3Cscript%3Eonload%3Dfunction()%7Blocation.href%3D%22%2Fpages%2Fshort.html%22%7D%3C%2F"
          "script%3E"}) {
        SCOPED_TRACE(body);
        Load(FServer.Url(std::string("/html?body=") + body));
        RunUntil([this] { return FLoaded.Url == Page("short.html"); }, 10s);
        EXPECT_FALSE(FLoaded.Failed) << FLoaded.Message;
        EXPECT_EQ(FLoaded.Url, Page("short.html"));
        EXPECT_LE(FLoaded.Events, 2);
        EXPECT_EQ(Measure(), (TSize{1024, 768}));
    }
}

TEST_F(Capture, SamePageAgainOrAtAnAnchorCompletes) {
    MakeView(TWebKitLimits{5000ms, 5000ms, 5000ms});
    for (const std::string& url : {Page("tall.html"), Page("tall.html"), Page("tall.html#b"),
                                   Page("tall.html#b"), Page("tall.html#c"), Page("tall.html")}) {
        SCOPED_TRACE(url);
        const TLoaded loaded = Load(url);
        EXPECT_FALSE(loaded.Failed) << loaded.Message;
        EXPECT_EQ(loaded.Events, 1);
    }
}

TEST_F(Capture, WidePageMeasuresBeyondTheView) {
    ASSERT_FALSE(
        Load(FServer.Url(
                 "/html?body=%3Cdiv%20style%3D%22width%3A1500px%3Bheight%3A50px%22%3E%3C%2Fdiv%3E"))
            .Failed);
    const std::optional<TSize> size = Measure();
    ASSERT_TRUE(size);
    EXPECT_EQ(size->Width, 1508);  // the div overflows the body, right of its margin
}

// A page that fills its window is measured at each size the view was just
// given, however soon after the resize it is asked.
TEST_F(Capture, MeasuringSeesTheSizeJustGiven) {
    // a block of 100vw x 100vh on a body without margins
    ASSERT_FALSE(Load(FServer.Url("/html?body=%3Cstyle%3Ebody%7Bmargin%3A0%7Ddiv%7Bwidth%3A100vw%3B"
                                  "height%3A100vh%7D%3C%2Fstyle%3E%3Cdiv%3E%3C%2Fdiv%3E"))
                     .Failed);
    for (const TSize size :
         {TSize{800, 600}, TSize{1040, 3016}, TSize{640, 480}, TSize{656, 496}}) {
        FView->SetViewSize(size);
        EXPECT_EQ(Measure(), size);
    }
}

// The body's margins are part of the page: a page with a 2em margin whose
// content reaches beyond the view to the right and below is measured and drawn
// to its bottom-right corner, where a red square sits.
TEST_F(Capture, WholeDocumentIsMeasuredWithTheBodysMargins) {
    // body { margin: 2em } and a 1400 x 1500 block with a 40 px square at its
    // bottom right; "<!DOCTYPE html>" makes it a page in standards mode.
    ASSERT_FALSE(Load(FServer.Url("/html?body=%3Cstyle%3Ebody%7Bmargin%3A2em%7D%3C%2Fstyle%3E%3Cdiv"
                                  "%20style%3D%22position%3Arelative%3Bwidth%3A1400px%3Bheight%3A"
                                  "1500px%22%3E%3Cdiv%20style%3D%22position%3Aabsolute%3Bright%3A0"
                                  "%3Bbottom%3A0%3Bwidth%3A40px%3Bheight%3A40px%3Bbackground%3A%23"
                                  "c80000%22%3E%3C%2Fdiv%3E%3C%2Fdiv%3E"))
                     .Failed);
    const std::optional<TSize> size = Measure();
    ASSERT_TRUE(size);
    EXPECT_GE(size->Width, 32 + 1400);
    EXPECT_GE(size->Height, 32 + 1500 + 32);
    const TPageBitmap picture = Picture({size->Width + 16, size->Height + 16});
    int red = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            red += picture.Pixel(x, y) == 0xC80000u;
    EXPECT_EQ(red, 40 * 40);
    EXPECT_EQ(picture.Pixel(32 + 1400 - 1, 32 + 1500 - 1), 0xC80000u);
}

}  // namespace
}  // namespace lum
