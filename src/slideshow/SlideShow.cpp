#include "slideshow/SlideShow.h"

#include <algorithm>
#include <exception>

#include "common/DosDate.h"
#include "platform/Types.h"
#include "slideshow/MonitorLayout.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"

namespace lum {

TSlideShow::TSlideShow(IFileSystem& fileSystem, IClock& clock)
    : FFileSystem(fileSystem), FClock(clock), FCacheDir(GetCacheDir(fileSystem)) {}

void TSlideShow::StartRun(std::uint32_t tickNow) {
    ScheduleRefresh(tickNow);
    const TLocalTime now = FClock.Now();
    FRunStartDate = PackDosDateTime(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);
    FNews.clear();
}

void TSlideShow::ScheduleRefresh(std::uint32_t tickNow) {
    // Settings are used unclamped: a negative time wraps like any 32-bit sum.
    FNextRefreshTick = tickNow + static_cast<std::uint32_t>(PassMinutes()) * kMillisecondsPerMinute;
}

std::string TSlideShow::URLOf(std::int32_t k) const {
    return k >= 0 && static_cast<std::size_t>(k) < FURLs.size() ? FURLs[static_cast<std::size_t>(k)]
                                                                : std::string();
}

void TSlideShow::LoadPage(std::int32_t k) {
    FPageIndex = k;
    FNoPageNow = false;
    FScrollPos = 0;
    FTimerTag = 0;
    FFileDate = 0;
    FFailed = false;
    FOutOfMemory = false;

    const std::string path = GetCacheFileName(FCacheDir, k);
    const std::int32_t date = FFileSystem.FileDate(path);
    FCardPictureDate = date;
    // A picture is shown only under the address it was captured from.
    auto reader = date == -1 || !PageAddressIs(FFileSystem, FCacheDir, k, URLOf(k))
                      ? nullptr
                      : FFileSystem.OpenRead(path);
    if (!reader) {
        FBitmap.Clear();
        return LoadFailure(k);
    }
    // Decoded straight into the memory of the picture on screen, which is
    // reused when it is large enough and released first when it is not, so
    // a page is held once and two large pages are never held together.
    try {
        ReadBmp(*reader, FBitmap);
    } catch (const std::exception& e) {
        FBitmap.Clear();
        // A picture too large for the memory left (a 32-bit process, a
        // picture per monitor) would fail again at every tick: its card
        // shows instead, and the show moves on after the show time.
        if (IsOutOfMemory(e)) {
            FOutOfMemory = true;
            FOutOfMemoryDetail = e.what();
            return;
        }
        // A file that is not a readable bitmap is treated like a missing one:
        // the loading text stays and the next tick tries again, without a
        // report that would repeat every second.
        return LoadFailure(k);
    }
    if (!FBitmap.Empty())
        FFileDate = date;
    else
        LoadFailure(k);
}

void TSlideShow::SetURLs(std::vector<std::string> urls) {
    const std::string shown = URLOf(FPageIndex);
    FURLs = std::move(urls);
    if (FNews.size() > FURLs.size())
        FNews.resize(FURLs.size());
    if (static_cast<std::size_t>(FPageIndex) >= FURLs.size())
        LoadPage(0);
    else if (URLOf(FPageIndex) != shown)
        LoadPage(FPageIndex);
}

void TSlideShow::PageTried(std::int32_t k, const std::string& url, const TPageFailure* failure) {
    if (k < 0 || static_cast<std::size_t>(k) >= FURLs.size())
        return;
    if (FNews.size() <= static_cast<std::size_t>(k))
        FNews.resize(static_cast<std::size_t>(k) + 1);
    TPageNews& news = FNews[static_cast<std::size_t>(k)];
    news.Url = url;
    news.Failed = failure != nullptr;
    news.Failure = failure ? *failure : TPageFailure();
    const TLocalTime now = FClock.Now();
    news.Date = PackDosDateTime(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);
    news.Tick = FClock.TickCount();
}

// A page without a picture whose capture failed in this run shows its card.
// What this run's own capture said comes first, whatever the clock did
// since; a record file (another program's capture) counts when it is dated
// from the start of this run on.
void TSlideShow::LoadFailure(std::int32_t k) {
    if (static_cast<std::size_t>(k) < FNews.size() && !URLOf(k).empty() &&
        FNews[static_cast<std::size_t>(k)].Url == URLOf(k)) {
        const TPageNews& news = FNews[static_cast<std::size_t>(k)];
        if (news.Failed) {
            FFailed = true;
            FFailure = news.Failure;
            FFailureDate = news.Date;
        }
        return;
    }
    const std::string path = GetFailureFileName(FCacheDir, k);
    const std::int32_t date = FFileSystem.FileDate(path);
    if (date <= 0 || date < FRunStartDate)
        return;
    if (ReadFailureRecord(FFileSystem, path, FFailure)) {
        FFailed = true;
        FFailureDate = date;
    }
}

TSize TSlideShow::ShownSize() const {
    return ShownPictureSize(TSize{FBitmap.Width(), FBitmap.Height()}, FMonitorWidth);
}

// The next page shown at this time of day, the page on screen itself last;
// the card of none when every page is outside its days or hours.
void TSlideShow::Advance() {
    const auto count = static_cast<std::int64_t>(FURLs.size());
    if (count == 0)
        return LoadPage(0);
    const TLocalTime now = FClock.Now();
    for (std::int64_t step = 1; step <= count; ++step) {
        const auto k =
            static_cast<std::int32_t>((std::max<std::int64_t>(FPageIndex, -1) + step) % count);
        if (ShownNow(k, now))
            return LoadPage(k);
    }
    NoPageNow(now);
}

bool TSlideShow::ScrollStep(std::int32_t formHeight) {
    if (FClock.KeyHeld(Vk::Z) || !OptionsOf(FPageIndex).Scroll.value_or(FEnableScroll))
        return false;
    // The last step stops where the page's bottom meets the form's.
    const std::int64_t rest = static_cast<std::int64_t>(ShownSize().Height) - formHeight;
    if (rest <= 0 || rest <= FScrollPos)
        return false;
    // A form under three pixels tall still moves by one row, so a page can
    // never be stuck in its scroll phase.
    const std::int64_t next = std::int64_t{FScrollPos} + std::max<std::int32_t>(formHeight / 3, 1);
    FScrollPos = static_cast<std::int32_t>(std::min(next, rest));
    return true;
}

bool TSlideShow::RefreshCheck() {
    const std::uint32_t now = FClock.TickCount();
    // Plain unsigned comparison: a wrapped counter is not allowed for.
    if (now <= FNextRefreshTick)
        return false;
    ScheduleRefresh(now);
    return true;
}

// Reload check: retry a page that waits for its capture, or take up a new
// capture (of a page on screen, or of one whose card is shown: a page file
// that did not change since the card came stays unread, a picture that
// could not be held for lack of memory included). A file is new when
// its date differs from the one on screen: a clock set back does not hide
// a capture, and a file that went leaves the picture on screen.
void TSlideShow::ReloadCheck(std::int32_t formHeight) {
    const std::int32_t fileDate = FFileSystem.FileDate(GetCacheFileName(FCacheDir, FPageIndex));
    if (Waiting()) {
        // Only what another run writes can end the wait of a run that does
        // not capture now: its picture, or the record of its failure.
        if (!FCapturing && fileDate == FCardPictureDate &&
            FFileSystem.FileDate(GetFailureFileName(FCacheDir, FPageIndex)) < FRunStartDate)
            return;
        // The wait goes on counting while nothing came.
        const std::int32_t waited = FTimerTag;
        LoadPage(FPageIndex);
        if (Waiting())
            FTimerTag = waited;
        return;
    }
    const bool card = FFailed || FOutOfMemory;
    if (fileDate == -1 || fileDate == (card ? FCardPictureDate : FFileDate))
        return;
    if (card)
        return LoadPage(FPageIndex);
    TakeOverPicture(formHeight);
}

// A new picture of the page on screen takes the old one's place where the
// show stands: its show time and its scroll go on. (Restarting them would
// keep a page that is captured every pass on screen for ever, and a long
// page would never reach its end.)
void TSlideShow::TakeOverPicture(std::int32_t formHeight) {
    const std::int32_t scroll = FScrollPos;
    const std::int32_t shown = FTimerTag;
    LoadPage(FPageIndex);
    FTimerTag = shown;
    const std::int64_t rest = static_cast<std::int64_t>(ShownSize().Height) - formHeight;
    FScrollPos = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(scroll, 0, std::max<std::int64_t>(rest, 0)));
}

// Ticks the page on screen stays: its show time, and one capture's limits
// more while it waits for this run's capture (a page whose capture never
// comes, whatever the files say, is passed in the end).
std::int64_t TSlideShow::ShowTicks() const {
    const std::int64_t show = OptionsOf(FPageIndex).ShowSeconds.value_or(FURLShowTime);
    if (Waiting() && FCapturing)
        return show + kCaptureWaitTicks;
    return show;
}

bool TSlideShow::TimerTimer(std::int32_t formHeight) {
    if (FClock.KeyHeld(Vk::X))
        return false;
    // A page whose hours have ended goes at once; while no page is shown,
    // each tick looks for one that has begun.
    if (!FURLs.empty() && (FNoPageNow || !ShownNow(FPageIndex, FClock.Now()))) {
        Advance();
        if (FNoPageNow)
            return RefreshCheck();
    }
    ReloadCheck(formHeight);
    if (!ScrollStep(formHeight)) {
        if (FClock.KeyHeld(Vk::Z) || FTimerTag >= ShowTicks()) {
            Advance();
        } else {
            ++FTimerTag;
        }
    }
    return RefreshCheck();
}

}  // namespace lum
