#include "linux/GtkKeys.h"

#include <gtest/gtest.h>

#include "platform/Types.h"

namespace lum::gtk {
namespace {

TEST(GtkKeys, LettersGiveTheirUpperCaseCodeWhateverTheShiftState) {
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_x), Vk::X);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_X), Vk::X);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_z), Vk::Z);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_7), 0x37u);
}

TEST(GtkKeys, SpecialKeysGiveTheWindowsCodes) {
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Escape), Vk::Escape);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Tab), Vk::Tab);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Alt_L), Vk::Menu);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Print), Vk::Snapshot);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_F1), 0x70u);
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_KP_5), 0x65u);
    // A key with no code of its own still counts as a key.
    EXPECT_EQ(VirtualKeyOf(GDK_KEY_Hangul), kVkOther);
}

TEST(GtkKeys, MouseCoordinatesArePackedLikeMakeLParam) {
    EXPECT_EQ(PackPoint(3.7, 5.2), (5 << 16) | 3);
    EXPECT_EQ(static_cast<std::uint32_t>(PackPoint(-1, 2)), 0x0002FFFFu);
    EXPECT_EQ(static_cast<std::uint32_t>(PackPoint(1e300, -1e300)), 0x80007FFFu);
}

}  // namespace
}  // namespace lum::gtk
