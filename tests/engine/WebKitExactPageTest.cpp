// Pages taken exactly as a browser window of the display's size shows them:
// nothing cut at the right or bottom edge, fixed elements once and where
// they are at the top of the page, viewport units meaning the display's
// height, and a page taller than the height cap captured through the whole
// capture form with a correct first part.
#include <gtest/gtest.h>

#include "common/Bmp.h"
#include "common/Forms.h"
#include "engine/WebKitCaptureRig.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "slideshow/PageCache.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

using ExactPage = TWebKitRig;

constexpr unsigned kPaper = 0xFFFFE0;
constexpr unsigned kRed = 0xC80000;
constexpr unsigned kGreen = 0x008000;

TEST_F(ExactPage, FixedFooterIsWholeAtTheBottomOfTheFirstScreenAndOnlyThere) {
    ASSERT_FALSE(Load(HtmlPage("<style>body{margin:0;background:#ffffe0}</style>"
                               "<div style='height:3000px'></div>"
                               "<div style='position:fixed;left:0;right:0;bottom:0;height:40px;"
                               "background:#c80000'></div>"))
                     .Failed);
    ASSERT_EQ(Measure(), (TSize{1024, 3000}));
    const TPageBitmap picture = Picture({1024, 3000});
    ASSERT_EQ(picture.Height(), 3000);
    EXPECT_EQ(picture.Pixel(500, 727), kPaper);
    EXPECT_EQ(picture.Pixel(500, 728), kRed);
    EXPECT_EQ(picture.Pixel(0, 767), kRed);
    EXPECT_EQ(picture.Pixel(1023, 767), kRed);  // the right end, not cut
    EXPECT_EQ(picture.Pixel(500, 768), kPaper);
    EXPECT_EQ(picture.Pixel(500, 2999), kPaper);  // not once more at the page's end
    // The view kept the display's size for the picture.
    EXPECT_EQ(static_cast<TWebKitWebView&>(*FView).ViewSize(), (TSize{1024, 768}));
}

TEST_F(ExactPage, FramedPageKeepsItsRightAndBottomBorder) {
    // A frame around the window, and a body that asks for scroll bars.
    ASSERT_FALSE(Load(HtmlPage("<style>html,body{margin:0;height:100%}body{overflow:scroll}"
                               "div{box-sizing:border-box;height:100%;border:8px solid #008000;"
                               "background:#ffffe0}</style><div></div>"))
                     .Failed);
    ASSERT_EQ(Measure(), (TSize{1024, 768}));
    const TPageBitmap picture = Picture({1024, 768});
    EXPECT_EQ(picture.Pixel(1023, 400), kGreen);
    EXPECT_EQ(picture.Pixel(1016, 400), kGreen);
    EXPECT_EQ(picture.Pixel(1015, 400), kPaper);
    EXPECT_EQ(picture.Pixel(500, 767), kGreen);
    EXPECT_EQ(picture.Pixel(500, 759), kPaper);
    EXPECT_EQ(picture.Pixel(0, 0), kGreen);
}

TEST_F(ExactPage, ViewportUnitsMeanTheDisplaysHeight) {
    const unsigned colours[] = {0xC80000, 0x00C800, 0x0000C8, 0xC8C800, 0x00C8C8};
    std::string body = "<style>body{margin:0}section{height:100vh}</style>";
    for (unsigned colour : colours) {
        char style[64];
        std::snprintf(style, sizeof style, "<section style='background:#%06x'></section>", colour);
        body += style;
    }
    ASSERT_FALSE(Load(HtmlPage(body)).Failed);
    ASSERT_EQ(Measure(), (TSize{1024, 5 * 768}));
    const TPageBitmap picture = Picture({1024, 5 * 768});
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(picture.Pixel(500, k * 768 + 1), colours[k]);
        EXPECT_EQ(picture.Pixel(500, k * 768 + 766), colours[k]);
    }
}

struct TSource : ICaptureSource {
    std::vector<std::string> List;
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 640; }
    std::int32_t Height() const override { return 480; }
};

// 60,000 px: more than any one drawing holds. The file holds its first
// 32,000 rows, right in every band, and the run says so once.
TEST_F(ExactPage, PageOverTheHeightCapGivesACorrectFirstPart) {
    fakes::TFakeApplicationPlatform platform;
    TApplication app{platform};
    SetApplication(&app);
    fakes::TFakeFileSystem files;
    files.Folders.insert("/cache/");
    TSource source;
    const std::string url = HtmlPage(
        "<style>body{margin:0}div{height:10000px}</style>"
        "<div style='background:#c80000'></div><div style='background:#00c800'></div>"
        "<div style='background:#0000c8'></div><div style='background:#c8c800'></div>"
        "<div style='background:#00c8c8'></div><div style='background:#c800c8'></div>");
    source.List = {url};
    {
        TWorkingForm form(std::make_unique<TWebKitWebView>(), files, "/cache/", source);
        for (int pass = 0; pass < 2; ++pass) {
            form.StartCapture();
            ASSERT_TRUE(RunUntil([&] { return !form.Busy() && form.NextIndex() > 0; }, 60s));
        }
    }
    SetApplication(nullptr);
    auto reader = files.OpenRead(GetCacheFileName("/cache/", 0));
    ASSERT_TRUE(reader);
    const TPageBitmap picture = ReadBmp(*reader);
    ASSERT_EQ(picture.Width(), 640);
    ASSERT_EQ(picture.Height(), kPageHeightCap);
    const unsigned bands[] = {0xC80000, 0x00C800, 0x0000C8, 0xC8C800};
    for (int y : {0, 9999, 10000, 16383, 16384, 19999, 20000, 29999, 30000, 31999}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(picture.Pixel(320, y), bands[y / 10000]);
        EXPECT_EQ(picture.Pixel(639, y), bands[y / 10000]);
    }
    EXPECT_EQ(platform.LogLines.size(), 1u);
    ASSERT_FALSE(platform.LogLines.empty());
    EXPECT_NE(platform.LogLines[0].find("is 60000 pixels tall: its first 32000 are captured"),
              std::string::npos)
        << platform.LogLines[0];
}

}  // namespace
}  // namespace lum
