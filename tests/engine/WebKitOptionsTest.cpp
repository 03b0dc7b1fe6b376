// A page's capture options on real pages served on 127.0.0.1: the zoom it
// is laid out and drawn at, the headers its server asks for, elements
// hidden before its picture, one element's box as the picture, and the wait
// once it has settled.
#include "engine/WebKitCaptureRig.h"

namespace lum {
namespace {

class CaptureOptions : public TWebKitRig {
  protected:
    TLoaded LoadWith(const std::string& url, const TCaptureOptions& options) {
        if (!FView)
            MakeView();
        FView->SetCaptureOptions(options);
        return Load(url);
    }
    static TCaptureOptions Zoom(std::int32_t percent, const std::string& crop = {}) {
        TCaptureOptions options;
        options.ZoomPercent = percent;
        options.Crop = crop;
        return options;
    }
};

// A 100 px box over a 1400 px strip: at 200 % the page is twice as large in
// the view's pixels, and the next page without a zoom is back at 100 %.
TEST_F(CaptureOptions, ZoomLaysThePageOutAndDrawsItInTheViewsPixels) {
    const std::string page = HtmlPage(
        "<style>body{margin:0}</style>"
        "<div id='box' style='width:100px;height:100px;background:#0000ff'></div>"
        "<div style='height:1400px;background:#00ff00'></div>");
    ASSERT_FALSE(LoadWith(page, Zoom(200)).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 3000}));
    const TPageBitmap picture = Picture({1024, 768});
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Pixel(199, 199), 0x0000FFu);
    EXPECT_EQ(picture.Pixel(200, 100), 0xFFFFFFu);
    EXPECT_EQ(picture.Pixel(5, 201), 0x00FF00u);

    ASSERT_FALSE(LoadWith(page, Zoom(200, "#box")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{200, 200}));
    const TPageBitmap box = Picture({200, 200});
    ASSERT_FALSE(box.Empty());
    EXPECT_EQ(box.Pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(box.Pixel(199, 199), 0x0000FFu);

    ASSERT_FALSE(LoadWith(page, {}).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 1500}));
}

