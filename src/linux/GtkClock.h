// The clock, keyboard and locale of the Linux program: the monotonic clock
// in milliseconds, the keys held in the program's windows, the local time,
// and dates and times written as "2026/12/07" and "12:34:56". Nothing fails.
#pragma once

#include "linux/GtkFormWindow.h"
#include "platform/Clock.h"

namespace lum::gtk {

class TGtkClock : public IClock {
  public:
    explicit TGtkClock(const TKeyboardState& keys) : FKeys(keys) {}
    // Milliseconds of the monotonic clock, wrapping at 2^32.
    std::uint32_t TickCount() override;
    // As the program's windows saw the key go down and up.
    bool KeyHeld(std::uint32_t virtualKey) override;
    TLocalTime Now() override;

  private:
    const TKeyboardState& FKeys;
};

class TGtkLocale : public ILocale {
  public:
    std::string FormatShortDate(const TLocalTime& time) override;
    std::string FormatLongTime(const TLocalTime& time) override;
    std::string TimeSeparator() override { return ":"; }
};

}  // namespace lum::gtk
