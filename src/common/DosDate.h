// Packed file dates: a local date and time as the signed 32-bit DOS
// date-time (two-second resolution) that page files are compared by. Values
// that the packing cannot hold give -1, the date of a missing file.
#pragma once

#include <cstdint>

namespace lum {

struct TDosDateTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;  // always even
};

// Bits 31-25 year - 1980, 24-21 month, 20-16 day, 15-11 hour, 10-5 minute,
// 4-0 second / 2. -1 for a year outside 1980..2107 or a field out of range.
std::int32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second);

// The fields of a packed date; false for -1 and for fields out of range.
bool UnpackDosDateTime(std::int32_t packed, TDosDateTime& result);

}  // namespace lum
