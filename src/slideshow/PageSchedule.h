// When a page of the list is shown and captured, by its options: the days of
// the week and the local times it is shown (outside them the show and the
// capture pass it over), the next time any page is shown again when none is
// now, and the minutes between captures of each page. Pure rules of local
// time; nothing here reads a clock or throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/WebView.h"
#include "settings/PageOptions.h"

namespace lum {

// The day of the week of a date: 0 Monday ... 6 Sunday.
std::int32_t DayOfWeek(const TLocalTime& time);
// The same time of day, days later (or earlier, for a negative count).
TLocalTime AddDays(const TLocalTime& time, std::int32_t days);

// Whether a page with these options is shown at this local time: its day is
// one of its days and the time is within one of its ranges of hours (a
// range over midnight included; a page without hours all day).
bool ShownAt(const TPageOptions& options, const TLocalTime& time);

// The first moment after time (to the minute) at which one of the pages is
// shown, looking a week ahead; none when no page is ever shown (every page's
// days empty, which the options cannot say) or the list is empty.
std::optional<TLocalTime> NextShownTime(const std::vector<TPageOptions>& pages,
                                        const TLocalTime& time);

// "月曜日 9:00": the day and time a card names for the next page.
std::string NextShownText(const TLocalTime& time);

// What a page's options ask of its capture.
TCaptureOptions CaptureOptionsOf(const TPageOptions& options);

// Minutes between two captures of a page: its own, else the run's.
std::int32_t RefreshMinutes(const TPageOptions& options, std::int32_t runMinutes);

}  // namespace lum
