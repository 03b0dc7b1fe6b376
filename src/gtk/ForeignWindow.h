// X windows of other programs, as the Linux host draws into them: whether one
// exists and its size, the root window, trapped X errors, and a process-wide
// X error handler under which a window that vanishes while it is drawn into
// does not end the program (GDK's own handler exits on any untrapped error).
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace lum::gtk {

// Traps the X errors of the requests made while it lives (GDK's trap) and
// waits for them when it goes; the errors are ignored.
class TXErrorTrap {
  public:
    TXErrorTrap();
    ~TXErrorTrap();
    TXErrorTrap(const TXErrorTrap&) = delete;
    TXErrorTrap& operator=(const TXErrorTrap&) = delete;
};

// The size of the X window xid; false when it does not exist (any more).
bool ForeignWindowSize(std::uint64_t xid, TSize& size);

// The root window of the default screen.
std::uint64_t RootWindowId();

// From now on (a form window is put into a foreign window), X errors about
// windows, drawables and extension resources (what a vanished window leaves
// behind, possibly reported well after it went) are ignored; other errors go
// to GDK's handler as before. Installing twice does nothing.
void InstallForeignErrorHandler();
// How many errors the handler has ignored so far.
std::uint64_t IgnoredXErrors();

}  // namespace lum::gtk
