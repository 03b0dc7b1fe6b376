#include "linux/GdkMonitors.h"

#include <gdk/gdk.h>

namespace lum::gtk {

std::vector<TRect> DisplayMonitors() {
    std::vector<TRect> monitors;
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return monitors;
    const int count = gdk_display_get_n_monitors(display);
    for (int i = 0; i < count; ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        if (!monitor)
            continue;
        GdkRectangle r{};
        gdk_monitor_get_geometry(monitor, &r);
        monitors.push_back(TRect{r.x, r.y, r.x + r.width, r.y + r.height});
    }
    return monitors;
}

}  // namespace lum::gtk
