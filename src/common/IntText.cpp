#include "common/IntText.h"

namespace lum {

namespace {

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (!hex)
        return -1;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Skips a hexadecimal prefix at i; true when there was one.
bool SkipHexPrefix(std::string_view text, std::size_t& i, THexPrefixes prefixes) {
    if (i >= text.size())
        return false;
    if (text[i] == '$') {
        ++i;
        return true;
    }
    if (prefixes == THexPrefixes::DollarXOr0x && (text[i] == 'x' || text[i] == 'X')) {
        ++i;
        return true;
    }
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
        return true;
    }
    return false;
}

}  // namespace

bool TryStrToInt(std::string_view text, std::int32_t& value, THexPrefixes prefixes) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const bool hex = SkipHexPrefix(text, i, prefixes);
    if (i >= text.size())
        return false;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], hex);
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    if (hex) {
        // Hexadecimal covers the 32 bits: $FFFFFFFF is -1, -$1 is -1 too.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull)
        return false;
    const std::int64_t signedValue =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    return TryStrToInt(text, value, THexPrefixes::DollarXOr0x);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def, THexPrefixes prefixes) {
    std::int32_t value = 0;
    return TryStrToInt(text, value, prefixes) ? value : def;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
    return StrToIntDef(text, def, THexPrefixes::DollarXOr0x);
}

}  // namespace lum
