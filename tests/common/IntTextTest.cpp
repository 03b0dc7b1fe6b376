#include "common/IntText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace lum {
namespace {

std::optional<std::int32_t> Settings(std::string_view text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value, THexPrefixes::DollarOr0x))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> CommandLine(std::string_view text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        return std::nullopt;
    return value;
}

TEST(IntText, DecimalTakesLeadingBlanksAndOneSign) {
    EXPECT_EQ(Settings("5"), 5);
    EXPECT_EQ(Settings("   60"), 60);
    EXPECT_EQ(Settings("-1"), -1);
    EXPECT_EQ(Settings("+7"), 7);
    EXPECT_EQ(Settings("  -0012"), -12);
    EXPECT_EQ(Settings("000000000000000000000000042"), 42);
}

TEST(IntText, DecimalMustFitSigned32Bits) {
    EXPECT_EQ(Settings("2147483647"), 2147483647);
    EXPECT_EQ(Settings("-2147483648"), INT32_MIN);
    EXPECT_EQ(Settings("2147483648"), std::nullopt);
    EXPECT_EQ(Settings("-2147483649"), std::nullopt);
    EXPECT_EQ(Settings("99999999999999999999999999999999"), std::nullopt);
}

TEST(IntText, HexadecimalCoversAll32BitsAsSignedValue) {
    EXPECT_EQ(Settings("$FF"), 255);
    EXPECT_EQ(Settings("$000000ff"), 255);
    EXPECT_EQ(Settings("0x1f"), 31);
    EXPECT_EQ(Settings("0X1F"), 31);
    EXPECT_EQ(Settings("$FFFFFFFF"), -1);
    EXPECT_EQ(Settings("$FF00000F"), static_cast<std::int32_t>(0xFF00000Fu));
    EXPECT_EQ(Settings("-$1"), -1);
    EXPECT_EQ(Settings(" $10"), 16);
    EXPECT_EQ(Settings("$100000000"), std::nullopt);
}

TEST(IntText, LoneXIsHexOnlyOnTheCommandLine) {
    EXPECT_EQ(CommandLine("x10"), 16);
    EXPECT_EQ(CommandLine("X10"), 16);
    EXPECT_EQ(CommandLine("$10"), 16);
    EXPECT_EQ(CommandLine("0x10"), 16);
    EXPECT_EQ(Settings("x10"), std::nullopt);
    EXPECT_EQ(StrToIntDef("x10", 3, THexPrefixes::DollarOr0x), 3);
    EXPECT_EQ(StrToIntDef("x10", 3), 16);
}

TEST(IntText, AnythingElseIsNotANumber) {
    for (const char* text :
         {"",    " ",  "+",    "-",   "$",   "0x",  "x",   "abc", "12 ", "1 2",
          "\t5", "5a", "0x-1", "$-1", "- 5", "--5", "1.5", "1e3", "$G",  "0xx1"}) {
        EXPECT_EQ(Settings(text), std::nullopt) << '"' << text << '"';
        EXPECT_EQ(StrToIntDef(text, 77), 77) << '"' << text << '"';
    }
    EXPECT_EQ(Settings(std::string_view("1\0002", 3)), std::nullopt);
}

}  // namespace
}  // namespace lum
