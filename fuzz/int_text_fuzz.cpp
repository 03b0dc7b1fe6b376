// Fuzzes the integer text rule with arbitrary texts under both prefix sets.
// Every answer is compared with a plain reference reading of the rule, the
// forms that TryStrToInt accepts must print back to the same value, the
// leading blanks and the "x" prefix must behave as documented, and any
// 32-bit value must survive its decimal and "$" texts. Any other outcome
// aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "common/IntText.h"

namespace {

using lum::THexPrefixes;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The rule read literally: blanks, a sign, an optional prefix, then only
// digits of that base; decimal within the signed range, hexadecimal within
// 32 bits (its negation wraps).
std::optional<std::int32_t> Reference(std::string_view text, THexPrefixes prefixes) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos)
        return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    std::string_view rest = text.substr(i);
    bool hex = false;
    if (!rest.empty() && rest[0] == '$') {
        hex = true;
        rest.remove_prefix(1);
    } else if (prefixes == THexPrefixes::DollarXOr0x && !rest.empty() &&
               (rest[0] == 'x' || rest[0] == 'X')) {
        hex = true;
        rest.remove_prefix(1);
    } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        rest.remove_prefix(2);
    }
    if (rest.empty())
        return std::nullopt;
    for (char c : rest) {
        if (!(hex ? IsHexDigit(c) : IsDigit(c)))
            return std::nullopt;
    }
    const std::size_t significant = rest.find_first_not_of('0');
    rest = significant == std::string_view::npos ? std::string_view("0") : rest.substr(significant);
    if (rest.size() > (hex ? 8u : 10u))
        return std::nullopt;
    const std::uint64_t magnitude =
        std::strtoull(std::string(rest).c_str(), nullptr, hex ? 16 : 10);
    if (hex) {
        const std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return std::nullopt;
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> Parse(std::string_view text, THexPrefixes prefixes) {
    std::int32_t value = 0x5A5A5A5A;
    if (!lum::TryStrToInt(text, value, prefixes))
        return std::nullopt;
    return value;
}

// One text under one prefix set: the reference, the default forms, and
// what blanks in front and a character behind do.
void CheckText(std::string_view text, THexPrefixes prefixes) {
    const std::optional<std::int32_t> parsed = Parse(text, prefixes);
    Check(parsed == Reference(text, prefixes));
    Check(lum::StrToIntDef(text, 7, prefixes) == parsed.value_or(7));
    Check(lum::StrToIntDef(text, -7, prefixes) == parsed.value_or(-7));
    Check(Parse("   " + std::string(text), prefixes) == parsed);
    Check(!Parse(std::string(text) + " ", prefixes));
    if (!parsed)
        return;

    // An accepted decimal text is the value as std::to_string writes it,
    // give or take a "+" and leading zeros.
    std::string_view digits = text.substr(text.find_first_not_of(' '));
    const bool negative = digits[0] == '-';
    if (digits[0] == '+' || digits[0] == '-')
        digits.remove_prefix(1);
    if (IsDigit(digits[0]) && !(digits.size() > 1 && (digits[1] == 'x' || digits[1] == 'X'))) {
        std::string canonical(
            digits.substr(std::min(digits.find_first_not_of('0'), digits.size())));
        if (canonical.empty())
            canonical = "0";
        if (negative && canonical != "0")
            canonical = "-" + canonical;
        Check(std::to_string(*parsed) == canonical);
    }
}

// Any 32-bit value reads back from the texts that the store and the colour
// conversion write, and from the other forms the rule allows.
void CheckValue(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    char hex[16];
    std::snprintf(hex, sizeof hex, "$%08X", static_cast<unsigned>(bits));
    char lowerHex[16];
    std::snprintf(lowerHex, sizeof lowerHex, "0x%x", static_cast<unsigned>(bits));
    for (THexPrefixes prefixes : {THexPrefixes::DollarOr0x, THexPrefixes::DollarXOr0x}) {
        Check(Parse(std::to_string(value), prefixes) == value);
        Check(Parse(hex, prefixes) == value);
        Check(Parse(lowerHex, prefixes) == value);
        // A sign in front of hexadecimal negates within 32 bits.
        Check(Parse(std::string("-") + hex, prefixes) == static_cast<std::int32_t>(0u - bits));
    }
    Check(Parse(std::string("x") + (hex + 1), THexPrefixes::DollarXOr0x) == value);
    Check(!Parse(std::string("x") + (hex + 1), THexPrefixes::DollarOr0x));
    // A further digit that leaves the signed range is refused, and so is a
    // ninth significant hexadecimal digit.
    const std::int64_t wide = static_cast<std::int64_t>(value) * 10 + (value < 0 ? -9 : 9);
    if (wide < INT32_MIN || wide > INT32_MAX)
        Check(!Parse(std::to_string(wide), THexPrefixes::DollarOr0x));
    Check(!Parse(std::string(hex) + "0", THexPrefixes::DollarOr0x) || bits < 0x10000000u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckText(text, THexPrefixes::DollarOr0x);
    CheckText(text, THexPrefixes::DollarXOr0x);
    // The settings' prefixes accept a subset of the command line's, with
    // the same values: only a lone "x" makes the difference.
    const auto settings = Parse(text, THexPrefixes::DollarOr0x);
    const auto commandLine = Parse(text, THexPrefixes::DollarXOr0x);
    if (settings)
        Check(commandLine == settings);
    if (commandLine && !settings)
        Check(text.find_first_of("xX") != std::string_view::npos);
    std::int32_t value = 0;
    Check(lum::TryStrToInt(text, value) == commandLine.has_value());
    if (commandLine)
        Check(value == *commandLine);
    if (size >= 4) {
        std::memcpy(&value, data, 4);
        CheckValue(value);
    }
    return 0;
}
