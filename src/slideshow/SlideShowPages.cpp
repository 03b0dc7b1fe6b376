// The slide show's pages by their options: which is shown now, which a
// capture pass takes, and the card of a time without any page.
#include <algorithm>

#include "slideshow/PageSchedule.h"
#include "slideshow/SlideShow.h"

namespace lum {

namespace {

const TPageOptions kDefaultOptions;

// A page tried this long before its minutes between captures are over is
// due all the same: its turn in a pass comes a little later or earlier
// than in the pass before.
constexpr std::uint32_t kRefreshSlackMs = 30000;

}  // namespace

void TSlideShow::SetPages(std::vector<std::string> urls, std::vector<TPageOptions> options) {
    FPageOptions = std::move(options);
    SetURLs(std::move(urls));
}

const TPageOptions& TSlideShow::OptionsOf(std::int32_t k) const {
    return k >= 0 && static_cast<std::size_t>(k) < FPageOptions.size()
               ? FPageOptions[static_cast<std::size_t>(k)]
               : kDefaultOptions;
}

bool TSlideShow::ShownNow(std::int32_t k, const TLocalTime& now) const {
    return ShownAt(OptionsOf(k), now);
}

void TSlideShow::NoPageNow(const TLocalTime& now) {
    FNoPageNow = true;
    std::vector<TPageOptions> pages;
    for (std::size_t k = 0; k < FURLs.size(); ++k)
        pages.push_back(OptionsOf(static_cast<std::int32_t>(k)));
    FNextShown = NextShownTime(pages, now);
    FBitmap.Clear();
    FFileDate = 0;
    FFailed = false;
    FOutOfMemory = false;
    FScrollPos = 0;
    FTimerTag = 0;
}

bool TSlideShow::CaptureDue(std::int32_t k) const {
    if (!ShownNow(k, FClock.Now()))
        return false;
    const auto index = static_cast<std::size_t>(k);
    if (k < 0 || index >= FNews.size() || FNews[index].Url.empty() || FNews[index].Url != URLOf(k))
        return true;  // not tried in this run (or tried at another address)
    const std::int32_t minutes = RefreshMinutes(OptionsOf(k), FRefreshTime);
    if (minutes <= 0)
        return true;
    const std::uint32_t waited = FClock.TickCount() - FNews[index].Tick;
    return std::uint64_t{waited} + kRefreshSlackMs >=
           std::uint64_t(static_cast<std::uint32_t>(minutes)) * kMillisecondsPerMinute;
}

// A run whose settings give a negative time keeps it as it is (it wraps,
// as it always did).
std::int32_t TSlideShow::PassMinutes() const {
    std::int32_t minutes = FRefreshTime;
    if (minutes < 0)
        return minutes;
    for (const TPageOptions& options : FPageOptions) {
        if (options.RefreshMinutes)
            minutes = std::min(minutes, *options.RefreshMinutes);
    }
    return minutes;
}

}  // namespace lum
