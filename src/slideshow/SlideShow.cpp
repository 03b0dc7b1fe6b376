#include "slideshow/SlideShow.h"

#include <algorithm>
#include <exception>

#include "common/DosDate.h"
#include "platform/Types.h"
#include "slideshow/MonitorLayout.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"

namespace lum {

namespace {

constexpr std::uint32_t kMillisecondsPerMinute = 60000;

}  // namespace

TSlideShow::TSlideShow(IFileSystem& fileSystem, IClock& clock)
    : FFileSystem(fileSystem), FClock(clock), FCacheDir(GetCacheDir(fileSystem)) {}

void TSlideShow::StartRun(std::uint32_t tickNow) {
    ScheduleRefresh(tickNow);
    const TLocalTime now = FClock.Now();
    FRunStartDate = PackDosDateTime(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);
}

void TSlideShow::ScheduleRefresh(std::uint32_t tickNow) {
    // Settings are used unclamped: a negative time wraps like any 32-bit sum.
    FNextRefreshTick = tickNow + static_cast<std::uint32_t>(FRefreshTime) * kMillisecondsPerMinute;
}

void TSlideShow::LoadPage(std::int32_t k) {
    FPageIndex = k;
    FScrollPos = 0;
    FTimerTag = 0;
    FFileDate = 0;
    FFailed = false;

    const std::string path = GetCacheFileName(FCacheDir, k);
    const std::int32_t date = FFileSystem.FileDate(path);
    FCardPictureDate = date;
    auto reader = date == -1 ? nullptr : FFileSystem.OpenRead(path);
    if (!reader) {
        FBitmap.Clear();
        return LoadFailure(k);
    }
    // Decoded straight into the memory of the picture on screen, which is
    // reused when it is large enough and released first when it is not, so
    // a page is held once and two large pages are never held together.
    try {
        ReadBmp(*reader, FBitmap);
    } catch (const std::exception&) {
        // A file that is not a readable bitmap is treated like a missing one:
        // the loading text stays and the next tick tries again, without a
        // report that would repeat every second.
        FBitmap.Clear();
        return LoadFailure(k);
    }
    if (!FBitmap.Empty())
        FFileDate = date;
    else
        LoadFailure(k);
}

// A page without a picture whose capture failed in this run shows its card;
// a record of an earlier run (or one without a date) does not count.
void TSlideShow::LoadFailure(std::int32_t k) {
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

void TSlideShow::Advance() {
    const auto last = static_cast<std::int64_t>(FURLs.size()) - 1;
    LoadPage(FPageIndex < last ? FPageIndex + 1 : 0);
}

bool TSlideShow::ScrollStep(std::int32_t formHeight) {
    if (FClock.KeyHeld(Vk::Z) || !FEnableScroll)
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

bool TSlideShow::TimerTimer(std::int32_t formHeight) {
    if (FClock.KeyHeld(Vk::X))
        return false;

    // Reload check: retry a page that waits for its capture, or pick up a
    // newer capture (of a page on screen, or of one whose card is shown: a
    // page file that did not change since the card came stays unread).
    const std::int32_t fileDate = FFileSystem.FileDate(GetCacheFileName(FCacheDir, FPageIndex));
    if (Waiting() && !FCapturing) {
        // Only what another run writes can end the wait: its picture, or
        // the record of its failure.
        if (fileDate > FCardPictureDate ||
            FFileSystem.FileDate(GetFailureFileName(FCacheDir, FPageIndex)) >= FRunStartDate)
            LoadPage(FPageIndex);
    } else if (Waiting() || fileDate > (FFailed ? FCardPictureDate : FFileDate)) {
        LoadPage(FPageIndex);
    }

    if (!ScrollStep(formHeight)) {
        if (FClock.KeyHeld(Vk::Z) || FTimerTag >= FURLShowTime) {
            Advance();
        } else {
            ++FTimerTag;
        }
    }
    return RefreshCheck();
}

}  // namespace lum
