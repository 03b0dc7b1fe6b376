#include "slideshow/SlideShow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/Bmp.h"
#include "common/DosDate.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"
#include "slideshow/PaintLayout.h"

namespace lum {
namespace {

constexpr std::int32_t kFormHeight = 768;

// A file system whose files can be listed by date but refuse to open.
class TLockedFileSystem : public fakes::TFakeFileSystem {
  public:
    int Opens = 0;
    bool RefuseOpen = false;
    std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
        ++Opens;
        return RefuseOpen ? nullptr : TFakeFileSystem::OpenRead(path);
    }
};

std::vector<std::uint8_t> BmpBytes(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * height * 4, 0x40);
    TBmpImage image;
    image.Width = width;
    image.Height = height;
    image.Rows = rows;
    fakes::TMemoryWriter writer;
    EXPECT_TRUE(WriteBmp(writer, image));
    return std::move(writer.Bytes);
}

class SlideShowTest : public ::testing::Test {
  protected:
    SlideShowTest() : Show(Files, Clock) {
        Show.FURLs = {"http://a/", "http://b/", "http://c/"};
        Show.FRefreshTime = 1;
        Show.FURLShowTime = 2;
        Show.FEnableScroll = true;
        Show.StartRun(Clock.Tick);
    }
    void PutPage(std::int32_t k, std::int32_t height, std::int32_t date, std::int32_t width = 4) {
        Files.AddFile(GetCacheFileName(Files, k), BmpBytes(width, height), date);
        Files.CreateDirectory(GetCacheDir(Files));
        WritePageAddress(Files, Show.CacheDir(), k, Show.FURLs[static_cast<std::size_t>(k)]);
    }
    // Ticks one second later each time; returns whether capture was asked.
    bool Tick() {
        Clock.Tick += 1000;
        return Show.TimerTimer(kFormHeight);
    }

    TLockedFileSystem Files;
    fakes::TFakeClock Clock;
    TSlideShow Show;
    const std::int32_t Date1 = PackDosDateTime(2026, 12, 7, 15, 4, 6);
    const std::int32_t Date2 = PackDosDateTime(2026, 12, 7, 15, 9, 30);
};

TEST_F(SlideShowTest, TallPageScrollsByThirdsToItsEndThenCountsItsShowTime) {
    PutPage(0, 100, Date1);
    PutPage(1, 1768, Date1);
    while (Show.FPageIndex != 1)
        Tick();
    std::vector<std::int32_t> positions{Show.FScrollPos};
    for (int i = 0; i < 4; ++i) {
        Tick();
        positions.push_back(Show.FScrollPos);
    }
    // The last step stops where the page's bottom meets the form's.
    EXPECT_EQ(positions, (std::vector<std::int32_t>{0, 256, 512, 768, 1000}));
    for (int i = 0; i < Show.FURLShowTime; ++i) {
        Tick();
        EXPECT_EQ(Show.FPageIndex, 1);
        EXPECT_EQ(Show.FScrollPos, 1000);
    }
    Tick();
    EXPECT_EQ(Show.FPageIndex, 2);
}

TEST_F(SlideShowTest, PageAsTallAsTheFormIsNotScrolledAndStaysShowTimePlusOneTicks) {
    PutPage(0, kFormHeight, Date1);
    Tick();  // loads page 0 and counts its first tick
    for (int i = 1; i <= Show.FURLShowTime; ++i) {
        EXPECT_EQ(Show.FPageIndex, 0);
        EXPECT_EQ(Show.FScrollPos, 0);
        Tick();
    }
    EXPECT_EQ(Show.FPageIndex, 1);
}

TEST_F(SlideShowTest, SingleURLIsLoadedAgainAfterEachShowTimeAndScrollsFromTheTop) {
    Show.FURLs = {"http://a/"};
    PutPage(0, 1000, Date1);
    Tick();
    EXPECT_EQ(Show.FScrollPos, 232);  // one step, to the page's end
    while (Show.FTimerTag < Show.FURLShowTime)
        Tick();
    const int opens = Files.Opens;
    Tick();
    EXPECT_EQ(Show.FPageIndex, 0);
    EXPECT_EQ(Show.FScrollPos, 0);
    EXPECT_EQ(Show.FTimerTag, 0);
    EXPECT_EQ(Files.Opens, opens + 2);  // its address, its picture
    Tick();
    EXPECT_EQ(Show.FScrollPos, 232);
}

