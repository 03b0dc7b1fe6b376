// The slide-show form as an ordinary window on the display (the Linux
// program's --window): pages are captured at the size of the monitor the
// window is on, never at the window's, and pictures wider than the window
// are shown scaled down to its width of the moment.
#include <gtest/gtest.h>

#include "DisplayFormRig.h"
#include "common/DosDate.h"
#include "fakes/FakeCanvas.h"
#include "slideshow/PageCache.h"

namespace lum {
namespace {

constexpr const char* kSection = "Software\\Orvane\\Lumenary";
// A 1920 x 1080 monitor and, right of it, a 1280 x 1024 one.
const std::vector<TRect> kMonitors{{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};

class TryWindowTest : public ::testing::Test, protected testing::TDisplayFormRig {
  protected:
    TryWindowTest() {
        Registry.PutValue(std::string(kSection) + "\\URLList", "1",
                          TRegValue{RegType::String, "https://1/"});
        Registry.PutValue(kSection, "EnableScroll", TRegValue{RegType::String, "1"});
    }
    TSlideShowForm& Start(const TRect& bounds, std::vector<TRect> monitors = kMonitors) {
        TFormWindowStyle style;
        style.Bounds = bounds;
        FForm = std::make_unique<TSlideShowForm>(Services, style);
        FForm->SetTryWindowMonitors(std::move(monitors));
        FForm->StartRun();
        return *FForm;
    }
    void PutPage(std::int32_t width, std::int32_t height) {
        TBmpImage image;
        std::vector<std::uint8_t> rows(std::size_t(width) * height * 4, 0x40);
        image.Width = width;
        image.Height = height;
        image.Rows = rows;
        fakes::TMemoryWriter writer;
        ASSERT_TRUE(WriteBmp(writer, image));
        Files.AddFile(GetCacheFileName(Files, 0), std::move(writer.Bytes),
                      PackDosDateTime(2026, 12, 7, 15, 10, 0));
        Files.CreateDirectory(GetCacheDir(Files));
        WritePageAddress(Files, GetCacheDir(Files), 0, "https://1/");
    }
    void Tick() {
        Clock.Tick += 1000;
        Window().Send(Msg::Timer, 1);
    }
    // The one picture a paint of the window at its present size draws.
    fakes::TFakeCanvas::TBitmapDraw Painted() {
        const TRect bounds = Window().Bounds();
        fakes::TFakeCanvas canvas(bounds.Width(), bounds.Height());
        Window().Canvas = &canvas;
        Window().Send(Msg::Paint);
        Window().Canvas = nullptr;
        EXPECT_EQ(canvas.Bitmaps.size(), 1u);
        return canvas.Bitmaps.empty() ? fakes::TFakeCanvas::TBitmapDraw{} : canvas.Bitmaps[0];
    }
    void TearDown() override {
        if (FForm)
            FForm->ReleaseRun();
        FForm.reset();
    }
    std::unique_ptr<TSlideShowForm> FForm;
};

TEST_F(TryWindowTest, PagesAreCapturedAtTheSizeOfTheMonitorTheWindowIsOn) {
    auto& form = Start({448, 156, 1472, 924});
    EXPECT_EQ(form.Width(), 1920);
    EXPECT_EQ(form.Height(), 1080);
    ASSERT_NE(Web, nullptr);
    EXPECT_EQ(Web->ViewSize, (TSize{1920, 1080})) << "the view, not the 1024 x 768 window";
    // Moved onto the other monitor: the next capture takes that one's size.
    Window().SetBounds({2000, 100, 3024, 868});
    EXPECT_EQ(form.Width(), 1280);
    EXPECT_EQ(form.Height(), 1024);
}

TEST_F(TryWindowTest, AWiderPictureIsScaledToTheWindowAndScrolledAsShown) {
    PutPage(1920, 2160);
    Start({0, 0, 1024, 768});
    // The tick that loads the picture takes the first step of a third of
    // the window's height; the last stops where the scaled picture's bottom
    // meets the window's (1152 - 768), and there it stays.
    Tick();
    auto drawn = Painted();
    EXPECT_EQ(drawn.Scaled, (TSize{1024, 1152}));
    EXPECT_EQ(drawn.X, 0);
    EXPECT_EQ(drawn.Y, -256);
    Tick();
    EXPECT_EQ(Painted().Y, -384);
    Tick();
    EXPECT_EQ(Painted().Y, -384);
}

TEST_F(TryWindowTest, TheScaleFollowsTheWindowAsItIsResized) {
    PutPage(1920, 1080);
    Start({0, 0, 1024, 768});
    Tick();
    EXPECT_EQ(Painted().Scaled, (TSize{1024, 576}));
    Window().SetBounds({0, 0, 512, 384});
    auto drawn = Painted();
    EXPECT_EQ(drawn.Scaled, (TSize{512, 288}));
    EXPECT_EQ(drawn.Y, CenterOffset(384, 288));
    EXPECT_EQ(FForm->Width(), 1920) << "the capture keeps the monitor's size";
}

TEST_F(TryWindowTest, ANarrowerPictureIsShownAtItsOwnSizeCentred) {
    PutPage(800, 600);
    Start({0, 0, 1024, 768});
    Tick();
    auto drawn = Painted();
    EXPECT_EQ(drawn.Scaled, (TSize{})) << "drawn at its own size";
    EXPECT_EQ(drawn.X, CenterOffset(1024, 800));
    EXPECT_EQ(drawn.Y, CenterOffset(768, 600));
}

// Without monitors there is no size to capture at but the window's: the
// form stays a plain form of its own size (the program then only shows).
TEST_F(TryWindowTest, NoMonitorsLeaveTheFormAsItWas) {
    PutPage(1920, 1080);
    auto& form = Start({0, 0, 1024, 768}, {});
    EXPECT_EQ(form.Width(), 1024);
    EXPECT_EQ(form.Height(), 768);
    Tick();
    EXPECT_EQ(form.SlideShow().FMonitorWidth, 0);
    EXPECT_EQ(Painted().Scaled, (TSize{})) << "no scaling, as before";
}

}  // namespace
}  // namespace lum
