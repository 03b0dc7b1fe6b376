#include "linux/GtkKeys.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace lum::gtk {

namespace {

// Keys whose code cannot be derived from a character.
constexpr std::array<std::pair<guint, std::uint32_t>, 44> kKeys = {{
    {GDK_KEY_BackSpace, 0x08},    {GDK_KEY_Tab, 0x09},
    {GDK_KEY_ISO_Left_Tab, 0x09}, {GDK_KEY_Return, 0x0D},
    {GDK_KEY_KP_Enter, 0x0D},     {GDK_KEY_Shift_L, 0x10},
    {GDK_KEY_Shift_R, 0x10},      {GDK_KEY_Control_L, 0x11},
    {GDK_KEY_Control_R, 0x11},    {GDK_KEY_Alt_L, 0x12},
    {GDK_KEY_Alt_R, 0x12},        {GDK_KEY_Meta_L, 0x12},
    {GDK_KEY_Meta_R, 0x12},       {GDK_KEY_Pause, 0x13},
    {GDK_KEY_Caps_Lock, 0x14},    {GDK_KEY_Escape, 0x1B},
    {GDK_KEY_space, 0x20},        {GDK_KEY_Page_Up, 0x21},
    {GDK_KEY_Page_Down, 0x22},    {GDK_KEY_End, 0x23},
    {GDK_KEY_Home, 0x24},         {GDK_KEY_Left, 0x25},
    {GDK_KEY_Up, 0x26},           {GDK_KEY_Right, 0x27},
    {GDK_KEY_Down, 0x28},         {GDK_KEY_Print, 0x2C},
    {GDK_KEY_Insert, 0x2D},       {GDK_KEY_Delete, 0x2E},
    {GDK_KEY_Super_L, 0x5B},      {GDK_KEY_Super_R, 0x5C},
    {GDK_KEY_Menu, 0x5D},         {GDK_KEY_KP_Multiply, 0x6A},
    {GDK_KEY_KP_Add, 0x6B},       {GDK_KEY_KP_Subtract, 0x6D},
    {GDK_KEY_KP_Decimal, 0x6E},   {GDK_KEY_KP_Divide, 0x6F},
    {GDK_KEY_Num_Lock, 0x90},     {GDK_KEY_Scroll_Lock, 0x91},
    {GDK_KEY_Kanji, 0x19},        {GDK_KEY_Henkan, 0x1C},
    {GDK_KEY_Muhenkan, 0x1D},     {GDK_KEY_KP_Space, 0x20},
    {GDK_KEY_Sys_Req, 0x2C},      {GDK_KEY_Hiragana_Katakana, 0x15},
}};

}  // namespace

std::uint32_t VirtualKeyOf(guint keyval) {
    const guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= GDK_KEY_A && upper <= GDK_KEY_Z) || (upper >= GDK_KEY_0 && upper <= GDK_KEY_9))
        return upper;  // the Windows codes of letters and digits are their ASCII values
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9)
        return 0x60 + (keyval - GDK_KEY_KP_0);
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24)
        return 0x70 + (keyval - GDK_KEY_F1);
    for (const auto& [gdkKey, vk] : kKeys) {
        if (gdkKey == keyval)
            return vk;
    }
    return kVkOther;
}

std::uintptr_t MouseKeyFlags(GdkModifierType state) {
    std::uintptr_t flags = 0;
    if (state & GDK_BUTTON1_MASK)
        flags |= 0x0001;
    if (state & GDK_BUTTON3_MASK)
        flags |= 0x0002;
    if (state & GDK_SHIFT_MASK)
        flags |= 0x0004;
    if (state & GDK_CONTROL_MASK)
        flags |= 0x0008;
    if (state & GDK_BUTTON2_MASK)
        flags |= 0x0010;
    return flags;
}

std::intptr_t PackPoint(double x, double y) {
    // Clamped first: converting a double outside the int range is undefined.
    const auto clamp = [](double v) {
        return static_cast<std::int32_t>(std::clamp(std::floor(v), -32768.0, 32767.0));
    };
    const auto px = static_cast<std::uint16_t>(clamp(x));
    const auto py = static_cast<std::uint16_t>(clamp(y));
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(py) << 16) | px);
}

}  // namespace lum::gtk
