// Key and mouse event values of GDK translated to the Windows values the
// portable forms read (virtual-key codes, MK_ button flags, the packed
// coordinates of a mouse message). Nothing here fails: a key without a
// Windows code gives kVkOther.
#pragma once

#include <gdk/gdk.h>

#include <cstdint>

namespace lum::gtk {

// Stands for every key that has no code of its own here (a reserved value).
inline constexpr std::uint32_t kVkOther = 0xFF;

// The virtual-key code of a key: letters A-Z and digits by their upper-case
// character whatever the shift state, the keypad, function, cursor, editing
// and modifier keys by their Windows codes.
std::uint32_t VirtualKeyOf(guint keyval);

// MK_LBUTTON, MK_RBUTTON, MK_SHIFT, MK_CONTROL, MK_MBUTTON of a state.
std::uintptr_t MouseKeyFlags(GdkModifierType state);

// MAKELPARAM of client coordinates (each truncated to 16 bits, signed).
std::intptr_t PackPoint(double x, double y);

}  // namespace lum::gtk
