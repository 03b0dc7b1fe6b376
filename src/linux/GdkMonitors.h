// The monitors of the X display as GDK lists them (RandR / Xinerama), in
// the screen's coordinates, for the slide show's per-monitor layout. Needs
// GTK initialised; an empty list when GDK cannot tell.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace lum::gtk {

std::vector<TRect> DisplayMonitors();

}  // namespace lum::gtk
