// The full-screen run on several monitors: a form on each, the display form
// on the primary one; each starts at its own page and scales pictures to its
// width; one capture, at the largest monitor's size, serves them all; input
// on any form ends the run; the forms follow the monitors as they change.
// One monitor stays as always.
#include <gtest/gtest.h>

#include "DisplayFormRig.h"
#include "common/DosDate.h"
#include "fakes/FakeCanvas.h"
#include "slideshow/PageCache.h"

namespace lum {
namespace {

constexpr const char* kSection = "Software\\Orvane\\Lumenary";

class MonitorDisplayTest : public ::testing::Test, protected testing::TDisplayFormRig {
  protected:
    MonitorDisplayTest() {
        for (int i = 1; i <= 4; ++i)
            Registry.PutValue(std::string(kSection) + "\\URLList", std::to_string(i),
                              TRegValue{RegType::String, "https://" + std::to_string(i) + "/"});
    }
    TScreenSaverDisplayForm& Start() {
        Host.Line = "Lumenary.scr /s";
        Form = std::make_unique<TScreenSaverDisplayForm>(Services);
        return *Form;
    }
    void PutPage(std::int32_t k, std::int32_t width, std::int32_t height) {
        TBmpImage image;
        std::vector<std::uint8_t> rows(std::size_t(width) * height * 4, 0x40);
        image.Width = width;
        image.Height = height;
        image.Rows = rows;
        fakes::TMemoryWriter writer;
        ASSERT_TRUE(WriteBmp(writer, image));
        Files.AddFile(GetCacheFileName(Files, k), std::move(writer.Bytes),
                      PackDosDateTime(2026, 12, 7, 15, 10, 0));
        Files.CreateDirectory(GetCacheDir(Files));
        WritePageAddress(Files, GetCacheDir(Files), k, "https://" + std::to_string(k + 1) + "/");
    }
};

// Three monitors: the primary, one left of and above it (negative
// coordinates), and a smaller one right of it.
const std::vector<TRect> kThree{{0, 0, 1024, 768}, {-1280, -1024, 0, 0}, {1024, 0, 1824, 600}};
constexpr TRect kUpperLeft{-1280, -1024, 0, 0};
constexpr TRect kRight{1024, 0, 1824, 600};

fakes::TFakeFormWindow& WindowOf(TForm& form) {
    return dynamic_cast<fakes::TFakeFormWindow&>(form.Window());
}

TEST_F(MonitorDisplayTest, EveryMonitorGetsItsOwnFormStartingAtItsOwnPage) {
    Host.MonitorRects = kThree;
    auto& form = Start();
    EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 1024, 768}));
    ASSERT_EQ(form.MonitorFormCount(), 2u);
    // The others in their order: upper left, right; each at its monitor's
    // place, shown, topmost, without a taskbar button.
    EXPECT_EQ(WindowOf(form.MonitorForm(0)).Bounds(), kUpperLeft);
    EXPECT_EQ(WindowOf(form.MonitorForm(1)).Bounds(), kRight);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_TRUE(WindowOf(form.MonitorForm(k)).FVisible);
        EXPECT_TRUE(form.MonitorForm(k).Running());
    }
    EXPECT_EQ(std::count(Host.Log.begin(), Host.Log.end(), "SetTopmost"), 3);
    EXPECT_EQ(std::count(Host.Log.begin(), Host.Log.end(), "SetWindowExStyle 128"), 3);
    // Pages by the monitors' order: upper left 0, primary 1, right 2.
    EXPECT_EQ(form.MonitorForm(0).SlideShow().FPageIndex, 0);
    EXPECT_EQ(form.SlideShow().FPageIndex, 1);
    EXPECT_EQ(form.MonitorForm(1).SlideShow().FPageIndex, 2);
    EXPECT_EQ(form.MonitorForm(1).SlideShow().FMonitorWidth, 800);
    // One capture, at the largest monitor's size.
    EXPECT_EQ(form.MonitorForm(0).WorkingForm(), nullptr);
    EXPECT_EQ(form.MonitorForm(1).WorkingForm(), nullptr);
    ASSERT_NE(Web, nullptr);
    EXPECT_EQ(Web->ViewSize, (TSize{1280, 1024}));
    EXPECT_EQ(form.MonitorForm(1).Width(), 1280);
}

TEST_F(MonitorDisplayTest, SameShowsTheSamePageOnEveryMonitorMovingTogether) {
    Host.MonitorRects = kThree;
    Registry.PutValue(kSection, "MonitorPages", {RegType::String, "same"});
    for (int k = 0; k < 4; ++k)
        PutPage(k, 100, 100);
    auto& form = Start();
    for (int tick = 0; tick < 20; ++tick) {
        Clock.Tick += 1000;
        Window().Send(Msg::Timer, 1);
        for (std::size_t k = 0; k < 2; ++k) {
            WindowOf(form.MonitorForm(k)).Send(Msg::Timer, 1);
            ASSERT_EQ(form.MonitorForm(k).SlideShow().FPageIndex, form.SlideShow().FPageIndex)
                << tick;
        }
    }
    EXPECT_NE(form.SlideShow().FPageIndex, 0) << "the show moved on";
}

