// A long run of the display form with every platform service faked: 100,000
// ticks driven by a seeded generator, with page files appearing, captured
// again, rewritten within the same date step, deleted and corrupted between
// ticks, capture passes completing, X and Z held at times, a repaint after
// every tick and several close requests refused by the password check. After
// every tick the slide show must be in one of its states (waiting,
// scrolling, dwelling, frozen) and hold the picture of the file that was
// current when it was loaded; at the end nothing may be left open or shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "DisplayFormRig.h"
#include "common/Bmp.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeWebView.h"
#include "slideshow/Main.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"
#include "slideshow/PaintLayout.h"

namespace lum {
namespace {

constexpr int kTicks = 100000;
constexpr std::int32_t kW = 64;
constexpr std::int32_t kH = 100;
constexpr std::int32_t kShowTime = 2;
constexpr std::uint32_t kWhite = 0;  // pattern of a page the capture wrote
const std::string kSection = "Software\\Orvane\\Lumenary";
// Entry 4 is never written by a capture: only files put there directly show.
const std::vector<std::string> kURLs = {"https://p0.example/", "https://p1.example/?a=1&b=2",
                                        "https://p2.example/", "https://p3.example/",
                                        "about:blank",         "https://p5.example/"};
const std::vector<int> kRefusedCloseTicks = {9000, 27000, 41000, 41001, 77000};

// What a page file holds, as far as the test knows: its picture is a
// pattern of seed (kWhite: all white), or the file cannot be decoded.
struct TVersion {
    int Id = 0;
    bool Valid = false;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint32_t Seed = kWhite;
    std::int32_t Date = 0;
};

std::uint32_t PatternPixel(std::uint32_t seed, std::int32_t x, std::int32_t y) {
    if (seed == kWhite)
        return 0x00FFFFFF;
    std::uint32_t h = seed * 0x9E3779B1u ^ static_cast<std::uint32_t>(x) * 0x85EBCA77u ^
                      static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & 0x00FFFFFF;
}

// The part of the slide show's state a tick may change.
struct TSnapshot {
    std::int32_t Page, Scroll, Tag, Date;
    const std::uint32_t* Pixels;
};

class SlideShowSoak : public ::testing::Test, protected testing::TDisplayFormRig {
  protected:
    std::mt19937 Random{20261207};
    std::map<std::int32_t, TVersion> Current;  // page -> its file now
    TVersion Shown;                            // what the display holds
    std::int32_t NextDate = 0x5A000000;
    int NextId = 1;
    int Loads = 0;
    int TicksOnPage = 0;             // unfrozen ticks since the picture was loaded
    bool TakenOver = false;          // a new picture took over the page on screen
    std::set<std::int32_t> Visited;  // pages shown with a picture
    std::size_t Completed = 0;       // navigations completed or superseded

    SlideShowSoak() {
        Host.Windows[Host.Desktop].Rect = TRect{0, 0, kW, kH};
        Host.NT = false;
        Host.UsePassword = true;
        Host.Libraries.insert("password.cpl");
        Host.Exports.insert("VerifyScreenSavePwd");
        Host.Verdicts.assign(kRefusedCloseTicks.size(), false);
        Host.Verdicts.push_back(true);
        Host.Line = "Lumenary.scr /s";
        Registry.PutValue(kSection, "URLShowTime", {RegType::String, std::to_string(kShowTime)});
        Registry.PutValue(kSection, "RefreshTime", {RegType::String, "1"});
        Registry.PutValue(kSection, "ShowURL", {RegType::String, "1"});
        Registry.PutValue(kSection, "ShowClock", {RegType::String, "1"});
        for (std::size_t i = 0; i < kURLs.size(); ++i)
            Registry.PutValue(kSection + "\\URLList", std::to_string(i + 1),
                              {RegType::String, kURLs[i]});
    }

    int Roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Random); }
    std::string PathOf(std::int32_t page) { return GetCacheFileName(Files, page); }
    std::int32_t RandomPage() { return Roll(static_cast<int>(kURLs.size()) + 1); }
    std::int32_t NewerDate() { return NextDate += 1 + Roll(3); }

