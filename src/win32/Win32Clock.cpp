#include "win32/Win32Clock.h"

#include <windows.h>

#include <cstdio>

#include "win32/Strings.h"

namespace lum::win32 {

namespace {

constexpr int kFormatBuffer = 128;

// A SYSTEMTIME with its day of the week filled in; false for a date that
// does not exist (31 February), which the format functions would refuse.
bool ToSystemTime(const TLocalTime& time, SYSTEMTIME& result) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(time.Year);
    st.wMonth = static_cast<WORD>(time.Month);
    st.wDay = static_cast<WORD>(time.Day);
    st.wHour = static_cast<WORD>(time.Hour);
    st.wMinute = static_cast<WORD>(time.Minute);
    st.wSecond = static_cast<WORD>(time.Second);
    FILETIME ft;
    // The round trip through FILETIME validates the fields and computes
    // wDayOfWeek, which a user's date format may show.
    return ::SystemTimeToFileTime(&st, &ft) && ::FileTimeToSystemTime(&ft, &result);
}

std::string Numeric(const char* format, int a, int b, int c) {
    char text[48];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

std::uint32_t TWin32Clock::TickCount() {
    return ::GetTickCount();
}

bool TWin32Clock::KeyHeld(std::uint32_t virtualKey) {
    return (::GetKeyState(static_cast<int>(virtualKey)) & 0x8000) != 0;
}

TLocalTime TWin32Clock::Now() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return TLocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string TWin32Locale::FormatShortDate(const TLocalTime& time) {
    SYSTEMTIME st;
    wchar_t text[kFormatBuffer];
    if (ToSystemTime(time, st) && ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st,
                                                   nullptr, text, kFormatBuffer) > 0) {
        return Narrow(text);
    }
    return Numeric("%04d/%02d/%02d", time.Year, time.Month, time.Day);
}

std::string TWin32Locale::FormatLongTime(const TLocalTime& time) {
    SYSTEMTIME st;
    wchar_t text[kFormatBuffer];
    if (ToSystemTime(time, st) &&
        ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, kFormatBuffer) > 0) {
        return Narrow(text);
    }
    return Numeric("%02d:%02d:%02d", time.Hour, time.Minute, time.Second);
}

std::string TWin32Locale::TimeSeparator() {
    wchar_t text[16];
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, text, 16) > 1)
        return Narrow(text);
    return ":";
}

}  // namespace lum::win32
