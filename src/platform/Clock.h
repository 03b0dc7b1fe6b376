// What the slide show reads of the system at a timer tick or a repaint: the
// millisecond tick count, the keys held, the local time, and the user's
// locale formats for dates and times. None of these calls fails.
#pragma once

#include <cstdint>
#include <string>

namespace lum {

// A local date and time (month and day 1-based; hour 0-23).
struct TLocalTime {
    std::int32_t Year = 0;
    std::int32_t Month = 0;
    std::int32_t Day = 0;
    std::int32_t Hour = 0;
    std::int32_t Minute = 0;
    std::int32_t Second = 0;
    friend bool operator==(const TLocalTime&, const TLocalTime&) = default;
};

class IClock {
  public:
    virtual ~IClock() = default;
    // The system's millisecond counter since start, wrapping at 2^32.
    virtual std::uint32_t TickCount() = 0;
    // True while the key (a virtual-key code, e.g. Vk::X) is held down, as the
    // keyboard state of the user-interface thread reads now.
    virtual bool KeyHeld(std::uint32_t virtualKey) = 0;
    virtual TLocalTime Now() = 0;
};

// The user's date and time formats. A time the platform cannot format
// still yields a readable text (numeric fallback), never an exception.
class ILocale {
  public:
    virtual ~ILocale() = default;
    virtual std::string FormatShortDate(const TLocalTime& time) = 0;
    virtual std::string FormatLongTime(const TLocalTime& time) = 0;
    // The user's time separator, normally ":".
    virtual std::string TimeSeparator() = 0;
};

}  // namespace lum