TEST_F(SlideShowTest, ZeroShowTimeShowsAPageOneTickAndPassesMissingPagesOnePerTick) {
    Show.FCapturing = false;  // nothing of this run's own will come
    Show.FURLShowTime = 0;
    PutPage(1, 100, Date1);
    std::vector<std::int32_t> pages;
    for (int i = 0; i < 6; ++i) {
        Tick();
        pages.push_back(Show.FPageIndex);
    }
    EXPECT_EQ(pages, (std::vector<std::int32_t>{1, 2, 0, 1, 2, 0}));
}

TEST_F(SlideShowTest, MissingFileHoldsThePageUntilItAppears) {
    for (int i = 0; i < 5; ++i)
        Tick();
    EXPECT_EQ(Show.FPageIndex, 0);
    EXPECT_TRUE(Show.FBitmap.Empty());
    EXPECT_EQ(Show.FFileDate, 0);
    PutPage(0, 100, Date1);
    Tick();
    EXPECT_EQ(Show.FBitmap.Height(), 100);
    EXPECT_EQ(Show.FFileDate, Date1);
}

TEST_F(SlideShowTest, UndecodableFileCountsAsNoFileAndIsRetriedEachTick) {
    Files.AddFile(GetCacheFileName(Files, 0), {'B', 'M', 1, 2, 3}, Date1);
    auto truncated = BmpBytes(4, 100);
    truncated.resize(truncated.size() / 2);
    Files.AddFile(GetCacheFileName(Files, 1), truncated, Date1);
    Show.FURLShowTime = 0;
    for (int i = 0; i < 6; ++i) {
        EXPECT_NO_THROW(Tick());
        EXPECT_TRUE(Show.FBitmap.Empty());
        EXPECT_EQ(Show.FFileDate, 0);
    }
    Show.FURLShowTime = 5;
    Show.LoadPage(0);
    PutPage(0, 100, Date1);
    Tick();
    EXPECT_EQ(Show.FBitmap.Height(), 100);
}

TEST_F(SlideShowTest, FileThatCannotBeOpenedCountsAsNoFile) {
    PutPage(0, 100, Date1);
    Files.Opens = 0;
    Files.RefuseOpen = true;
    Tick();
    Tick();
    EXPECT_TRUE(Show.FBitmap.Empty());
    EXPECT_EQ(Show.FFileDate, 0);
    EXPECT_EQ(Files.Opens, 2);
    Files.RefuseOpen = false;
    Tick();
    EXPECT_EQ(Show.FFileDate, Date1);
}

TEST_F(SlideShowTest, RecaptureOnScreenIsShownWithTheNewDateWhereTheShowStands) {
    PutPage(0, 2000, Date1);
    Tick();
    Tick();
    ASSERT_EQ(Show.FScrollPos, 512);
    PutPage(0, 300, Date2);
    Tick();
    EXPECT_EQ(Show.FBitmap.Height(), 300);
    EXPECT_EQ(Show.FFileDate, Date2);
    EXPECT_EQ(Show.FScrollPos, 0);  // the shorter picture is not scrolled
    EXPECT_EQ(Show.FTimerTag, 1);   // its show time counted on by the same tick

    Show.FShowURL = true;
    fakes::TFakeCanvas canvas(1024, kFormHeight);
    fakes::TFakeLocale locale;
    TPaintContext context{TDisplayMode::dmNormal, 1024, kFormHeight, clBlack, clWhite, "", {}};
    PaintDisplay(canvas, Show, context, locale);
    EXPECT_EQ(canvas.TextAt(5, 5), "http://a/(2026/12/07 15:09:30付)");
}

TEST_F(SlideShowTest, RewriteWithinTheSameTwoSecondsIsNotSeenAsNewer) {
    PutPage(0, 2000, Date1);
    Tick();
    PutPage(0, 300, Date1);
    Tick();
    EXPECT_EQ(Show.FBitmap.Height(), 2000);
    EXPECT_EQ(Show.FScrollPos, 512);
}

