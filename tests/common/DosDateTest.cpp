#include "common/DosDate.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(DosDate, PacksFieldsIntoTheirBits) {
    EXPECT_EQ(PackDosDateTime(1980, 1, 1, 0, 0, 0), 0x00210000);
    EXPECT_EQ(PackDosDateTime(2024, 5, 17, 13, 45, 31),
              ((2024 - 1980) << 25) | (5 << 21) | (17 << 16) | (13 << 11) | (45 << 5) | 15);
}

TEST(DosDate, TwoSecondsShareOnePackedValueAndLaterIsLarger) {
    EXPECT_EQ(PackDosDateTime(2024, 5, 17, 13, 45, 30), PackDosDateTime(2024, 5, 17, 13, 45, 31));
    EXPECT_LT(PackDosDateTime(2024, 5, 17, 13, 45, 31), PackDosDateTime(2024, 5, 17, 13, 45, 32));
    EXPECT_LT(PackDosDateTime(2024, 12, 31, 23, 59, 59), PackDosDateTime(2025, 1, 1, 0, 0, 0));
}

TEST(DosDate, ValuesOutsideTheLayoutGiveMinusOne) {
    EXPECT_EQ(PackDosDateTime(1979, 12, 31, 23, 59, 59), -1);
    EXPECT_EQ(PackDosDateTime(2108, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(PackDosDateTime(2024, 13, 1, 0, 0, 0), -1);
    EXPECT_EQ(PackDosDateTime(2024, 1, 0, 0, 0, 0), -1);
    EXPECT_EQ(PackDosDateTime(2024, 1, 1, 24, 0, 0), -1);
    EXPECT_EQ(PackDosDateTime(2024, 1, 1, 0, 60, 0), -1);
    EXPECT_NE(PackDosDateTime(2107, 12, 31, 23, 59, 58), -1);
}

TEST(DosDate, UnpackGivesTheFieldsBackAndRefusesMinusOne) {
    TDosDateTime fields;
    ASSERT_TRUE(UnpackDosDateTime(PackDosDateTime(2031, 7, 4, 9, 8, 7), fields));
    EXPECT_EQ(fields.Year, 2031);
    EXPECT_EQ(fields.Month, 7);
    EXPECT_EQ(fields.Day, 4);
    EXPECT_EQ(fields.Hour, 9);
    EXPECT_EQ(fields.Minute, 8);
    EXPECT_EQ(fields.Second, 6);
    EXPECT_FALSE(UnpackDosDateTime(-1, fields));
    EXPECT_FALSE(UnpackDosDateTime(0, fields));
}

}  // namespace
}  // namespace lum
