#include "common/DosDate.h"

namespace lum {

namespace {

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

bool ValidFields(int year, int month, int day, int hour, int minute, int second) {
    return InRange(year, 1980, 2107) && InRange(month, 1, 12) && InRange(day, 1, 31) &&
           InRange(hour, 0, 23) && InRange(minute, 0, 59) && InRange(second, 0, 59);
}

}  // namespace

std::int32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (!ValidFields(year, month, day, hour, minute, second))
        return -1;
    const std::uint32_t date =
        static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const std::uint32_t time =
        static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return static_cast<std::int32_t>((date << 16) | time);
}

bool UnpackDosDateTime(std::int32_t packed, TDosDateTime& result) {
    const std::uint32_t bits = static_cast<std::uint32_t>(packed);
    const TDosDateTime fields{
        static_cast<int>(bits >> 25) + 1980,   static_cast<int>((bits >> 21) & 0x0F),
        static_cast<int>((bits >> 16) & 0x1F), static_cast<int>((bits >> 11) & 0x1F),
        static_cast<int>((bits >> 5) & 0x3F),  static_cast<int>(bits & 0x1F) * 2};
    if (!ValidFields(fields.Year, fields.Month, fields.Day, fields.Hour, fields.Minute,
                     fields.Second)) {
        return false;
    }
    result = fields;
    return true;
}

}  // namespace lum
