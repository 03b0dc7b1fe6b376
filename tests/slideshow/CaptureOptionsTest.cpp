// What a page's line asks of its capture reaches the web view with that
// page's load, and only with it: the zoom and headers of its load, and a
// crop that makes the picture one element's box (a page without that
// element fails so, and the pass goes on).
#include <gtest/gtest.h>

#include <algorithm>

#include "common/Forms.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeWebView.h"
#include "slideshow/PageFailure.h"
#include "slideshow/PageSchedule.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

constexpr const char* kCache = "C:\\C\\";

class TOptionsSource : public ICaptureSource {
  public:
    std::vector<std::string> List{"http://a/", "http://b/", "http://c/"};
    std::vector<TCaptureOptions> Options{3};
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 640; }
    std::int32_t Height() const override { return 480; }
    TCaptureOptions CaptureOptions(std::int32_t k) const override {
        return Options[static_cast<std::size_t>(k)];
    }
};

class CaptureOptions : public ::testing::Test {
  protected:
    CaptureOptions() {
        SetApplication(&App);
        Files.Folders.insert(kCache);
        auto view = std::make_unique<fakes::TFakeWebView>();
        Web = view.get();
        Form = std::make_unique<TWorkingForm>(std::move(view), Files, kCache, Source);
    }
    ~CaptureOptions() override {
        Form.reset();
        SetApplication(nullptr);
    }
    void RunPass() {
        Form->StartCapture();
        Web->Complete("about:blank");
        for (std::size_t k = 0; k < Source.List.size(); ++k)
            Web->CompleteCurrent();
    }

    fakes::TFakeApplicationPlatform Platform;
    TApplication App{Platform};
    fakes::TFakeFileSystem Files;
    TOptionsSource Source;
    fakes::TFakeWebView* Web = nullptr;
    std::unique_ptr<TWorkingForm> Form;
};

TEST_F(CaptureOptions, EachLoadTakesItsOwnPagesOptionsAndNoOther) {
    const TURLLine line = ParseURLLine(
        "http://a/ zoom=150% wait=5 header=\"Authorization: Bearer t0ken\" header=\"X-A: 1\"");
    ASSERT_TRUE(line.Problems.empty());
    Source.Options[0] = CaptureOptionsOf(line.Options);
    RunPass();
    ASSERT_EQ(Web->NavigationOptions.size(), 4u);
    EXPECT_EQ(Web->NavigationOptions[0], TCaptureOptions{});  // the blank page
    const TCaptureOptions& a = Web->NavigationOptions[1];
    EXPECT_EQ(a.ZoomPercent, 150);
    EXPECT_EQ(a.WaitSeconds, 5);
    ASSERT_EQ(a.Headers.size(), 2u);
    EXPECT_EQ(a.Headers[0], (std::pair<std::string, std::string>{"Authorization", "Bearer t0ken"}));
    EXPECT_EQ(Web->NavigationOptions[2], TCaptureOptions{});  // not carried over
    EXPECT_EQ(CaptureOptionsOf(TPageOptions{}), TCaptureOptions{});
}

TEST_F(CaptureOptions, ACroppedPictureIsTheElementsBoxAndAPageWithoutItFailsSo) {
    Source.Options[0].Crop = "#panel";
    Source.Options[1].Crop = "#missing";
    fakes::TFakePage page;
    page.ScrollWidth = 1600;
    page.ScrollHeight = 3000;
    page.CropBox = TSize{300, 120};
    Web->Pages["http://a/"] = page;
    RunPass();
    EXPECT_NE(std::find(Web->Log.begin(), Web->Log.end(), "picture 300x120 view 640x480"),
              Web->Log.end());
    TPageFailure failure;
    ASSERT_TRUE(ReadFailureRecord(Files, GetFailureFileName(kCache, 1), failure));
    EXPECT_EQ(failure.Detail, "no element matches crop=\"#missing\"");
    EXPECT_EQ(Files.Files.count("C:\\C\\2.bmp"), 1u);  // the pass went on
    EXPECT_FALSE(Form->Busy());
}

}  // namespace
}  // namespace lum
