// A clock, keyboard and locale for the portable tests: the tick count, the
// keys held and the local time are plain fields; the locale writes dates as
// "2026/12/07" and times as "15:04:05" with a settable separator.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "platform/Clock.h"

namespace lum::fakes {

class TFakeClock : public IClock {
  public:
    std::uint32_t Tick = 0;
    std::set<std::uint32_t> Held;  // virtual-key codes held down
    TLocalTime Time{2026, 12, 7, 15, 4, 5};

    std::uint32_t TickCount() override { return Tick; }
    bool KeyHeld(std::uint32_t virtualKey) override { return Held.count(virtualKey) != 0; }
    TLocalTime Now() override { return Time; }
};

class TFakeLocale : public ILocale {
  public:
    std::string Separator = ":";

    std::string FormatShortDate(const TLocalTime& t) override {
        char text[48];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d", int(t.Year), int(t.Month), int(t.Day));
        return text;
    }
    std::string FormatLongTime(const TLocalTime& t) override {
        char text[48];
        std::snprintf(text, sizeof text, "%02d%s%02d%s%02d", int(t.Hour), Separator.c_str(),
                      int(t.Minute), Separator.c_str(), int(t.Second));
        return text;
    }
    std::string TimeSeparator() override { return Separator; }
};

}  // namespace lum::fakes
