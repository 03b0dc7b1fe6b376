// X windows of other programs, as the Linux host draws into them: whether one
// exists and its size, the root window, and trapped X errors, so that a window
// that vanishes while it is drawn into does not end the program (GDK exits on
// any X error that no trap covers).
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
// The window's rectangle in the root window's coordinates (where on which
// monitor XScreenSaver put it); false when it does not exist.
bool ForeignWindowRect(std::uint64_t xid, TRect& rect);

// The root window of the default screen.
std::uint64_t RootWindowId();

// From now on (a form window is put into a foreign window) every X error is
// ignored: a GDK error trap that is never lifted. Calling it again does
// nothing.
void TrapXErrorsFromNowOn();

}  // namespace lum::gtk