TEST_F(SlideShowTest, DeletedFileLeavesThePictureOnScreen) {
    PutPage(0, 100, Date1);
    Tick();
    Files.DeleteFile(GetCacheFileName(Files, 0));
    Tick();
    EXPECT_EQ(Show.FBitmap.Height(), 100);
    EXPECT_EQ(Show.FFileDate, Date1);
}

TEST_F(SlideShowTest, HoldingXFreezesAllProgress) {
    PutPage(0, 2000, Date1);
    Tick();
    Clock.Held.insert(Vk::X);
    PutPage(0, 300, Date2);
    Clock.Tick += 10 * 60000;  // a capture pass is long overdue
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(Tick());
    EXPECT_EQ(Show.FScrollPos, 256);
    EXPECT_EQ(Show.FFileDate, Date1);
    EXPECT_EQ(Show.FTimerTag, 0);
    Clock.Held.erase(Vk::X);
    EXPECT_TRUE(Tick());
    EXPECT_EQ(Show.FFileDate, Date2);
}

TEST_F(SlideShowTest, HoldingZSkipsOnePageEachTickAndNeverScrolls) {
    for (int k = 0; k < 3; ++k)
        PutPage(k, 3000, Date1);
    Clock.Held.insert(Vk::Z);
    std::vector<std::int32_t> pages;
    for (int i = 0; i < 4; ++i) {
        Tick();
        pages.push_back(Show.FPageIndex);
        EXPECT_EQ(Show.FScrollPos, 0);
    }
    EXPECT_EQ(pages, (std::vector<std::int32_t>{1, 2, 0, 1}));
}

TEST_F(SlideShowTest, DisabledScrollingLeavesTallPagesAtTheTop) {
    Show.FEnableScroll = false;
    PutPage(0, 3000, Date1);
    Tick();
    EXPECT_EQ(Show.FScrollPos, 0);
    EXPECT_EQ(Show.FTimerTag, 1);
}

TEST_F(SlideShowTest, ZeroRefreshTimeAsksForCaptureEveryTick) {
    Show.FRefreshTime = 0;
    Show.StartRun(Clock.Tick);
    EXPECT_EQ(Show.FNextRefreshTick, Clock.Tick);
    EXPECT_FALSE(Show.TimerTimer(kFormHeight));  // not yet past
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Tick());
}

TEST_F(SlideShowTest, RefreshIsDueOnlyAfterTheRefreshTimeHasPassed) {
    Clock.Tick = 5000;
    Show.StartRun(Clock.Tick);
    EXPECT_EQ(Show.FNextRefreshTick, 65000u);
    Clock.Tick = 65000;
    EXPECT_FALSE(Show.TimerTimer(kFormHeight));
    Clock.Tick = 65001;
    EXPECT_TRUE(Show.TimerTimer(kFormHeight));
    EXPECT_EQ(Show.FNextRefreshTick, 125001u);
}

TEST_F(SlideShowTest, RefreshComparesTickCountsUnsigned) {
    Show.FRefreshTime = 60;
    Clock.Tick = 0x7FFFFFFFu - 3600000u;
    Show.StartRun(Clock.Tick);
    EXPECT_EQ(Show.FNextRefreshTick, 0x7FFFFFFFu);
    Clock.Tick = 0x80000001u;  // negative as a signed value, still later
    EXPECT_TRUE(Show.TimerTimer(kFormHeight));

    // The sum wraps in 32 bits; a counter about to wrap then asks at once.
    Clock.Tick = 0xFFFFFFF0u;
    Show.FRefreshTime = 1;
    Show.StartRun(Clock.Tick);
    EXPECT_EQ(Show.FNextRefreshTick, 60000u - 16u);
    EXPECT_TRUE(Show.TimerTimer(kFormHeight));
}

TEST_F(SlideShowTest, EmptyURLListAdvancesToPageZero) {
    Show.FURLs.clear();
    Show.FURLShowTime = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NO_THROW(Tick());
        EXPECT_EQ(Show.FPageIndex, 0);
    }
}

