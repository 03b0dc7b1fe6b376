// The web view that keeps its engine only for a pass, driven by the capture
// form over fake engines: one engine a pass, released from the event loop
// once the pass is over, events passed on only while it is held.
#include "slideshow/PassWebView.h"

#include <gtest/gtest.h>

#include <deque>

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeWebView.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

using fakes::TFakeWebView;

constexpr const char* kCache = "/home/u/.cache/lumenary/";

struct TSource : ICaptureSource {
    std::vector<std::string> List{"http://a/", "http://b/"};
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 800; }
    std::int32_t Height() const override { return 600; }
};

class PassWebView : public ::testing::Test {
  protected:
    PassWebView() {
        SetApplication(&App);
        Files.Folders.insert(kCache);
        auto view = std::make_unique<TPassWebView>([this] {
            auto engine = std::make_unique<TFakeWebView>();
            engine->Async = true;
            engine->Destroyed = &Destroyed.emplace_back(false);
            Engines.push_back(engine.get());
            return engine;
        });
        View = view.get();
        Form = std::make_unique<TWorkingForm>(std::move(view), Files, kCache, Source);
    }
    ~PassWebView() override {
        Form.reset();
        AppPlatform.RunDeferred();
        SetApplication(nullptr);
    }
    // Completes what the current engine loads, running its steps, until the
    // pass is over.
    void RunPass() {
        Form->StartCapture();
        TFakeWebView* engine = Engines.back();
        engine->Complete("about:blank");
        while (Form->Busy()) {
            engine->CompleteCurrent();
            engine->RunSteps();
        }
    }

    fakes::TFakeApplicationPlatform AppPlatform;
    TApplication App{AppPlatform};
    fakes::TFakeFileSystem Files;
    TSource Source;
    std::vector<TFakeWebView*> Engines;
    std::deque<bool> Destroyed;  // per engine, set by its destructor
    TPassWebView* View = nullptr;
    std::unique_ptr<TWorkingForm> Form;
};

TEST_F(PassWebView, EachPassHasAnEngineOfItsOwnReleasedAfterThePass) {
    EXPECT_FALSE(View->HasEngine()) << "no engine before the first pass";
    RunPass();
    EXPECT_EQ(Engines.size(), 1u);
    EXPECT_TRUE(Files.Files.count(std::string(kCache) + "1.bmp"));
    EXPECT_FALSE(View->HasEngine());
    EXPECT_FALSE(Destroyed[0]) << "not within the engine's own continuation";
    AppPlatform.RunDeferred();
    EXPECT_TRUE(Destroyed[0]);

    RunPass();
    ASSERT_EQ(Engines.size(), 2u);
    EXPECT_EQ(Engines[1]->Log.front(), "view 800x600") << "a new engine gets the view size first";
    AppPlatform.RunDeferred();
    EXPECT_TRUE(Destroyed[1]);
}

TEST_F(PassWebView, ReleasedEngineSaysNothingMoreAndMeasuringWithoutOneFails) {
    RunPass();
    TFakeWebView* released = Engines[0];
    released->Complete("http://b/");  // a page that loads itself again after the pass
    released->RunSteps();
    EXPECT_FALSE(Form->Busy());
    EXPECT_EQ(Files.Files.size(), 2u);
    AppPlatform.RunDeferred();
    EXPECT_THROW(View->MeasurePage([](TSize) {}, [](const std::string&) {}), Exception);
    EXPECT_THROW(View->TakePicture(
                     TSize{1, 1}, [](const TPageBitmap&) {}, [](const std::string&) {}),
                 Exception);
}

TEST_F(PassWebView, DestroyingTheViewMidPassDestroysTheEngineAtOnce) {
    Form->StartCapture();
    Engines[0]->Complete("about:blank");
    Engines[0]->CompleteCurrent();  // measuring is pending
    Form.reset();
    EXPECT_TRUE(Destroyed[0]);
}

}  // namespace
}  // namespace lum
