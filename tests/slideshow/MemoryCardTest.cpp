// The display of a picture it cannot hold: the page's card says so for its
// show time instead of the loading text, the file is not read again every
// second, and a new capture of the page is tried at once.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <new>
#include <set>

#include "common/Bmp.h"
#include "common/DosDate.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "slideshow/PageCache.h"
#include "slideshow/PaintLayout.h"
#include "slideshow/SlideShow.h"

namespace lum {
namespace {

constexpr std::int32_t kFormHeight = 768;

// A reader of a page file whose pixels cannot be allocated: it fails as the
// decoder does when memory runs out.
class TNoMemoryReader : public IFileReader {
  public:
    explicit TNoMemoryReader(std::function<void()> fail) : FFail(std::move(fail)) {}
    std::uint64_t Size() override { return 1 << 20; }
    std::size_t Read(void*, std::size_t) override {
        FFail();
        return 0;
    }
    bool Seek(std::uint64_t) override { return true; }

  private:
    std::function<void()> FFail;
};

class TShortOfMemoryFiles : public fakes::TFakeFileSystem {
  public:
    std::set<std::string> NoMemoryFor;  // page files that cannot be held
    std::function<void()> Fail = [] { throw std::bad_alloc(); };
    std::map<std::string, int> Opens;
    std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
        ++Opens[path];
        if (NoMemoryFor.count(path))
            return std::make_unique<TNoMemoryReader>(Fail);
        return TFakeFileSystem::OpenRead(path);
    }
};

std::vector<std::uint8_t> BmpBytes(std::int32_t width, std::int32_t height) {
    TPageBitmap picture(width, height);
    fakes::TMemoryWriter writer;
    EXPECT_TRUE(WriteBmp(writer, picture));
    return std::move(writer.Bytes);
}

class MemoryCard : public ::testing::Test {
  protected:
    MemoryCard() : Show(Files, Clock) {
        Show.FURLs = {"http://a/", "http://b/"};
        Show.FRefreshTime = 60;
        Show.FURLShowTime = 2;
        Show.StartRun(Clock.Tick);
        Files.CreateDirectory(Show.CacheDir());
        PutPage(0, Date1);
        PutPage(1, Date1);
        Files.NoMemoryFor.insert(Page0());
    }
    std::string Page0() { return GetCacheFileName(Show.CacheDir(), 0); }
    void PutPage(std::int32_t k, std::int32_t date) {
        Files.AddFile(GetCacheFileName(Show.CacheDir(), k), BmpBytes(8, 6), date);
        WritePageAddress(Files, Show.CacheDir(), k, Show.FURLs[static_cast<std::size_t>(k)]);
    }
    void Tick() {
        Clock.Tick += 1000;
        Show.TimerTimer(kFormHeight);
    }
    fakes::TFakeCanvas Paint(fakes::TFakeCanvas canvas = fakes::TFakeCanvas(1024, 768)) {
        const TPaintContext context{TDisplayMode::dmNormal, 1024, 768, 0, 0xFFFFFF, "", Clock.Time};
        PaintDisplay(canvas, Show, context, Locale);
        return canvas;
    }
    std::vector<std::string> CardLines(const fakes::TFakeCanvas& canvas) {
        std::vector<std::string> lines;
        for (const auto& text : canvas.Texts)
            lines.push_back(text.Text);
        return lines;
    }

    TShortOfMemoryFiles Files;
    fakes::TFakeClock Clock;
    fakes::TFakeLocale Locale;
    TSlideShow Show;
    const std::int32_t Date1 = PackDosDateTime(2026, 12, 7, 15, 4, 6);
    const std::int32_t Date2 = PackDosDateTime(2026, 12, 7, 15, 9, 30);
};

TEST_F(MemoryCard, PageShowsItsCardForItsShowTimeThenTheShowMovesOn) {
    Show.LoadPage(0);
    EXPECT_TRUE(Show.FOutOfMemory);
    EXPECT_FALSE(Show.Waiting());
    EXPECT_TRUE(Show.FBitmap.Empty());
    const auto canvas = Paint();
    EXPECT_EQ(CardLines(canvas),
              (std::vector<std::string>{kOutOfMemoryHeading, "http://a/", "(std::bad_alloc)"}));
    EXPECT_TRUE(canvas.Bitmaps.empty());

    // A run that captures waits for a page without a picture beyond its show
    // time; a picture it cannot hold is no such page.
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(Show.FPageIndex, 0) << tick;
        Tick();
    }
    EXPECT_EQ(Show.FPageIndex, 1);
    EXPECT_FALSE(Show.FOutOfMemory);
    EXPECT_FALSE(Show.FBitmap.Empty());
    // Read once for the whole show time, not at every tick.
    EXPECT_EQ(Files.Opens[Page0()], 1);
}