TEST_F(SlideShowTest, TinyFormStillScrollsToTheEnd) {
    PutPage(0, 40, Date1);
    std::int32_t highest = 0;
    for (int i = 0; i < 60; ++i) {
        Show.TimerTimer(2);
        highest = std::max(highest, Show.FScrollPos);
    }
    EXPECT_EQ(highest, 38);
    EXPECT_EQ(Show.FPageIndex, 1);
}

TEST_F(SlideShowTest, PageOfTheScreensHeightIsNotScrolledOneRowTallerIs) {
    // A page of one screen is captured at exactly the screen's size.
    PutPage(0, kFormHeight, Date1);
    PutPage(1, kFormHeight + 1, Date1);
    Tick();
    for (int i = 1; i <= Show.FURLShowTime; ++i) {
        EXPECT_EQ(Show.FScrollPos, 0);
        Tick();
    }
    ASSERT_EQ(Show.FPageIndex, 1);
    // One row more: one step, to the page's end (nothing of a page is cut).
    Tick();
    EXPECT_EQ(Show.FScrollPos, 1);
}

// Page 1 failed at 15:04:06, after the run started at 15:00:00.
class FailedPageTest : public SlideShowTest {
  protected:
    FailedPageTest() {
        Clock.Time = {2026, 12, 7, 15, 0, 0};
        Show.StartRun(Clock.Tick);
        PutPage(0, 100, Date1);
        PutPage(2, 100, Date1);
    }
    void PutFailure(std::int32_t k, const std::string& text, std::int32_t date) {
        Files.AddFile(GetFailureFileName(Show.CacheDir(), k),
                      std::vector<std::uint8_t>(text.begin(), text.end()), date);
    }
};

TEST_F(FailedPageTest, FailedPageShowsItsCardForTheShowTimeAndTheShowMovesOn) {
    PutFailure(1, "refused 0\nConnection refused\n", Date1);
    while (Show.FPageIndex != 1)
        Tick();
    EXPECT_TRUE(Show.FFailed);
    EXPECT_FALSE(Show.Waiting());
    EXPECT_EQ(Show.FFailure.Kind, TPageFailureKind::pfRefused);
    EXPECT_EQ(Show.FFailure.Detail, "Connection refused");
    EXPECT_EQ(Show.FFailureDate, Date1);
    EXPECT_EQ(Show.FFileDate, 0);
    for (int i = 0; i < Show.FURLShowTime; ++i) {
        Tick();
        EXPECT_EQ(Show.FPageIndex, 1);
    }
    Tick();
    EXPECT_EQ(Show.FPageIndex, 2);
}

TEST_F(FailedPageTest, UntriedPageWaitsUntilItsCaptureFails) {
    while (Show.FPageIndex != 1)
        Tick();
    for (int i = 0; i < 5; ++i)
        Tick();
    EXPECT_TRUE(Show.Waiting());
    EXPECT_EQ(Show.FPageIndex, 1);
    PutFailure(1, "no-answer 0\n\n", Date1);
    Tick();  // the card comes and its show time starts
    EXPECT_TRUE(Show.FFailed);
    for (int i = 0; i < Show.FURLShowTime; ++i)
        Tick();
    Tick();
    EXPECT_EQ(Show.FPageIndex, 2);
}

TEST_F(FailedPageTest, FailureOfAnEarlierRunIsNotShown) {
    PutFailure(1, "refused 0\n\n", PackDosDateTime(2026, 12, 7, 14, 59, 58));
    while (Show.FPageIndex != 1)
        Tick();
    for (int i = 0; i < 5; ++i)
        Tick();
    EXPECT_TRUE(Show.Waiting());
    EXPECT_EQ(Show.FPageIndex, 1);
}

TEST_F(FailedPageTest, FailedPageWithAnEarlierPictureShowsThePicture) {
    PutPage(1, 100, PackDosDateTime(2026, 12, 6, 9, 0, 0));
    PutFailure(1, "http-status 503\n\n", Date1);
    while (Show.FPageIndex != 1)
        Tick();
    EXPECT_FALSE(Show.FFailed);
    EXPECT_FALSE(Show.FBitmap.Empty());
    EXPECT_EQ(Show.FFileDate, PackDosDateTime(2026, 12, 6, 9, 0, 0));
}