// A panel below the first view, under a bar fixed to the window's top: the
// picture is the panel alone, at its size, with its own pixels. An element
// at fractions of a pixel is rounded out; a selector that selects nothing,
// or that the engine cannot read, fails the measure with the reason.
TEST_F(CaptureOptions, CropIsTheElementsBoxAlone) {
    const std::string page = HtmlPage(
        "<style>body{margin:0}</style>"
        "<div style='position:fixed;top:0;left:0;right:0;height:60px;background:#ffff00'></div>"
        "<div style='height:900px;background:#eeeeee'></div>"
        "<div id='panel' style='margin-left:100px;width:250px;height:150px;display:flex'>"
        "<div style='width:125px;background:#ff0000'></div>"
        "<div style='width:125px;background:#0000ff'></div></div>"
        "<div class='odd' style='position:absolute;left:10.5px;top:20.25px;width:20.2px;"
        "height:10px;background:#000'></div>"
        "<div style='height:500px'></div>");
    ASSERT_FALSE(LoadWith(page, Zoom(100, "#panel")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{250, 150}));
    const TPageBitmap panel = Picture({250, 150});
    ASSERT_EQ(panel.Width(), 250);
    ASSERT_EQ(panel.Height(), 150);
    EXPECT_EQ(panel.Pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(panel.Pixel(124, 149), 0xFF0000u);
    EXPECT_EQ(panel.Pixel(125, 0), 0x0000FFu);
    EXPECT_EQ(panel.Pixel(249, 149), 0x0000FFu);

    ASSERT_FALSE(LoadWith(page, Zoom(100, "div.odd")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{21, 11}));  // 10 .. 31 across, 20 .. 31 down

    ASSERT_FALSE(LoadWith(page, Zoom(100, "#missing")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(true), std::nullopt);
    EXPECT_EQ(FStepFailure, "no element matches crop=\"#missing\"");
    ASSERT_FALSE(LoadWith(page, Zoom(100, "div['")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(true), std::nullopt);
    EXPECT_NE(FStepFailure.find("crop=\"div['\" is not a selector"), std::string::npos)
        << FStepFailure;
}

// A cookie banner above the content is gone from the picture, and the
// content takes its place. A selector list the engine rejects, or text that
// would add rules of its own, hides nothing: the page is measured and drawn
// as it is, and standard error says why.
TEST_F(CaptureOptions, HiddenElementsAreGoneFromThePicture) {
    const std::string page = HtmlPage(
        "<style>body{margin:0}</style>"
        "<div class='cookie-banner' style='height:100px;background:#ff0000'>Cookies?</div>"
        "<div style='height:200px;background:#00ff00'></div>");
    TCaptureOptions options;
    options.Hide = ".newsletter, .cookie-banner";
    ASSERT_FALSE(LoadWith(page, options).Failed) << FLoaded.Message;
    ASSERT_TRUE(Measure());
    TPageBitmap picture = Picture({1024, 768});
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Pixel(10, 10), 0x00FF00u);
    EXPECT_EQ(picture.Pixel(10, 199), 0x00FF00u);
    EXPECT_EQ(picture.Pixel(10, 250), 0xFFFFFFu);

    for (const char* refused : {"div[", "x {} body { background: #ff00ff } y", "x /*"}) {
        options.Hide = refused;
        ASSERT_FALSE(LoadWith(page, options).Failed) << FLoaded.Message;
        ::testing::internal::CaptureStderr();
        const std::optional<TSize> size = Measure();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(size, (TSize{1024, 768})) << refused;
        EXPECT_NE(said.find("hide=\"" + std::string(refused) + "\" hides nothing"),
                  std::string::npos)
            << said;
        picture = Picture({1024, 768});
        ASSERT_FALSE(picture.Empty());
        EXPECT_EQ(picture.Pixel(500, 50), 0xFF0000u) << refused;
        EXPECT_EQ(picture.Pixel(10, 400), 0xFFFFFFu) << refused;
    }
}

TEST_F(CaptureOptions, HeadersGoWithThePagesOwnLoadOnly) {
    const std::string page = HtmlPage("<p>let in</p>", "/keyed");
    const TLoaded refused = LoadWith(page, {});
    EXPECT_TRUE(refused.Failed);
    EXPECT_EQ(refused.Status, 403);

    TCaptureOptions options;
    options.Headers = {{"X-Other", "one two"},
                       {TWebKitTestServer::kKeyHeader, TWebKitTestServer::kKeyValue}};
    ASSERT_FALSE(LoadWith(page, options).Failed) << FLoaded.Message;
    const TPageBitmap picture = Picture({100, 100});
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Pixel(90, 90), 0x00C800u);

    EXPECT_TRUE(LoadWith(page, {}).Failed) << "the next page's load goes without them";
}

// The page stops changing as it loads; 1.3 s later its box turns green, by
// an interval the settle step does not wait for: 800 ms after the earliest
// it can have settled (its quiet time is 500 ms). A wait of 1 s has it in
// the picture.
TEST_F(CaptureOptions, WaitComesOnceThePageHasSettled) {
    TCaptureOptions options;
    options.WaitSeconds = 1;
    ASSERT_FALSE(LoadWith(BoxPage("<script>var t0 = performance.now();"
                                  "var iv = setInterval(function () {"
                                  "  if (performance.now() - t0 < 1300) return;"
                                  "  document.getElementById('box').style.background = '#00ff00';"
                                  "  clearInterval(iv);"
                                  "}, 50);</script>"),
                          options)
                     .Failed)
        << FLoaded.Message;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Settle(), true);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
    const TPageBitmap picture = Picture({1024, 768});
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Pixel(50, 50), 0x00FF00u);
}

}  // namespace
}  // namespace lum
