#include "linux/GdkMonitors.h"

#include <gdk/gdk.h>

#include <algorithm>

#include "linux/GtkApplication.h"

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

// GDK's X backend updates its monitors on each RandR event: a monitor's
// "notify::geometry" for a move or a new mode (also for steps in between),
// the display's "monitor-added" and "monitor-removed" (a new GdkMonitor for
// an output switched on again), and the screen's "size-changed" and
// "monitors-changed".
struct TMonitorWatch::TSignals {
    static void Added(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
        auto* watch = static_cast<TMonitorWatch*>(self);
        watch->Watch(monitor);
        watch->Touched();
    }
    static void Removed(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
        auto* watch = static_cast<TMonitorWatch*>(self);
        watch->Forget(monitor);
        watch->Touched();
    }
    static void Geometry(GObject*, GParamSpec*, gpointer self) {
        static_cast<TMonitorWatch*>(self)->Touched();
    }
    static void Screen(GdkScreen*, gpointer self) { static_cast<TMonitorWatch*>(self)->Touched(); }
    static gboolean Settle(gpointer self) {
        auto* watch = static_cast<TMonitorWatch*>(self);
        watch->FSettle = 0;
        Guarded([&] { watch->Settled(); });
        return G_SOURCE_REMOVE;
    }
};

TMonitorWatch::TMonitorWatch(std::function<void()> onChanged)
    : FOnChanged(std::move(onChanged)), FMonitors(DisplayMonitors()) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return;
    FDisplay = display;
    g_signal_connect(display, "monitor-added", G_CALLBACK(&TSignals::Added), this);
    g_signal_connect(display, "monitor-removed", G_CALLBACK(&TSignals::Removed), this);
    const int count = gdk_display_get_n_monitors(display);
    for (int i = 0; i < count; ++i)
        Watch(gdk_display_get_monitor(display, i));
    GdkScreen* screen = gdk_display_get_default_screen(display);
    if (!screen)
        return;
    FScreen = screen;
    g_signal_connect(screen, "size-changed", G_CALLBACK(&TSignals::Screen), this);
    g_signal_connect(screen, "monitors-changed", G_CALLBACK(&TSignals::Screen), this);
}

TMonitorWatch::~TMonitorWatch() {
    if (FSettle)
        g_source_remove(FSettle);
    if (FScreen)
        g_signal_handlers_disconnect_by_data(FScreen, this);
    if (FDisplay)
        g_signal_handlers_disconnect_by_data(FDisplay, this);
    while (!FWatched.empty())
        Forget(FWatched.back());
}

// Each watched monitor is referenced, so that its handler can always be
// disconnected, whether GDK still lists it or not.
void TMonitorWatch::Watch(void* monitor) {
    if (!monitor || std::find(FWatched.begin(), FWatched.end(), monitor) != FWatched.end())
        return;
    g_object_ref(monitor);
    FWatched.push_back(monitor);
    g_signal_connect(monitor, "notify::geometry", G_CALLBACK(&TSignals::Geometry), this);
}

void TMonitorWatch::Forget(void* monitor) {
    const auto it = std::find(FWatched.begin(), FWatched.end(), monitor);
    if (it == FWatched.end())
        return;
    FWatched.erase(it);
    g_signal_handlers_disconnect_by_data(monitor, this);
    g_object_unref(monitor);
}

// Each signal puts the check off again until the burst is over, but never
// beyond kMonitorsBurstLimitMs after the burst's first signal.
void TMonitorWatch::Touched() {
    const std::int64_t now = g_get_monotonic_time();
    if (FSettle && now - FBurstStart >= std::int64_t{kMonitorsBurstLimitMs} * 1000)
        return;
    if (FSettle)
        g_source_remove(FSettle);
    else
        FBurstStart = now;
    FSettle = g_timeout_add(kMonitorsSettleMs, &TSignals::Settle, this);
}

void TMonitorWatch::Settled() {
    std::vector<TRect> monitors = DisplayMonitors();
    if (monitors == FMonitors)
        return;
    FMonitors = std::move(monitors);
    if (FOnChanged)
        FOnChanged();
}

}  // namespace lum::gtk
