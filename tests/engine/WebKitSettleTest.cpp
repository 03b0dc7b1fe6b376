// Pages that go on drawing after their load event, on the real engine: what
// a person looking at them would see is what the picture holds.
#include <chrono>
#include <optional>
#include <string>

#include "engine/WebKitCaptureRig.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kLate = 0x00FF00;   // what the page's script draws
constexpr unsigned kEarly = 0xFF0000;  // what the page shows at its load

class Settling : public TWebKitRig {
  protected:
    // The colour of the box in the picture of the page as it is now.
    unsigned BoxColour() {
        const std::optional<TSize> size = Measure();
        if (!size)
            return 0;
        const TPageBitmap picture = Picture(*size);
        return picture.Empty() ? 0 : picture.Pixel(100, 100);
    }
    static std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }
};

TEST_F(Settling, AChartDrawnAfterTheLoadIsInThePicture) {
    ASSERT_FALSE(Load(BoxPage("<script>onload = function () { setTimeout(function () {"
                              "  document.getElementById('box').style.background = '#00ff00';"
                              "}, 1500); };</script>"))
                     .Failed);
    EXPECT_EQ(Settle(), true);
    EXPECT_EQ(BoxColour(), kLate);
}

TEST_F(Settling, DataFetchedAfterTheLoadIsDrawnFirst) {
    // One box coloured when a fetch answers, one when an XMLHttpRequest does;
    // the server answers both late.
    ASSERT_FALSE(
        Load(BoxPage("<div id='other' style='width:200px;height:200px;background:#ff0000'></div>"
                     "<script>onload = function () {"
                     "  fetch('/slow?ms=1200').then(function (r) { return r.text(); })"
                     "    .then(function () {"
                     "      document.getElementById('box').style.background = '#00ff00'; });"
                     "  var x = new XMLHttpRequest(); x.open('GET', '/slow?ms=900');"
                     "  x.onload = function () {"
                     "    document.getElementById('other').style.background = '#00ff00'; };"
                     "  x.send();"
                     "};</script>"))
            .Failed);
    EXPECT_EQ(Settle(), true);
    const std::optional<TSize> size = Measure();
    ASSERT_TRUE(size);
    const TPageBitmap picture = Picture(*size);
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Pixel(100, 100), kLate);
    EXPECT_EQ(picture.Pixel(100, 300), kLate);
}

TEST_F(Settling, APageThatNeverStopsChangingIsTakenAtTheLimit) {
    TWebKitLimits limits;
    limits.Settle = 1500ms;
    MakeView(limits);
    ASSERT_FALSE(Load(BoxPage("<p id='clock'></p><script>setInterval(function () {"
                              "  document.getElementById('clock').textContent = Date.now();"
                              "}, 50);</script>"))
                     .Failed);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Settle(), false);
    EXPECT_GE(Since(start), 1400ms);
    EXPECT_EQ(BoxColour(), kEarly);  // taken as it stands
}

// What a person would not wait for does not hold the picture: a timer due
// after the settle limit, a timer the page cleared again, an image far below
// the view that loads only when scrolled to (it never would here: its server
// never answers).
TEST_F(Settling, ALongTimerAndALazyImageOutOfViewDoNotHoldThePicture) {
    TWebKitLimits limits;
    limits.Settle = 5000ms;
    MakeView(limits);
    ASSERT_FALSE(Load(BoxPage("<img loading='lazy' src='/hold' width='10' height='10'"
                              " style='display:block;margin-top:5000px'>"
                              "<script>setTimeout(function () {"
                              "  document.getElementById('box').style.background = '#00ff00';"
                              "}, 60000);"
                              "clearTimeout(setTimeout(function () {}, 1000));</script>"))
                     .Failed);
    EXPECT_EQ(Settle(), true);
    EXPECT_EQ(BoxColour(), kEarly);
}

