// The integer text rule shared by the settings store, the colour texts and
// the command line: optional leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after a prefix; nothing may follow. The
// settings take "$" and "0x" as prefixes, the command line also a lone "x".
#pragma once

#include <cstdint>
#include <string_view>

namespace lum {

// The prefixes that introduce hexadecimal digits.
enum class THexPrefixes {
    DollarOr0x,   // "$", "0x": settings values and colour texts
    DollarXOr0x,  // "$", "x", "0x": window handles on the command line
};

// True and the value when text is such a number that fits in 32 bits.
// Hexadecimal takes up to 32 bits and reads as their signed value, so
// "$FF000000" is a negative number; decimal must lie within the signed range.
// The two-argument forms follow the command line ("$", "x" or "0x").
bool TryStrToInt(std::string_view text, std::int32_t& value);
bool TryStrToInt(std::string_view text, std::int32_t& value, THexPrefixes prefixes);

// The value, or def when the text is not such a number.
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);
std::int32_t StrToIntDef(std::string_view text, std::int32_t def, THexPrefixes prefixes);

}  // namespace lum