TEST_F(MonitorDisplayTest, AFormPaintsOnlyItsMonitorWithWidePicturesScaledDown) {
    Host.MonitorRects = {{0, 0, 1024, 768}, kRight};
    PutPage(1, 1040, 400);  // shown on the right monitor, scaled to 800 x 307
    auto& form = Start();
    auto& right = WindowOf(form.MonitorForm(0));
    Clock.Tick += 1000;
    right.Send(Msg::Timer, 1);
    fakes::TFakeCanvas canvas(800, 600);
    right.Canvas = &canvas;
    right.Send(Msg::Paint);
    ASSERT_EQ(canvas.Bitmaps.size(), 1u);
    EXPECT_EQ(canvas.Bitmaps[0].X, 0);
    EXPECT_EQ(canvas.Bitmaps[0].Y, CenterOffset(600, 307));
    EXPECT_EQ(canvas.Bitmaps[0].Scaled, (TSize{800, 307}));
}

TEST_F(MonitorDisplayTest, TheOneCaptureTellsEveryFormAndTakesTheirPasses) {
    Host.MonitorRects = kThree;
    auto& form = Start();
    TSlideShowForm& upperLeft = form.MonitorForm(0);  // shows page 0
    EXPECT_TRUE(upperLeft.SlideShow().FCapturing) << "waits for the capture of the run";
    Web->Complete("about:blank");
    Web->Fail("https://1/", "no answer");
    Clock.Tick += 1000;
    WindowOf(upperLeft).Send(Msg::Timer, 1);
    EXPECT_TRUE(upperLeft.SlideShow().FFailed) << "the failure reached the other form";
    // A pass that comes due on another form runs on the one capture.
    const int passes = Web->PassesBegun;
    for (int i = 0; i < 6 && Web->PassesBegun == passes; ++i) {
        Web->CompleteCurrent();
        Web->Fail(Web->Navigations.back(), "no answer");
    }
    Clock.Tick += 61000;
    WindowOf(form.MonitorForm(1)).Send(Msg::Timer, 1);
    EXPECT_GT(Web->PassesBegun, passes);
}

TEST_F(MonitorDisplayTest, InputOnAnyFormEndsTheRunAndTheCloseHidesThemAll) {
    Host.MonitorRects = kThree;
    auto& form = Start();
    auto& right = WindowOf(form.MonitorForm(1));
    const auto closes = [&] {
        return std::count_if(Host.Posted.begin(), Host.Posted.end(), [&](const auto& p) {
            return p.Wnd == form.Handle() && p.Msg == Msg::Close;
        });
    };
    right.Send(Msg::MouseMove);  // the first move only records
    right.Send(Msg::MouseMove);
    EXPECT_EQ(closes(), 0);
    Host.Cursor = TPoint{1500, 300};
    right.Send(Msg::MouseMove);
    EXPECT_EQ(closes(), 1);
    WindowOf(form.MonitorForm(0)).Send(Msg::KeyDown, 'A');
    EXPECT_EQ(closes(), 2);
    EXPECT_EQ(right.Send(Msg::SysCommand, kScScreenSave), 1) << "swallowed";
    // A close of a monitor's form is a close request of the run: the form
    // itself stays.
    right.Send(Msg::Close);
    EXPECT_EQ(closes(), 3);
    EXPECT_FALSE(right.Destroyed);
    // The close that passes hides every form and ends every run.
    Window().Send(Msg::Close);
    EXPECT_FALSE(Window().FVisible);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_FALSE(WindowOf(form.MonitorForm(k)).FVisible);
        EXPECT_FALSE(form.MonitorForm(k).Running());
    }
}

TEST_F(MonitorDisplayTest, FormsFollowTheMonitorsAsTheyGoAndCome) {
    Host.MonitorRects = kThree;
    auto& form = Start();
    TSlideShowForm* right = &form.MonitorForm(1);
    Clock.Tick += 1000;
    WindowOf(*right).Send(Msg::Timer, 1);
    const std::int32_t page = right->SlideShow().FPageIndex;
    // The upper left monitor goes: its form goes, the right one stays as it
    // was, and pages are captured at the largest size left.
    Host.MonitorRects = {{0, 0, 1024, 768}, kRight};
    Window().Send(Msg::DisplayChange);
    ASSERT_EQ(form.MonitorFormCount(), 1u);
    EXPECT_EQ(&form.MonitorForm(0), right);
    EXPECT_EQ(right->SlideShow().FPageIndex, page);
    EXPECT_EQ(form.Width(), 1024);
    AppPlatform.RunDeferred();
    // Only the primary is left: the display form alone, on the desktop.
    Host.MonitorRects = {{0, 0, 1024, 768}};
    Window().Send(Msg::DisplayChange);
    EXPECT_EQ(form.MonitorFormCount(), 0u);
    AppPlatform.RunDeferred();
    EXPECT_EQ(form.SlideShow().FMonitorWidth, 0);
    // A monitor is plugged in: its form comes, running, with the filter.
    Host.MonitorRects = {{0, 0, 1024, 768}, {-1920, 0, 0, 1200}};
    Window().Send(Msg::DisplayChange);
    ASSERT_EQ(form.MonitorFormCount(), 1u);
    auto& added = WindowOf(form.MonitorForm(0));
    EXPECT_EQ(added.Bounds(), (TRect{-1920, 0, 0, 1200}));
    EXPECT_TRUE(added.FVisible);
    EXPECT_TRUE(form.MonitorForm(0).Running());
    EXPECT_EQ(form.Width(), 1920);
    added.Send(Msg::LButtonDown);
    EXPECT_EQ(Host.Posted.back().Msg, Msg::Close);
}