// An image in view that never arrives holds the picture until the limit.
TEST_F(Settling, AnImageInViewThatNeverArrivesIsWaitedForUntilTheLimit) {
    TWebKitLimits limits;
    limits.Settle = 1500ms;
    limits.Load = 3000ms;
    MakeView(limits);
    ASSERT_FALSE(Load(FServer.Url("/stuck.html")).Failed);
    EXPECT_EQ(Settle(), false);
}

TEST_F(Settling, AnImageOrATextIsSettledAtOnce) {
    ASSERT_FALSE(Load(FServer.Url("/image.png")).Failed);
    EXPECT_EQ(Settle(), true);
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    EXPECT_EQ(Settle(), true);
}

// A page whose script never returns cannot be asked: the step fails at the
// script limit and the stuck page process is ended, as for every step.
TEST_F(Settling, APageStuckInAScriptFailsTheStepWithinTheLimit) {
    TWebKitLimits limits;
    limits.Script = 1500ms;
    MakeView(limits);
    ASSERT_FALSE(Load(BoxPage("<script>onload = function () {"
                              "  setTimeout(function () { for (;;) {} }, 0); };</script>"))
                     .Failed);
    EXPECT_EQ(Settle(true), std::nullopt);
    EXPECT_NE(FStepFailure.find("did not answer"), std::string::npos) << FStepFailure;
    ASSERT_FALSE(Load(Page("short.html")).Failed) << "the next page loads in a fresh process";
    EXPECT_EQ(Settle(), true);
}

// Lazy images at the bottom of a 4,000 px page, one by the browser's own
// loading="lazy" and one by an IntersectionObserver of the page, are in the
// picture: the page was scrolled through as a person would, and back to its
// top. A page that grows as it is scrolled stops at the height cap.
TEST_F(Settling, LazyImagesAtTheBottomOfATallPageAreInThePicture) {
    // Each picture takes 400 ms to come, once asked for.
    const std::string image = FServer.Url("/slow-image.png?ms=400");
    ASSERT_FALSE(
        Load(BoxPage("<img loading='lazy' src='" + image +
                     "' width='200' height='200' style='display:block;margin-top:3400px'>"
                     "<img id='io' width='200' height='200' style='display:block'>"
                     "<script>new IntersectionObserver(function (seen) {"
                     "  if (seen[0].isIntersecting) document.getElementById('io').src = '" +
                     image + "';}).observe(document.getElementById('io'));</script>"))
            .Failed);
    EXPECT_EQ(Settle(), true);
    ASSERT_EQ(Measure(), (TSize{1024, 4000}));
    const TPageBitmap picture = Picture({1024, 4000});
    EXPECT_EQ(picture.Pixel(100, 3700), TWebKitTestServer::kImageColor);
    EXPECT_EQ(picture.Pixel(100, 3900), TWebKitTestServer::kImageColor);
    EXPECT_EQ(picture.Pixel(100, 100), kEarly);
}

TEST_F(Settling, AnEndlessFeedIsScrolledNoFurtherThanTheHeightCap) {
    TWebKitLimits limits;
    limits.Settle = 20000ms;
    MakeView(limits);
    // Each scroll near the end adds 4,000 px more.
    ASSERT_FALSE(Load(BoxPage("<div id='feed' style='height:4000px'></div><script>"
                              "addEventListener('scroll', function () {"
                              "  var f = document.getElementById('feed');"
                              "  if (scrollY + innerHeight * 2 > document.body.scrollHeight)"
                              "    f.style.height = (f.offsetHeight + 4000) + 'px';"
                              "});</script>"))
                     .Failed);
    EXPECT_TRUE(Settle().has_value());
    const std::optional<TSize> size = Measure();
    ASSERT_TRUE(size);
    EXPECT_GE(size->Height, kPageHeightCap);
    EXPECT_LT(size->Height, kPageHeightCap + 12000);
}

}  // namespace
}  // namespace lum
