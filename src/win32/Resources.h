// Identifiers of the program's resources, shared by the resource script and
// the code that loads them. Plain macros: the resource compiler reads this too.
#pragma once

// The program's icon (16, 32, 48 and 256 pixels): the first icon of the
// file, so Explorer and the screen-saver list show it.
#define LUM_PROGRAM_ICON 1

#ifndef RC_INVOKED
namespace lum::win32 {
inline constexpr int kProgramIconId = LUM_PROGRAM_ICON;
}  // namespace lum::win32
#endif
