// A page's options in the show and the capture, with the fake clock: its own
// show time and scroll, its days and hours (passed over outside them, a card
// when no page is shown, saying when the next one is), its minutes between
// captures (a pass takes only the pages that are due), and the local-time
// rules under them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "common/Forms.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeWebView.h"
#include "slideshow/PageSchedule.h"
#include "slideshow/PaintLayout.h"
#include "slideshow/SlideShow.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

TPageOptions Options(const std::string& line) {
    const TURLLine read = ParseURLLine("http://x/ " + line);
    EXPECT_TRUE(read.Problems.empty()) << line;
    return read.Options;
}

TLocalTime At(std::int32_t y, std::int32_t mo, std::int32_t d, std::int32_t h, std::int32_t mi) {
    return TLocalTime{y, mo, d, h, mi, 0};
}

TEST(PageSchedule, DaysAndTimesOfTheLocalCalendar) {
    EXPECT_EQ(DayOfWeek(At(2026, 12, 7, 0, 0)), 0);  // a Monday
    EXPECT_EQ(DayOfWeek(At(2026, 12, 13, 0, 0)), 6);
    EXPECT_EQ(DayOfWeek(At(2000, 2, 29, 0, 0)), 1);
    EXPECT_EQ(AddDays(At(2028, 2, 28, 9, 30), 1), At(2028, 2, 29, 9, 30));
    EXPECT_EQ(AddDays(At(2026, 12, 31, 23, 59), 1), At(2027, 1, 1, 23, 59));
    EXPECT_EQ(AddDays(At(2027, 3, 1, 0, 0), -1), At(2027, 2, 28, 0, 0));

    const TPageOptions office = Options("days=mon-fri hours=09:00-17:30");
    EXPECT_TRUE(ShownAt(office, At(2026, 12, 7, 9, 0)));
    EXPECT_FALSE(ShownAt(office, At(2026, 12, 7, 17, 30)));  // the end is not in it
    EXPECT_FALSE(ShownAt(office, At(2026, 12, 12, 10, 0)));  // Saturday
    const TPageOptions night = Options("hours=22:00-06:00 hours=12:00-13:00");
    EXPECT_TRUE(ShownAt(night, At(2026, 12, 7, 23, 0)));
    EXPECT_TRUE(ShownAt(night, At(2026, 12, 8, 5, 59)));
    EXPECT_TRUE(ShownAt(night, At(2026, 12, 8, 12, 30)));
    EXPECT_FALSE(ShownAt(night, At(2026, 12, 8, 6, 0)));
}

TEST(PageSchedule, NextShownTimeIsTheFirstStartOfADayOrARange) {
    const TPageOptions office = Options("days=mon-fri hours=09:00-17:00");
    // Friday evening: Monday morning.
    EXPECT_EQ(NextShownTime({office}, At(2026, 12, 11, 18, 0)), At(2026, 12, 14, 9, 0));
    // A weekend page without hours: Saturday's start.
    const TPageOptions weekend = Options("days=sat,sun");
    EXPECT_EQ(NextShownTime({office, weekend}, At(2026, 12, 11, 18, 0)), At(2026, 12, 12, 0, 0));
    // Over midnight: its start tonight.
    EXPECT_EQ(NextShownTime({Options("hours=22:00-06:00")}, At(2026, 12, 8, 7, 0)),
              At(2026, 12, 8, 22, 0));
    EXPECT_EQ(NextShownText(At(2026, 12, 14, 9, 5)), "月曜日 9:05");
    EXPECT_FALSE(NextShownTime({}, At(2026, 12, 8, 7, 0)));
    TPageOptions never;
    never.Days = 0;
    EXPECT_FALSE(NextShownTime({never}, At(2026, 12, 8, 7, 0)));
}

class PageOptionsShow : public ::testing::Test {
  protected:
    PageOptionsShow() : Show(Files, Clock) {
        Clock.Time = At(2026, 12, 7, 10, 0);  // Monday
        Show.FURLs = {"http://a/", "http://b/", "http://c/"};
        Show.FRefreshTime = 15;
        Show.FURLShowTime = 3;
        Show.FEnableScroll = true;
        Show.StartRun(Clock.Tick);
    }
    void Tick() {
        Clock.Tick += 1000;
        Show.TimerTimer(768);
    }
    // The pages on screen, one per tick.
    std::vector<std::int32_t> Ticks(int n) {
        std::vector<std::int32_t> pages;
        for (int i = 0; i < n; ++i) {
            Tick();
            pages.push_back(Show.FPageIndex);
        }
        return pages;
    }

    fakes::TFakeFileSystem Files;
    fakes::TFakeClock Clock;
    TSlideShow Show;
};

TEST_F(PageOptionsShow, EachPageKeepsItsOwnShowTime) {
    Show.FPageOptions = {Options("show=2"), Options("show=6"), {}};
    Show.FCapturing = false;  // no page waits for a capture
    // The length of each stay on a page, in ticks, in the order shown.
    std::vector<std::pair<std::int32_t, int>> stays;
    for (const std::int32_t page : Ticks(40)) {
        if (stays.empty() || stays.back().first != page)
            stays.emplace_back(page, 0);
        ++stays.back().second;
    }
    ASSERT_GE(stays.size(), 5u);
    // The first stay began before the first tick: from the second on, a
    // page with show=6 stays four ticks longer than one with show=2, one
    // at the run's 3 seconds one tick longer.
    std::map<std::int32_t, int> stay;
    for (std::size_t i = 1; i < 4; ++i)
        stay[stays[i].first] = stays[i].second;
    EXPECT_EQ(stay[1] - stay[0], 4);
    EXPECT_EQ(stay[2] - stay[0], 1);
}

