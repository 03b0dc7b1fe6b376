#include "slideshow/SlideShow.h"

#include <algorithm>
#include <exception>

#include "platform/Types.h"
#include "slideshow/PageCache.h"

namespace lum {

namespace {

constexpr std::uint32_t kMillisecondsPerMinute = 60000;

}  // namespace

TSlideShow::TSlideShow(IFileSystem& fileSystem, IClock& clock)
    : FFileSystem(fileSystem), FClock(clock), FCacheDir(GetCacheDir(fileSystem)) {}

void TSlideShow::StartRun(std::uint32_t tickNow) {
    // Settings are used unclamped: a negative time wraps like any 32-bit sum.
    FNextRefreshTick = tickNow + static_cast<std::uint32_t>(FRefreshTime) * kMillisecondsPerMinute;
}

void TSlideShow::LoadPage(std::int32_t k) {
    FPageIndex = k;
    FScrollPos = 0;
    FTimerTag = 0;
    FFileDate = 0;

    const std::string path = GetCacheFileName(FCacheDir, k);
    const std::int32_t date = FFileSystem.FileDate(path);
    auto reader = date == -1 ? nullptr : FFileSystem.OpenRead(path);
    if (!reader) {
        FBitmap.Clear();
        return;
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
        return;
    }
    if (!FBitmap.Empty())
        FFileDate = date;
}

void TSlideShow::Advance() {
    const auto last = static_cast<std::int64_t>(FURLs.size()) - 1;
    LoadPage(FPageIndex < last ? FPageIndex + 1 : 0);
}

bool TSlideShow::ScrollStep(std::int32_t formHeight) {
    if (FClock.KeyHeld(Vk::Z) || !FEnableScroll)
        return false;
    const std::int64_t rest = static_cast<std::int64_t>(FBitmap.Height()) - formHeight;
    if (rest <= FScrollPos)
        return false;
    // A form under three pixels tall still moves by one row, so a page can
    // never be stuck in its scroll phase.
    FScrollPos += std::max<std::int32_t>(formHeight / 3, 1);
    return true;
}

bool TSlideShow::RefreshCheck() {
    const std::uint32_t now = FClock.TickCount();
    // Plain unsigned comparison: a wrapped counter is not allowed for.
    if (now <= FNextRefreshTick)
        return false;
    StartRun(now);
    return true;
}

bool TSlideShow::TimerTimer(std::int32_t formHeight) {
    if (FClock.KeyHeld(Vk::X))
        return false;

    // Reload check: retry a page without picture, or pick up a newer capture.
    if (FBitmap.Empty() ||
        FFileSystem.FileDate(GetCacheFileName(FCacheDir, FPageIndex)) > FFileDate) {
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
