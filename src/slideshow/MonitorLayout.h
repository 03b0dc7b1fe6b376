// The monitors a slide show covers and what each of them shows: a stable
// order (left to right, then top to bottom), the page each monitor starts
// at, the size pages are captured at (also for a window on one of them), and
// the size a picture is shown at on a monitor narrower than it. Plain
// functions; none of them fails.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Types.h"

namespace lum {

// Whether every monitor shows its own page or all show the same one.
enum class TMonitorPages { mpDifferent, mpSame };

// The setting's name beside the other settings, and its two texts.
inline constexpr const char* kMonitorPagesName = "MonitorPages";
inline constexpr const char* kMonitorPagesDifferent = "different";
inline constexpr const char* kMonitorPagesSame = "same";

// "same" in any letter case gives mpSame; anything else (absent, empty,
// misspelt) the default, mpDifferent.
TMonitorPages MonitorPagesFromText(std::string_view text);

// The monitors in their stable order: by left edge, then by top edge (then
// by size, so that the order never depends on how they were listed). Empty
// rectangles are left out.
std::vector<TRect> OrderedMonitors(std::vector<TRect> monitors);

// The position in ordered of the monitor a window is on: the one holding the
// window's centre, else the one it overlaps most; 0 when it is on none.
std::int32_t MonitorOrdinal(const std::vector<TRect>& ordered, const TRect& window);

// The page the monitor at ordinal starts at: page ordinal of the list (from
// the start again past its end) for mpDifferent, page 0 for mpSame.
std::int32_t FirstPageOfMonitor(std::int32_t ordinal, std::int32_t pageCount, TMonitorPages mode);

// The size pages are captured at: that of the largest monitor (by area; the
// first in order among equals); 0 x 0 without monitors.
TSize CaptureSizeFor(const std::vector<TRect>& monitors);

// The size pages are captured at for an ordinary window on the display: that
// of the monitor the window is on (MonitorOrdinal of the monitors in their
// order), never the window's own; 0 x 0 without monitors.
TSize MonitorSizeOfWindow(const std::vector<TRect>& monitors, const TRect& window);

// Bounds of a window of size centred on monitor; a window larger than the
// monitor keeps its top-left corner on it.
TRect CentredOnMonitor(const TRect& monitor, TSize size);

// The size a picture is shown at on a monitor monitorWidth pixels wide: its
// own when it fits the width, else scaled down to that width, keeping its
// proportions (at least one row).
TSize ShownPictureSize(TSize picture, std::int32_t monitorWidth);

}  // namespace lum