TEST_F(PageOptionsShow, PagesOutsideTheirHoursArePassedOverAndACardSaysWhenTheNextComes) {
    Show.FPageOptions = {Options("hours=09:00-10:30"), Options("hours=12:00-13:00"),
                         Options("days=sat,sun")};
    const std::vector<std::int32_t> pages = Ticks(12);
    EXPECT_TRUE(std::all_of(pages.begin(), pages.end(), [](std::int32_t k) { return k == 0; }));
    Clock.Time = At(2026, 12, 7, 10, 30);  // page 0's hours are over
    Tick();
    EXPECT_TRUE(Show.FNoPageNow);
    ASSERT_TRUE(Show.FNextShown);
    EXPECT_EQ(*Show.FNextShown, At(2026, 12, 7, 12, 0));
    fakes::TFakeCanvas canvas(1024, 768);
    fakes::TFakeLocale locale;
    PaintDisplay(canvas, Show,
                 TPaintContext{TDisplayMode::dmNormal, 1024, 768, 0, 0xFFFFFF, "", Clock.Time},
                 locale);
    std::vector<std::string> texts;
    for (const auto& text : canvas.Texts)
        texts.push_back(text.Text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), kNoPageNowHeading), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "次のページは 月曜日 12:00 から表示します"),
              texts.end());
    Clock.Time = At(2026, 12, 7, 12, 0);
    Tick();
    EXPECT_FALSE(Show.FNoPageNow);
    EXPECT_EQ(Show.FPageIndex, 1);
}

TEST_F(PageOptionsShow, APageScrollsAsItsOwnOptionSays) {
    Files.CreateDirectory(Show.CacheDir());
    Show.FPageOptions = {Options("scroll=off")};
    Show.FURLs = {"http://a/"};
    Show.FBitmap = TPageBitmap(4, 3000);
    Tick();
    EXPECT_EQ(Show.FScrollPos, 0);
    Show.FEnableScroll = false;
    Show.FPageOptions = {Options("scroll=on")};
    Tick();
    EXPECT_GT(Show.FScrollPos, 0);
}

TEST_F(PageOptionsShow, APageIsDueForCaptureByItsOwnMinutesAndHours) {
    Show.FPageOptions = {Options("refresh=5"), {}, Options("hours=18:00-19:00")};
    EXPECT_EQ(Show.PassMinutes(), 5);
    EXPECT_TRUE(Show.CaptureDue(0));  // never tried in this run
    EXPECT_FALSE(Show.CaptureDue(2));
    Show.PageTried(0, "http://a/", nullptr);
    Show.PageTried(1, "http://b/", nullptr);
    Clock.Tick += 4 * 60000;
    EXPECT_FALSE(Show.CaptureDue(0));
    EXPECT_FALSE(Show.CaptureDue(1));
    Clock.Tick += 60000 - 20000;  // a pass a little early still takes it
    EXPECT_TRUE(Show.CaptureDue(0));
    EXPECT_FALSE(Show.CaptureDue(1));  // the run's 15 minutes
    Clock.Tick += 10 * 60000;
    EXPECT_TRUE(Show.CaptureDue(1));
    // Another address at that entry has not been tried.
    Show.PageTried(1, "http://b/", nullptr);
    Show.FURLs[1] = "http://other/";
    EXPECT_TRUE(Show.CaptureDue(1));
}

// The capture takes only the pages that are due, each scrolled as its own
// option says.
class TDueSource : public ICaptureSource {
  public:
    std::vector<std::string> List{"http://a/", "http://b/", "http://c/"};
    std::vector<bool> Due{true, false, true};
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 640; }
    std::int32_t Height() const override { return 480; }
    bool PageDue(std::int32_t k) const override { return Due[static_cast<std::size_t>(k)]; }
    bool PageScroll(std::int32_t k) const override { return k != 2; }
};

TEST(PageOptionsCapture, APassTakesOnlyThePagesThatAreDueEachScrolledAsItSays) {
    fakes::TFakeApplicationPlatform platform;
    TApplication application(platform);
    SetApplication(&application);
    fakes::TFakeFileSystem files;
    files.Folders.insert("C:\\C\\");
    TDueSource source;
    auto view = std::make_unique<fakes::TFakeWebView>();
    fakes::TFakeWebView* web = view.get();
    web->Pages["http://c/"] = fakes::TFakePage{640, 3000};
    TWorkingForm form(std::move(view), files, "C:\\C\\", source);
    form.StartCapture();
    web->Complete("about:blank");
    web->CompleteCurrent();
    web->CompleteCurrent();
    EXPECT_FALSE(form.Busy());
    EXPECT_EQ(std::count(web->Log.begin(), web->Log.end(), "navigate http://b/"), 0);
    EXPECT_EQ(files.Files.count("C:\\C\\1.bmp"), 0u);
    EXPECT_EQ(files.Files.count("C:\\C\\2.bmp"), 1u);
    EXPECT_NE(std::find(web->Log.begin(), web->Log.end(), "picture 640x480 view 640x480"),
              web->Log.end());
    SetApplication(nullptr);
}

}  // namespace
}  // namespace lum