    // A valid picture in 32 or 24 bits, shorter or taller than the form.
    void WritePage(std::int32_t page, std::int32_t date) {
        TVersion v{
            NextId++, true, 8 + Roll(90), 20 + Roll(290), static_cast<std::uint32_t>(Random()) | 1u,
            date};
        const std::uint16_t bits = Roll(2) ? 32 : 24;
        const std::uint32_t stride = BmpRowStride(v.Width, bits);
        std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * v.Height, 0);
        for (std::int32_t y = 0; y < v.Height; ++y) {
            std::uint8_t* row = rows.data() + static_cast<std::size_t>(v.Height - 1 - y) * stride;
            for (std::int32_t x = 0; x < v.Width; ++x) {
                const std::uint32_t p = PatternPixel(v.Seed, x, y);
                std::uint8_t* px = row + static_cast<std::size_t>(x) * (bits / 8);
                px[0] = p & 0xFF;
                px[1] = (p >> 8) & 0xFF;
                px[2] = (p >> 16) & 0xFF;
            }
        }
        TBmpImage image;
        image.Width = v.Width;
        image.Height = v.Height;
        image.BitsPerPixel = bits;
        image.Rows = rows;
        fakes::TMemoryWriter writer;
        ASSERT_TRUE(WriteBmp(writer, image));
        Files.AddFile(PathOf(page), std::move(writer.Bytes), date);
        Files.CreateDirectory(GetCacheDir(Files));
        if (static_cast<std::size_t>(page) < kURLs.size())
            WritePageAddress(Files, GetCacheDir(Files), page,
                             kURLs[static_cast<std::size_t>(page)]);
        Current[page] = v;
    }

    // Truncated, garbage, or a header that claims a huge picture.
    void CorruptPage(std::int32_t page) {
        const std::string path = PathOf(page);
        std::vector<std::uint8_t> bytes;
        const int kind = Roll(3);
        if (kind == 0 && Files.Files.count(path)) {
            bytes = Files.Files[path].Data;
            bytes.resize(bytes.empty() ? 0 : Roll(static_cast<int>(bytes.size())));
        } else if (kind == 1) {
            bytes.resize(Roll(200));
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(Random());
        } else {
            WritePage(page, 0);
            bytes = Files.Files[path].Data;
            const std::int32_t huge = 16000 + Roll(20000);
            std::memcpy(&bytes[18], &huge, 4);
            std::memcpy(&bytes[22], &huge, 4);
        }
        Files.AddFile(path, std::move(bytes), NewerDate());
        Current[page] = TVersion{NextId++, false, 0, 0, kWhite, Files.Files[path].Date};
    }

    void DeletePage(std::int32_t page) {
        Files.DeleteFile(PathOf(page));
        Current.erase(page);
    }

    // Completes the pending navigation; a capture writes its page in white.
    void CompleteNavigation() {
        const std::string url = Web->Navigations.back();
        Completed = Web->Navigations.size();  // an earlier pending one was superseded
        const std::int32_t page = Form->WorkingForm()->NextIndex() - 1;
        Web->Pages[url] = fakes::TFakePage{Roll(80), 4 + Roll(280), true};
        Files.NextDate = NewerDate();
        Web->CompleteCurrent();
        if (url == "about:blank" || page < 0)
            return;
        ASSERT_EQ(Files.FileDate(PathOf(page)), Files.NextDate);
        Current[page] = TVersion{NextId++,
                                 true,
                                 std::max(Web->Pages[url].ScrollWidth, kW),
                                 std::max(Web->Pages[url].ScrollHeight, kH),
                                 kWhite,
                                 Files.NextDate};
    }

    void Toggle(std::uint32_t key) {
        if (!Clock.Held.erase(key))
            Clock.Held.insert(key);
    }

    void RandomEvent() {
        const int r = Roll(1000);
        if (r < 30) {
            WritePage(RandomPage(), NewerDate());
        } else if (r < 35) {
            // Rewritten within the same date step as the file it replaces.
            const std::int32_t page = RandomPage();
            if (Current.count(page))
                WritePage(page, Current[page].Date);
        } else if (r < 45) {
            DeletePage(RandomPage());
        } else if (r < 55) {
            CorruptPage(RandomPage());
        } else if (r < 155) {
            if (Web->Navigations.size() > Completed)
                CompleteNavigation();
        }
        // X is held now and then for a few ticks, Z for a tick or two.
        if (Clock.Held.count(Vk::X) ? Roll(4) == 0 : Roll(100) == 0)
            Toggle(Vk::X);
        if (Clock.Held.count(Vk::Z) ? Roll(2) == 0 : Roll(100) == 0)
            Toggle(Vk::Z);
    }

    // Some pixels, spread by salt, or all of them.
    ::testing::AssertionResult Holds(const TPageBitmap& bitmap,
                                     const TVersion& v,
                                     int samples,
                                     std::uint32_t salt) {
        if (!v.Valid || bitmap.Width() != v.Width || bitmap.Height() != v.Height)
            return ::testing::AssertionFailure() << "size or validity differs";
        const std::int64_t count = std::int64_t{v.Width} * v.Height;
        for (std::int64_t i = 0; i < (samples ? samples : count); ++i) {
            const std::int64_t at = samples ? (salt + i * 7919) % count : i;
            const auto x = static_cast<std::int32_t>(at % v.Width);
            const auto y = static_cast<std::int32_t>(at / v.Width);
            if (bitmap.Pixel(x, y) != PatternPixel(v.Seed, x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
        }
        return ::testing::AssertionSuccess();
    }

    TSnapshot Snapshot() const;
    void Tick(int tick);
    void CheckState(const TSnapshot& before, bool frozen);
    void CheckPicture(const TSnapshot& before, int tick);
    void CheckPaint();
};

TSnapshot SlideShowSoak::Snapshot() const {
    const TSlideShow& s = Form->SlideShow();
    return TSnapshot{s.FPageIndex, s.FScrollPos, s.FTimerTag, s.FFileDate, s.FBitmap.Pixels()};
}

void SlideShowSoak::Tick(int tick) {
    const TSnapshot before = Snapshot();
    const bool frozen = Clock.Held.count(Vk::X) != 0;
    const int repaints = Window().Invalidations;
    Clock.Tick += 1000;
    Window().Send(Msg::Timer, 1);
    ASSERT_EQ(Window().Invalidations, repaints + 1) << "every tick repaints, frozen or not";
    CheckState(before, frozen);
    if (!HasFatalFailure() && !frozen)
        CheckPicture(before, tick);
    if (!HasFatalFailure())
        CheckPaint();
}

// The slide show is in one of its states: waiting (no picture), scrolling
// or dwelling (a picture, scrolled by thirds of the form at most a step
// past its end, counted only once scrolled), frozen (nothing moved).
void SlideShowSoak::CheckState(const TSnapshot& before, bool frozen) {
    const TSlideShow& s = Form->SlideShow();
    ASSERT_GE(s.FPageIndex, 0);
    ASSERT_LT(s.FPageIndex, static_cast<std::int32_t>(kURLs.size()));
    ASSERT_GE(s.FTimerTag, 0);
    // A page waits for its capture a bounded time, then shows its show time.
    ASSERT_LE(s.FTimerTag,
              s.FBitmap.Empty() ? kShowTime + TSlideShow::kCaptureWaitTicks : kShowTime);
    // A new picture of the page on screen takes over where the old one stood.
    if (s.FPageIndex != before.Page)
        TakenOver = false;
    else if (!s.FBitmap.Empty() && before.Date != 0 && s.FFileDate != before.Date)
        TakenOver = true;
    if (frozen) {
        const TSnapshot now = Snapshot();
        ASSERT_TRUE(now.Page == before.Page && now.Scroll == before.Scroll &&
                    now.Tag == before.Tag && now.Date == before.Date &&
                    now.Pixels == before.Pixels);
    }
    if (s.FBitmap.Empty()) {
        ASSERT_EQ(s.FFileDate, 0);
        ASSERT_EQ(s.FScrollPos, 0);
        return;
    }
    ASSERT_GT(s.FFileDate, 0);
    const std::int32_t bh = s.FBitmap.Height();
    ASSERT_GE(s.FScrollPos, 0);
    // Steps of a third, the last one to the page's end and never past it;
    // a page no taller than the form stays at the top.
    // (A picture taken over goes on from where the old one stood.)
    ASSERT_TRUE(TakenOver || s.FScrollPos % (kH / 3) == 0 || s.FScrollPos == bh - kH)
        << s.FScrollPos;
    ASSERT_TRUE(s.FScrollPos == 0 || s.FScrollPos <= bh - kH) << s.FScrollPos;
    ASSERT_TRUE(s.FScrollPos == 0 || bh > kH) << s.FScrollPos;
    if (s.FTimerTag > 0 && !TakenOver) {
        ASSERT_TRUE(bh - kH <= s.FScrollPos) << "counted before scrolled through";
    }
}

// The picture is that of the page's file as it is now, or, when the file
// has not become newer (or is gone), the one loaded before.
void SlideShowSoak::CheckPicture(const TSnapshot& before, int tick) {
    const TSlideShow& s = Form->SlideShow();
    auto it = Current.find(s.FPageIndex);
    const TVersion* file = it == Current.end() ? nullptr : &it->second;
    if (s.FBitmap.Empty()) {
        // (A card stays over a file rewritten within the date step it came in.)
        ASSERT_TRUE(!file || !file->Valid || (s.FFailed && file->Date == s.FCardPictureDate))
            << "a readable file is not shown";
        Shown = TVersion();
        return;
    }
    Visited.insert(s.FPageIndex);
    if (file && file->Valid && file->Date == s.FFileDate && file->Id != Shown.Id &&
        Holds(s.FBitmap, *file, 64, tick)) {
        Shown = *file;
        ++Loads;
        TicksOnPage = 0;
        return;
    }
    // A page is scrolled through and counted, then left: it cannot stay.
    TicksOnPage = s.FPageIndex == before.Page ? TicksOnPage + 1 : 0;
    const std::int32_t rest = s.FBitmap.Height() - kH;
    const int scrollTicks = rest <= 0 ? 0 : (rest + kH / 3 - 1) / (kH / 3);
    ASSERT_LE(TicksOnPage, scrollTicks + kShowTime + 1) << "the page does not move on";
    if (file && file->Id == Shown.Id && file->Date == s.FFileDate) {
        ASSERT_TRUE(Holds(s.FBitmap, Shown, tick % 1000 ? 8 : 0, tick));
        return;
    }
    // The earlier picture stays: same page, same date, nothing newer on disk.
    ASSERT_EQ(s.FPageIndex, before.Page);
    ASSERT_EQ(s.FFileDate, before.Date);
    ASSERT_TRUE(!file || file->Date <= s.FFileDate) << "a newer file is not picked up";
    ASSERT_TRUE(Holds(s.FBitmap, Shown, 8, tick));
}

// The repaint draws the picture where the layout puts it, or the loading
// text, and the URL line and the clock.
void SlideShowSoak::CheckPaint() {
    const TSlideShow& s = Form->SlideShow();
    fakes::TFakeCanvas canvas(kW, kH);
    Window().Canvas = &canvas;
    Window().Send(Msg::Paint);
    Window().Canvas = nullptr;
    ASSERT_EQ(canvas.TextAt(5, 5).rfind(kURLs[s.FPageIndex], 0), 0u);
    if (s.FBitmap.Empty() && s.FFailed) {
        // The card of a page the capture could not take ("about:blank").
        ASSERT_TRUE(canvas.Bitmaps.empty());
        ASSERT_EQ(canvas.Texts[0].Text, kFailedPageHeading);
        return;
    }
    ASSERT_EQ(canvas.Texts.size(), s.FBitmap.Empty() ? 3u : 2u);
    if (s.FBitmap.Empty()) {
        ASSERT_TRUE(canvas.Bitmaps.empty());
        ASSERT_EQ(canvas.Texts[0].Text, kLoadingText);
        return;
    }
    ASSERT_EQ(canvas.Bitmaps.size(), 1u);
    const std::int32_t bw = s.FBitmap.Width(), bh = s.FBitmap.Height();
    ASSERT_EQ(canvas.Bitmaps[0].X, std::max(CenterOffset(kW, bw), 0));
    ASSERT_EQ(canvas.Bitmaps[0].Y, bh < kH ? std::max(CenterOffset(kH, bh), 0) : -s.FScrollPos);
}

TEST_F(SlideShowSoak, HundredThousandTicksStayWithinTheStatesAndLeaveNothingBehind) {
    Form = std::make_unique<TScreenSaverDisplayForm>(Services);
    ASSERT_EQ(Form->Height(), kH);
    ASSERT_NE(Web, nullptr);
    std::size_t closes = 0;
    for (int tick = 1; tick <= kTicks; ++tick) {
        RandomEvent();
        if (HasFatalFailure())
            return;
        Tick(tick);
        if (HasFatalFailure())
            return;
        if (closes < kRefusedCloseTicks.size() && tick == kRefusedCloseTicks[closes]) {
            // The last refused one sees a tick and a second request arrive
            // while the password prompt is open.
            if (++closes == kRefusedCloseTicks.size()) {
                Host.DuringVerify = [this] {
                    Window().Send(Msg::Timer, 1);
                    Window().Send(Msg::Close);
                };
            }
            Window().Send(Msg::Close);
            Host.DuringVerify = nullptr;
            ASSERT_FALSE(Window().Destroyed);
            ASSERT_TRUE(Form->Timer->Enabled());
            ASSERT_NE(Form->WorkingForm(), nullptr);
            ASSERT_EQ(Form->SlideShow().FURLs, kURLs);
        }
    }
    EXPECT_EQ(closes, kRefusedCloseTicks.size());
    EXPECT_GT(Loads, kTicks / 20) << "pages were loaded along the way";
    EXPECT_GT(Web->Pictures, 100);
    EXPECT_EQ(Visited.size(), kURLs.size());

    Window().Send(Msg::Close);  // the verdict that passes
    EXPECT_TRUE(Window().Destroyed);
    EXPECT_TRUE(Host.Verdicts.empty());
    EXPECT_FALSE(Form->Timer->Enabled());
    EXPECT_TRUE(Form->SlideShow().FBitmap.Empty());
    EXPECT_TRUE(Form->SlideShow().FURLs.empty());
    AppPlatform.RunDeferred();  // the capture form goes, its web view with it
    Window().Send(Msg::Timer, 1);
    Form.reset();
    EXPECT_EQ(Registry.OpenHandleCount(), 0u);
    EXPECT_TRUE(AppPlatform.Reports.empty());
}

}  // namespace
}  // namespace lum
