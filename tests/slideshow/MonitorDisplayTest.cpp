// The full-screen display form on several monitors: it covers the virtual
// screen, each monitor shows its own slide show in its own rectangle, pages
// are captured at the largest monitor's size; one monitor stays as always.
#include <gtest/gtest.h>

#include "DisplayFormRig.h"
#include "common/DosDate.h"
#include "fakes/FakeCanvas.h"
#include "slideshow/PageCache.h"
#include "slideshow/RegionCanvas.h"

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

// Three monitors: one left of and above the primary (negative coordinates),
// the primary, and a smaller one right of it.
const std::vector<TRect> kThree{{0, 0, 1024, 768}, {-1280, -1024, 0, 0}, {1024, 0, 1824, 600}};

TEST_F(MonitorDisplayTest, FormCoversTheVirtualScreenAndEachMonitorStartsAtItsOwnPage) {
    Host.MonitorRects = kThree;
    auto& form = Start();
    EXPECT_EQ(Window().Bounds(), (TRect{-1280, -1024, 1824, 768}));
    ASSERT_EQ(form.MonitorCount(), 3u);
    // In their order: upper left, primary, right.
    EXPECT_EQ(form.MonitorShow(0).FPageIndex, 0);
    EXPECT_EQ(form.MonitorShow(1).FPageIndex, 1);
    EXPECT_EQ(form.MonitorShow(2).FPageIndex, 2);
    EXPECT_EQ(form.MonitorShow(2).FMonitorWidth, 800);
    // Captured at the largest monitor's size.
    EXPECT_EQ(form.Width(), 1280);
    EXPECT_EQ(form.Height(), 1024);
    ASSERT_NE(Web, nullptr);
    EXPECT_EQ(Web->ViewSize, (TSize{1280, 1024}));
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
        for (std::size_t k = 1; k < 3; ++k)
            ASSERT_EQ(form.MonitorShow(k).FPageIndex, form.MonitorShow(0).FPageIndex) << tick;
    }
    EXPECT_NE(form.MonitorShow(0).FPageIndex, 0) << "the show moved on";
}

TEST_F(MonitorDisplayTest, EachMonitorPaintsItsPageCentredInItsOwnRectangle) {
    Host.MonitorRects = {{0, 0, 1024, 768}, {1024, 0, 1824, 600}};
    PutPage(0, 500, 300);
    PutPage(1, 1040, 400);  // wider than the right monitor: scaled to 800 x 307
    Start();
    Clock.Tick += 1000;
    Window().Send(Msg::Timer, 1);
    fakes::TFakeCanvas canvas(1824, 768);
    Window().Canvas = &canvas;
    Window().Send(Msg::Paint);
    ASSERT_EQ(canvas.Bitmaps.size(), 2u);
    EXPECT_EQ(canvas.Bitmaps[0].X, CenterOffset(1024, 500));
    EXPECT_EQ(canvas.Bitmaps[0].Y, CenterOffset(768, 300));
    // The scaled picture reaches the region canvas whole, cut to its
    // monitor by the region and drawn at the monitor's place.
    EXPECT_EQ(canvas.Bitmaps[1].X, 1024);
    EXPECT_EQ(canvas.Bitmaps[1].Y, CenterOffset(600, 307));
    EXPECT_EQ(canvas.Bitmaps[1].Bitmap->Width(), 800);
}

TEST_F(MonitorDisplayTest, OneMonitorKeepsThePrimaryScreenRule) {
    Host.MonitorRects = {{0, 0, 1920, 1080}};
    auto& form = Start();
    EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 1024, 768}));  // the desktop window's size
    EXPECT_EQ(form.MonitorCount(), 1u);
    EXPECT_EQ(form.Width(), 1024);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// Keeps a copy of what it is asked to draw (a region hands over parts that
// live only for the call).
class TCopyingCanvas : public fakes::TFakeCanvas {
  public:
    TCopyingCanvas() : TFakeCanvas(1824, 1536) {}
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override {
        Copies.push_back(bitmap);
        Places.push_back({x, y});
    }
    std::vector<TPageBitmap> Copies;
    std::vector<TPoint> Places;
};

TEST(RegionCanvas, TallPictureIsCutToItsMonitorAndFillsStayInside) {
    TCopyingCanvas canvas;
    TRegionCanvas upper(canvas, TRect{1024, 0, 1824, 768});
    TPageBitmap page(100, 2000);
    for (std::int32_t y = 0; y < 2000; ++y)
        page.Pixels()[std::size_t(y) * 100] = static_cast<std::uint32_t>(y);
    upper.DrawBitmap(page, 10, -500);  // scrolled: rows 500..1267 show
    ASSERT_EQ(canvas.Copies.size(), 1u);
    EXPECT_EQ(canvas.Places[0], (TPoint{1034, 0}));
    EXPECT_EQ(canvas.Copies[0].Width(), 100);
    ASSERT_EQ(canvas.Copies[0].Height(), 768);
    EXPECT_EQ(canvas.Copies[0].Pixels()[0], 500u);
    EXPECT_EQ(canvas.Copies[0].Pixels()[std::size_t(767) * 100], 1267u);
    upper.FillRect(TRect{-50, 700, 5000, 5000}, 0x123456);
    EXPECT_EQ(canvas.Fills.back().Rect, (TRect{1024, 700, 1824, 768}));
    upper.DrawBitmap(page, 0, 800);  // wholly below the monitor
    EXPECT_EQ(canvas.Copies.size(), 1u);
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