TEST_F(MemoryCard, NewCaptureIsTriedAtOnceAndShownWhenItCanBeHeld) {
    Show.LoadPage(0);
    Tick();
    ASSERT_TRUE(Show.FOutOfMemory);
    // A new capture that cannot be held either: read once more, the card stays.
    Files.Files[Page0()].Date = Date2;
    Tick();
    EXPECT_TRUE(Show.FOutOfMemory);
    EXPECT_EQ(Files.Opens[Page0()], 2);
    Tick();
    EXPECT_EQ(Files.Opens[Page0()], 2);
    // One that can: the picture takes the card's place.
    Files.NoMemoryFor.clear();
    PutPage(0, Date1);
    Tick();
    EXPECT_FALSE(Show.FOutOfMemory);
    EXPECT_EQ(Show.FPageIndex, 0);
    EXPECT_EQ(Show.FBitmap.Width(), 8);
    EXPECT_EQ(Show.FFileDate, Date1);
    EXPECT_EQ(Paint().Bitmaps.size(), 1u);
}

// The decoder's own failure names the picture it could not hold; a page
// that comes round again is tried again, as memory may have been freed.
TEST_F(MemoryCard, CardSaysWhichPictureAndThePageIsTriedAgainWhenItComesRound) {
    Files.Fail = [] { throw OutOfMemory("not enough memory for a bitmap of 7680 x 8738 pixels"); };
    Show.LoadPage(0);
    EXPECT_EQ(CardLines(Paint()).back(), "(not enough memory for a bitmap of 7680 x 8738 pixels)");
    while (Show.FPageIndex == 0)
        Tick();
    while (Show.FPageIndex != 0)
        Tick();
    EXPECT_TRUE(Show.FOutOfMemory);
    EXPECT_EQ(Files.Opens[Page0()], 2);
}

// A file that is not a bitmap still waits for its capture: only a lack of
// memory makes a card of it.
TEST_F(MemoryCard, UnreadableFileStillWaitsForItsCapture) {
    Files.Fail = [] { throw Exception("bitmap file is truncated"); };
    Show.LoadPage(0);
    EXPECT_FALSE(Show.FOutOfMemory);
    EXPECT_TRUE(Show.Waiting());
    EXPECT_EQ(CardLines(Paint()), (std::vector<std::string>{kLoadingText}));
}

// Drawing a picture may need memory of its own (the part scaled down to a
// narrower monitor, or cut to one monitor of several): painting never fails,
// the card shows in the picture's place.
TEST_F(MemoryCard, PictureThatCannotBeDrawnLeavesTheCardAndPaintingGoesOn) {
    Files.NoMemoryFor.clear();
    Show.LoadPage(0);
    for (const std::int32_t monitorWidth : {0, 4}) {
        Show.FMonitorWidth = monitorWidth;
        fakes::TFakeCanvas canvas(1024, 768);
        canvas.OutOfMemoryOnDraw = true;
        const fakes::TFakeCanvas painted = Paint(std::move(canvas));
        EXPECT_EQ(CardLines(painted),
                  (std::vector<std::string>{kOutOfMemoryHeading, "http://a/",
                                            "(not enough memory for a part of the picture)"}))
            << monitorWidth;
    }
    EXPECT_FALSE(Show.FBitmap.Empty());  // the picture stays for the next paint
}

}  // namespace
}  // namespace lum