TEST_F(MonitorDisplayTest, AFormKeepsItsMonitorWhenTheScaleChanges) {
    Host.MonitorRects = kThree;
    auto& form = Start();
    auto& right = WindowOf(form.MonitorForm(1));
    const int repaints = right.Invalidations;
    right.FBounds = TRect{1024, 0, 1024 + 1200, 900};  // as a suggestion would make it
    right.Send(Msg::DpiChanged);
    EXPECT_EQ(right.Bounds(), kRight);
    EXPECT_GT(right.Invalidations, repaints);
    Window().Send(Msg::DpiChanged);
    EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 1024, 768}));
}

TEST_F(MonitorDisplayTest, OneMonitorKeepsThePrimaryScreenRule) {
    Host.MonitorRects = {{0, 0, 1920, 1080}};
    auto& form = Start();
    EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 1024, 768}));  // the desktop window's size
    EXPECT_EQ(form.MonitorFormCount(), 0u);
    EXPECT_EQ(form.Width(), 1024);
    EXPECT_EQ(form.SlideShow().FMonitorWidth, 0);
}

TEST_F(MonitorDisplayTest, PreviewStaysOneForm) {
    Host.MonitorRects = kThree;
    Host.Windows[0x5000] = fakes::TFakeWindow{0x40000000, 0, 0, TRect{0, 0, 152, 112}};
    Host.Line = "Lumenary.scr /p 20480";
    Form = std::make_unique<TScreenSaverDisplayForm>(Services);
    EXPECT_EQ(Form->MonitorFormCount(), 0u);
    EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 152, 112}));
}

TEST(PrimaryMonitor, IsTheMonitorAtTheOriginElseTheFirst) {
    EXPECT_EQ(PrimaryMonitor(kThree), (TRect{0, 0, 1024, 768}));
    EXPECT_EQ(PrimaryMonitor({kRight, kUpperLeft}), kRight);
    EXPECT_EQ(PrimaryMonitor({}), TRect{});
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// The Linux program runs once per monitor, each in a window of that size.
class OwnMonitorTest : public ::testing::Test, protected testing::TDisplayFormRig {
  protected:
    OwnMonitorTest() {
        for (int i = 1; i <= 3; ++i)
            Registry.PutValue(std::string(kSection) + "\\URLList", std::to_string(i),
                              TRegValue{RegType::String, "https://" + std::to_string(i) + "/"});
    }
    std::unique_ptr<TSlideShowForm> Show(const TRect& own) {
        TFormWindowStyle style;
        style.Bounds = TRect{0, 0, own.Width(), own.Height()};
        auto form = std::make_unique<TSlideShowForm>(Services, style);
        form->SetOwnMonitor({{0, 0, 1024, 768}, {1024, 0, 1824, 600}}, own);
        form->StartRun();
        return form;
    }
};

TEST_F(OwnMonitorTest, EachInstanceStartsAtItsMonitorsPageAndCapturesAtTheLargestSize) {
    const auto left = Show({0, 0, 1024, 768});
    EXPECT_EQ(left->SlideShow().FPageIndex, 0);
    EXPECT_EQ(left->Width(), 1024);
    const auto right = Show({1024, 0, 1824, 600});
    EXPECT_EQ(right->SlideShow().FPageIndex, 1);
    EXPECT_EQ(right->SlideShow().FMonitorWidth, 800);
    EXPECT_EQ(right->Width(), 1024);
    EXPECT_EQ(right->Height(), 768);
    right->ReleaseRun();
    left->ReleaseRun();
}

TEST_F(OwnMonitorTest, SameStartsEveryInstanceAtTheFirstPage) {
    Registry.PutValue(kSection, "MonitorPages", {RegType::String, "Same"});
    const auto right = Show({1024, 0, 1824, 600});
    EXPECT_EQ(right->SlideShow().FPageIndex, 0);
    right->ReleaseRun();
}

}  // namespace
}  // namespace lum
