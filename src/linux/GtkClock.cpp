#include "linux/GtkClock.h"

#include <glib.h>

#include <cstdio>
#include <ctime>

namespace lum::gtk {

std::uint32_t TGtkClock::TickCount() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(g_get_monotonic_time()) / 1000);
}

bool TGtkClock::KeyHeld(std::uint32_t virtualKey) {
    return FKeys.Held(virtualKey);
}

TLocalTime TGtkClock::Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return TLocalTime{1970, 1, 1, 0, 0, 0};
    return TLocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                      local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string TGtkLocale::FormatShortDate(const TLocalTime& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", static_cast<int>(time.Year),
                  static_cast<int>(time.Month), static_cast<int>(time.Day));
    return text;
}

std::string TGtkLocale::FormatLongTime(const TLocalTime& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(time.Hour),
                  static_cast<int>(time.Minute), static_cast<int>(time.Second));
    return text;
}

}  // namespace lum::gtk
