#include "slideshow/MonitorLayout.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "common/AsciiText.h"

namespace lum {

namespace {

std::int64_t Area(const TRect& r) {
    return std::int64_t{r.Width()} * r.Height();
}

std::int64_t Overlap(const TRect& a, const TRect& b) {
    const std::int64_t w = std::int64_t{std::min(a.Right, b.Right)} - std::max(a.Left, b.Left);
    const std::int64_t h = std::int64_t{std::min(a.Bottom, b.Bottom)} - std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

// A coordinate past the 32-bit range stops at its end.
std::int32_t Clamped(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

TMonitorPages MonitorPagesFromText(std::string_view text) {
    return SameTextIgnoringCase(text, kMonitorPagesSame) ? TMonitorPages::mpSame
                                                         : TMonitorPages::mpDifferent;
}

std::vector<TRect> OrderedMonitors(std::vector<TRect> monitors) {
    std::erase_if(monitors, [](const TRect& r) { return r.Width() <= 0 || r.Height() <= 0; });
    std::sort(monitors.begin(), monitors.end(), [](const TRect& a, const TRect& b) {
        return std::tie(a.Left, a.Top, a.Right, a.Bottom) <
               std::tie(b.Left, b.Top, b.Right, b.Bottom);
    });
    return monitors;
}

std::int32_t MonitorOrdinal(const std::vector<TRect>& ordered, const TRect& window) {
    const std::int64_t cx = (std::int64_t{window.Left} + window.Right) / 2;
    const std::int64_t cy = (std::int64_t{window.Top} + window.Bottom) / 2;
    std::int32_t best = 0;
    std::int64_t bestOverlap = 0;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        const TRect& m = ordered[i];
        if (cx >= m.Left && cx < m.Right && cy >= m.Top && cy < m.Bottom)
            return static_cast<std::int32_t>(i);
        const std::int64_t overlap = Overlap(m, window);
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = static_cast<std::int32_t>(i);
        }
    }
    return best;
}

std::int32_t FirstPageOfMonitor(std::int32_t ordinal, std::int32_t pageCount, TMonitorPages mode) {
    if (mode == TMonitorPages::mpSame || pageCount <= 0 || ordinal <= 0)
        return 0;
    return ordinal % pageCount;
}

TSize CaptureSizeFor(const std::vector<TRect>& monitors) {
    TSize size;
    for (const TRect& m : OrderedMonitors(monitors)) {
        if (Area(m) > std::int64_t{size.Width} * size.Height)
            size = TSize{m.Width(), m.Height()};
    }
    return size;
}

TSize MonitorSizeOfWindow(const std::vector<TRect>& monitors, const TRect& window) {
    const std::vector<TRect> ordered = OrderedMonitors(monitors);
    if (ordered.empty())
        return TSize{};
    const TRect& on = ordered[static_cast<std::size_t>(MonitorOrdinal(ordered, window))];
    return TSize{on.Width(), on.Height()};
}

TRect CentredOnMonitor(const TRect& monitor, TSize size) {
    const std::int64_t left =
        monitor.Left + std::max<std::int64_t>((std::int64_t{monitor.Width()} - size.Width) / 2, 0);
    const std::int64_t top =
        monitor.Top + std::max<std::int64_t>((std::int64_t{monitor.Height()} - size.Height) / 2, 0);
    return TRect{Clamped(left), Clamped(top), Clamped(left + size.Width),
                 Clamped(top + size.Height)};
}

TSize ShownPictureSize(TSize picture, std::int32_t monitorWidth) {
    if (monitorWidth <= 0 || picture.Width <= monitorWidth)
        return picture;
    const std::int64_t height = std::int64_t{picture.Height} * monitorWidth / picture.Width;
    return TSize{monitorWidth, static_cast<std::int32_t>(std::max<std::int64_t>(height, 1))};
}

}  // namespace lum