TEST_F(FailedPageTest, PictureCapturedWhileTheCardIsShownReplacesIt) {
    PutFailure(1, "refused 0\n\n", Date1);
    while (Show.FPageIndex != 1)
        Tick();
    ASSERT_TRUE(Show.FFailed);
    Tick();
    const int opens = Files.Opens;
    Tick();
    EXPECT_EQ(Files.Opens, opens);  // a card is not read again every tick
    PutPage(1, 100, Date2);
    Tick();
    EXPECT_FALSE(Show.FFailed);
    EXPECT_EQ(Show.FFileDate, Date2);
    EXPECT_EQ(Show.FPageIndex, 1);
}

TEST_F(FailedPageTest, DamagedRecordsStillGiveACard) {
    for (const std::string& text :
         {std::string(), std::string("http-status 99999999999\n"), std::string(5000, 'x'),
          std::string("refused\0junk\n\xff\xfe", 15), std::string("\n\n\n")}) {
        PutFailure(1, text, Date1);
        Show.LoadPage(1);
        EXPECT_TRUE(Show.FFailed) << text.size();
        EXPECT_LE(Show.FFailure.Detail.size(), 300u);
        EXPECT_EQ(Show.FFailure.Detail.find('\n'), std::string::npos);
    }
}

// A record is a file anybody could have written: its detail reaches the card
// only as text. Bytes that are not UTF-8 (a lone continuation, an overlong
// form, a surrogate, a cut sequence) show as U+FFFD, control characters and
// the marks that turn the direction of text as blanks; text stays whole.
TEST_F(FailedPageTest, RecordsDetailReachesTheCardOnlyAsText) {
    const struct {
        std::string Detail;
        std::string Shown;
    } cases[] = {
        {"ページが見つかりません (404)", "ページが見つかりません (404)"},
        {"a\x1b[31mred\x7f\xc2\x85" "b", "a [31mred  b"},
        {"\x80x\xc0\xafy\xed\xa0\x80z\xe3\x81", "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBDy"
                                           "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"evil\xe2\x80\xaegnp.exe", "evil gnp.exe"},
        {"\xf4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        PutFailure(1, "other 0\n" + c.Detail + "\n", Date1);
        Show.LoadPage(1);
        ASSERT_TRUE(Show.FFailed);
        EXPECT_EQ(Show.FFailure.Detail, c.Shown) << c.Detail;
    }
}

TEST_F(FailedPageTest, HoldingZPassesWaitingPagesAndCards) {
    PutFailure(2, "refused 0\n\n", Date1);
    Files.Files.erase(GetCacheFileName(Files, 2));
    Clock.Held.insert(Vk::Z);
    std::vector<std::int32_t> pages;
    for (int i = 0; i < 4; ++i) {
        Tick();
        pages.push_back(Show.FPageIndex);
    }
    EXPECT_EQ(pages, (std::vector<std::int32_t>{1, 2, 0, 1}));
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

TEST_F(SlideShowTest, ScaledPictureScrollsToTheEndOfItsShownHeight) {
    Show.FMonitorWidth = 800;
    PutPage(0, 3000, Date1, 1040);  // shown 800 x 2307 on an 800-wide monitor
    std::int32_t last = -1;
    for (int i = 0; i < 12 && Show.FPageIndex == 0; ++i) {
        Tick();
        if (Show.FPageIndex == 0)
            last = Show.FScrollPos;
    }
    EXPECT_EQ(last, 2307 - kFormHeight);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// A run that only shows what another run captures (a second monitor's
// program, a trial window) has nothing of its own that would end a wait.
TEST_F(SlideShowTest, RunThatDoesNotCaptureShowsAMissingPageForItsShowTimeAndMovesOn) {
    Show.FCapturing = false;
    PutPage(1, 100, Date1);
    Tick();
    EXPECT_TRUE(Show.Waiting());
    for (int i = 1; i <= Show.FURLShowTime; ++i) {
        EXPECT_EQ(Show.FPageIndex, 0);
        Tick();
    }
    EXPECT_EQ(Show.FPageIndex, 1);
    // ... and still shows a picture that appears while it waits.
    Tick();
    Tick();
    Tick();
    ASSERT_EQ(Show.FPageIndex, 2);
    PutPage(2, 100, Date2);
    Tick();
    EXPECT_FALSE(Show.FBitmap.Empty());
    EXPECT_EQ(Show.FTimerTag, 1);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// What this run's capture tells the show decides, whatever the files and
// the clock say: a failure is shown though no record could be written and
// the clock was set back past the run's start; news of another address (an
// entry since edited) is not this page's.
TEST_F(FailedPageTest, TheCapturesOwnNewsShowsTheCardWhateverTheFilesAndTheClockSay) {
    while (Show.FPageIndex != 1)
        Tick();
    Clock.Time = {2026, 12, 7, 14, 0, 0};  // an hour back (NTP)
    const TPageFailure failure{TPageFailureKind::pfHttpStatus, 503, "Service Unavailable"};
    Show.PageTried(1, "http://old/", &failure);
    Tick();
    EXPECT_TRUE(Show.Waiting());
    Show.PageTried(1, "http://b/", &failure);
    Tick();
    ASSERT_TRUE(Show.FFailed);
    EXPECT_EQ(Show.FFailure.Status, 503);
    EXPECT_EQ(Show.FFailureDate, PackDosDateTime(2026, 12, 7, 14, 0, 0));
    // Out-of-range news is dropped, not stored.
    Show.PageTried(-1, "x", &failure);
    Show.PageTried(3, "x", &failure);
    Show.PageTried(1 << 30, "x", &failure);
}

// A page whose capture never comes (the capture is stuck on other pages,
// the cache was emptied, the file cannot be read) is passed after its show
// time and one capture's limits.
TEST_F(SlideShowTest, APageWaitsForItsCaptureABoundedTime) {
    PutPage(1, 100, Date1);
    int ticks = 0;
    while (Show.FPageIndex == 0 && ticks < 10000) {
        Tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, Show.FURLShowTime + TSlideShow::kCaptureWaitTicks + 1);
    EXPECT_FALSE(Show.FBitmap.Empty());
}

// With a reload interval of 0 every pass captures the page on screen anew:
// the new picture takes over where the show stands, so a long page scrolls
// on to its end and the show moves on to the next page.
TEST_F(SlideShowTest, PictureCapturedAgainTakesOverWithoutRestartingTheShow) {
    PutPage(0, 2000, Date1);
    std::vector<std::int32_t> scroll;
    std::int32_t date = Date1;
    for (int i = 0; i < 12 && Show.FPageIndex == 0; ++i) {
        Tick();
        scroll.push_back(Show.FScrollPos);
        PutPage(0, i < 3 ? 2000 : 1500, date += 1);  // every tick, a new capture
    }
    // By thirds to the end of the 2000-row pictures, back to the end of the
    // shorter one that took over, its show time, then the next page.
    EXPECT_EQ(Show.FPageIndex, 1);
    EXPECT_EQ(scroll, (std::vector<std::int32_t>{256, 512, 768, 1024, 732, 732, 0}));
}

// A picture is shown only under the address it was captured from: a list
// edited or read anew never shows one page's picture under another's URL.
TEST_F(SlideShowTest, PictureOfAnotherAddressIsNotShown) {
    PutPage(0, 100, Date1);
    Tick();
    ASSERT_FALSE(Show.FBitmap.Empty());
    Show.SetURLs({"http://a/", "http://new/", "http://c/"});  // page 0 kept
    EXPECT_FALSE(Show.FBitmap.Empty());
    Show.SetURLs({"http://z/", "http://new/"});  // page 0 edited
    EXPECT_TRUE(Show.Waiting());
    EXPECT_EQ(Show.FPageIndex, 0);
    PutPage(1, 100, Date1);  // captured from "http://new/"
    Show.LoadPage(1);
    Show.SetURLs({"http://z/"});  // page 1 went: the show starts again
    EXPECT_EQ(Show.FPageIndex, 0);
    EXPECT_TRUE(Show.Waiting());
    Show.SetURLs({});
    EXPECT_EQ(Show.FPageIndex, 0);
}

}  // namespace
}  // namespace lum
