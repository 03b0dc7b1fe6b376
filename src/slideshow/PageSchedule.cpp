#include "slideshow/PageSchedule.h"

#include <array>
#include <cstdio>

namespace lum {

namespace {

constexpr std::int32_t kMinutesPerDay = 24 * 60;
constexpr std::int32_t kDaysAhead = 8;  // a week, and the start of the day after it

constexpr std::array<const char*, 7> kDayNames = {"月曜日", "火曜日", "水曜日", "木曜日",
                                                  "金曜日", "土曜日", "日曜日"};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, TLocalTime& time) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp + (mp < 10 ? 3 : -9);
    time.Year = static_cast<std::int32_t>(yoe + era * 400 + (m <= 2));
    time.Month = static_cast<std::int32_t>(m);
    time.Day = static_cast<std::int32_t>(d);
}

bool WithinRange(const TTimeRange& range, std::int32_t minute) {
    if (range.From == range.To)
        return true;  // round the clock
    if (range.From < range.To)
        return minute >= range.From && minute < range.To;
    return minute >= range.From || minute < range.To;  // over midnight
}

TLocalTime AtMinute(const TLocalTime& day, std::int32_t minute) {
    TLocalTime time = day;
    time.Hour = minute / 60;
    time.Minute = minute % 60;
    time.Second = 0;
    return time;
}

bool Before(const TLocalTime& a, const TLocalTime& b) {
    const std::array<std::int32_t, 6> x{a.Year, a.Month, a.Day, a.Hour, a.Minute, a.Second};
    const std::array<std::int32_t, 6> y{b.Year, b.Month, b.Day, b.Hour, b.Minute, b.Second};
    return x < y;
}

}  // namespace

std::int32_t DayOfWeek(const TLocalTime& time) {
    // 1970-01-01 was a Thursday (3).
    const std::int64_t days = DaysFromCivil(time.Year, time.Month, time.Day);
    return static_cast<std::int32_t>(((days % 7) + 7 + 3) % 7);
}

TLocalTime AddDays(const TLocalTime& time, std::int32_t days) {
    TLocalTime moved = time;
    CivilFromDays(DaysFromCivil(time.Year, time.Month, time.Day) + days, moved);
    return moved;
}

bool ShownAt(const TPageOptions& options, const TLocalTime& time) {
    if (!(options.Days & (1u << DayOfWeek(time))))
        return false;
    if (options.Hours.empty())
        return true;
    const std::int32_t minute = time.Hour * 60 + time.Minute;
    for (const TTimeRange& range : options.Hours) {
        if (WithinRange(range, minute))
            return true;
    }
    return false;
}

// A page becomes shown at the start of a day or of one of its ranges: those
// are the only moments to look at.
std::optional<TLocalTime> NextShownTime(const std::vector<TPageOptions>& pages,
                                        const TLocalTime& time) {
    std::optional<TLocalTime> first;
    for (std::int32_t ahead = 0; ahead < kDaysAhead && !first; ++ahead) {
        const TLocalTime day = AddDays(time, ahead);
        for (const TPageOptions& page : pages) {
            std::vector<std::int32_t> starts{0};
            for (const TTimeRange& range : page.Hours)
                starts.push_back(range.From);
            for (const std::int32_t minute : starts) {
                const TLocalTime start = AtMinute(day, minute % kMinutesPerDay);
                if (Before(time, start) && ShownAt(page, start) &&
                    (!first || Before(start, *first)))
                    first = start;
            }
        }
    }
    return first;
}

std::string NextShownText(const TLocalTime& time) {
    char clock[16];
    std::snprintf(clock, sizeof clock, " %d:%02d", static_cast<int>(time.Hour),
                  static_cast<int>(time.Minute));
    std::string text = kDayNames[static_cast<std::size_t>(DayOfWeek(time))];
    text += clock;
    return text;
}

TCaptureOptions CaptureOptionsOf(const TPageOptions& options) {
    TCaptureOptions capture;
    capture.ZoomPercent = options.ZoomPercent.value_or(100);
    capture.WaitSeconds = options.WaitSeconds.value_or(0);
    capture.Hide = options.Hide;
    capture.Crop = options.Crop;
    for (const THeader& header : options.Headers)
        capture.Headers.emplace_back(header.Name, header.Value);
    return capture;
}

std::int32_t RefreshMinutes(const TPageOptions& options, std::int32_t runMinutes) {
    return options.RefreshMinutes.value_or(runMinutes);
}

}  // namespace lum
