// The system's tick count, keyboard state, local time and the user's date
// and time formats, for the slide show. A date the system cannot format is
// written numerically instead.
#pragma once

#include "platform/Clock.h"

namespace lum::win32 {

class TWin32Clock : public IClock {
  public:
    std::uint32_t TickCount() override;
    // The keyboard state of the calling (user-interface) thread.
    bool KeyHeld(std::uint32_t virtualKey) override;
    TLocalTime Now() override;
};

// The formats of LOCALE_USER_DEFAULT, read each time (the user may change them).
class TWin32Locale : public ILocale {
  public:
    std::string FormatShortDate(const TLocalTime& time) override;
    std::string FormatLongTime(const TLocalTime& time) override;
    std::string TimeSeparator() override;
};

}  // namespace lum::win32
