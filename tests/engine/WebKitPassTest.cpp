// Whole capture passes of the capture form with the real WebKit view: pages
// served on 127.0.0.1, the files written to an in-memory file system.
#include <gtest/gtest.h>

#include "common/Forms.h"
#include "engine/WebKitCaptureRig.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

constexpr const char* kCache = "/cache/";

struct TSource : ICaptureSource {
    std::vector<std::string> List;
    std::int32_t W = 640;
    std::int32_t H = 480;
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return W; }
    std::int32_t Height() const override { return H; }
};

class Pass : public TWebKitRig {
  protected:
    void SetUp() override {
        TWebKitRig::SetUp();
        SetApplication(&FApp);
        FFiles.Folders.insert(kCache);
    }
    void TearDown() override {
        FForm.reset();
        SetApplication(nullptr);
    }

    // Runs one pass over urls and waits for its end.
    void RunPass(const std::vector<std::string>& urls, const TWebKitLimits& limits = {}) {
        FSource.List = urls;
        auto view = std::make_unique<TWebKitWebView>(limits);
        FForm = std::make_unique<TWorkingForm>(std::move(view), FFiles, kCache, FSource);
        FForm->StartCapture();
        EXPECT_TRUE(RunUntil([this] { return !FForm->Busy() && FForm->NextIndex() > 0; }, 60s));
    }
    bool Failed(int k, TPageFailure& failure) {
        return ReadFailureRecord(FFiles, GetFailureFileName(kCache, k), failure);
    }
    bool HasPage(int k) { return FFiles.Files.count(GetCacheFileName(kCache, k)) != 0; }
    TPageBitmap PageFile(int k) {
        auto reader = FFiles.OpenRead(GetCacheFileName(kCache, k));
        return ReadBmp(*reader);
    }

    fakes::TFakeApplicationPlatform FPlatform;
    TApplication FApp{FPlatform};
    fakes::TFakeFileSystem FFiles;
    TSource FSource;
    std::unique_ptr<TWorkingForm> FForm;
};

// Each refused page (a closed port, and one WebKit never connects to, which
// it once passed off as a blank page) gets its record and one line of the log.
TEST_F(Pass, RefusedConnectionIsReportedOnceAmongPagesThatLoad) {
    const std::string closed = TWebKitTestServer::ClosedPortUrl();
    const std::string blocked = "http://127.0.0.1:1/";
    RunPass({Page("short.html"), closed, Page("tall.html"), blocked, closed, Page("short.html")});
    for (int k : {1, 3, 4}) {
        TPageFailure failure;
        ASSERT_TRUE(Failed(k, failure)) << k;
        EXPECT_EQ(failure.Kind, TPageFailureKind::pfRefused) << k << " " << failure.Detail;
        EXPECT_FALSE(HasPage(k));
    }
    for (int k : {0, 2, 5}) {
        TPageFailure failure;
        EXPECT_FALSE(Failed(k, failure)) << k << " " << failure.Detail;
        EXPECT_TRUE(HasPage(k)) << k;
    }
    std::size_t lines = 0, blockedLines = 0;
    for (const std::string& line : FPlatform.LogLines) {
        lines += line.find(closed) != std::string::npos;
        blockedLines += line.find(blocked) != std::string::npos;
    }
    EXPECT_EQ(lines, 2u);
    EXPECT_EQ(blockedLines, 1u);
    EXPECT_EQ(FPlatform.LogLines.size(), 3u);
}

// A page that fills its window and loads itself again every second: each
// reload comes after a picture that sized the view beyond the display, and
// is still captured at the display's size (it once grew by the picture's
// margin on every reload).
TEST_F(Pass, PageThatReloadsItselfKeepsTheDisplaysSize) {
    // <meta http-equiv="refresh" content="1"> and a block of 100vw x 100vh
    const std::string page = FServer.Url(
        "/html?body=%3Cmeta%20http-equiv%3D%22refresh%22%20content%3D%221%22%3E%3Cstyle%3Ebody%7B"
        "margin%3A0%7Ddiv%7Bwidth%3A100vw%3Bheight%3A100vh%3Bbackground%3A%2300c800%7D%3C%2Fstyle"
        "%3E%3Cdiv%3E%3C%2Fdiv%3E");
    RunPass({page});
    const std::string file = GetCacheFileName(kCache, 0);
    std::vector<std::string> sizes;
    for (int reload = 0; reload < 4; ++reload) {
        // Each write of the file gets the date of the moment; the next one a new date.
        const bool written = RunUntil(
            [&] { return FFiles.Files.count(file) && FFiles.Files[file].Date == FFiles.NextDate; },
            10s);
        ASSERT_TRUE(written) << reload;
        const TPageBitmap picture = PageFile(0);
        sizes.push_back(std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()));
        EXPECT_EQ(picture.Pixel(639, 479), 0x00C800u);
        ++FFiles.NextDate;
    }
    EXPECT_EQ(sizes, std::vector<std::string>(4, "640x480"));
    EXPECT_TRUE(FPlatform.LogLines.empty());
}

// What a person would see: a chart the page draws after its load is in the
// page's file; a page that never stops changing is taken at the settle limit
// and said once in the log.
TEST_F(Pass, PagesAreCapturedOnceTheyHaveSettled) {
    const std::string late = BoxPage(
        "<script>onload = function () { setTimeout(function () {"
        "  document.getElementById('box').style.background = '#00ff00'; }, 1500); };</script>");
    const std::string clock = BoxPage(
        "<p id='t'></p><script>setInterval(function () {"
        "  document.getElementById('t').textContent = Date.now(); }, 50);</script>");
    TWebKitLimits limits;
    limits.Settle = 4000ms;
    RunPass({late, clock}, limits);
    ASSERT_TRUE(HasPage(0));
    EXPECT_EQ(PageFile(0).Pixel(100, 100), 0x00FF00u);
    ASSERT_TRUE(HasPage(1));
    EXPECT_EQ(FPlatform.LogLines,
              std::vector<std::string>{"\"" + clock +
                                       "\" was still changing at the settle limit: taken as it "
                                       "stands"});
}

// A page that moves on a second after its load (a refresh to another
// address, a script's location.replace) is captured where it ends, into its
// own file; the next page keeps its own. A page that only reloads itself is
// not waited for.
TEST_F(Pass, PagesThatMoveOnAreCapturedWhereTheyEnd) {
    const auto colour = [this](const char* c) {
        return HtmlPage(std::string("<style>body{margin:0;background:") + c + "}</style>");
    };
    const std::string green = colour("#00c800"), blue = colour("#0000c8");
    const std::string refresh =
        HtmlPage("<meta http-equiv='refresh' content='1; url=" + green + "'>");
    const std::string script = BoxPage(
        "<script>onload = function () { setTimeout(function () {"
        "  location.replace('" +
        blue + "'); }, 1000); };</script>");
    const std::string reload = BoxPage("<meta http-equiv='refresh' content='2'>");
    RunPass({refresh, script, reload, BoxPage("")});
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(HasPage(k)) << k;
    EXPECT_EQ(PageFile(0).Pixel(300, 300), 0x00C800u);
    EXPECT_EQ(PageFile(1).Pixel(300, 300), 0x0000C8u);
    EXPECT_EQ(PageFile(1).Pixel(100, 100), 0x0000C8u);  // not the box of the page it left
    EXPECT_EQ(PageFile(2).Pixel(100, 100), 0xFF0000u);
    EXPECT_EQ(PageFile(3).Pixel(100, 100), 0xFF0000u);
    EXPECT_TRUE(FPlatform.LogLines.empty());
}

}  // namespace
}  // namespace lum
