#include "linux/GdkMonitors.h"

#include <gtest/gtest.h>

#include "linux/GtkTestSupport.h"

namespace lum::gtk {
namespace {

using testing::EnsureGtk;
using testing::RunFor;

class MonitorWatch : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EnsureGtk())
            GTEST_SKIP() << "no X display";
        Display = gdk_display_get_default();
        Monitor = gdk_display_get_monitor(Display, 0);
        ASSERT_NE(Monitor, nullptr);
    }
    // The handlers that data connected to instance.
    static bool Connected(gpointer instance, const TMonitorWatch& data) {
        return g_signal_handler_find(instance, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                     const_cast<TMonitorWatch*>(&data)) != 0;
    }
    GdkDisplay* Display = nullptr;
    GdkMonitor* Monitor = nullptr;
};

TEST_F(MonitorWatch, ListsTheMonitorsOfTheDisplay) {
    // Xvfb's one screen of the test command.
    const std::vector<TRect> monitors = DisplayMonitors();
    ASSERT_EQ(monitors.size(), 1u);
    GdkRectangle area{};
    gdk_monitor_get_geometry(Monitor, &area);
    EXPECT_EQ(monitors[0], (TRect{area.x, area.y, area.x + area.width, area.y + area.height}));
}

// A monitor that GDK removes and adds again (an output switched off and on)
// is watched again; nothing stays connected once the watch is gone.
TEST_F(MonitorWatch, FollowsMonitorsAddedLaterAndLetsGoOfEveryObjectItWatched) {
    int calls = 0;
    {
        TMonitorWatch watch([&] { ++calls; });
        EXPECT_TRUE(Connected(Monitor, watch));
        EXPECT_TRUE(Connected(Display, watch));
        EXPECT_TRUE(Connected(gdk_display_get_default_screen(Display), watch));
        g_signal_emit_by_name(Display, "monitor-removed", Monitor);
        EXPECT_FALSE(Connected(Monitor, watch));
        g_signal_emit_by_name(Display, "monitor-added", Monitor);
        EXPECT_TRUE(Connected(Monitor, watch));
        g_signal_emit_by_name(Display, "monitor-added", Monitor);  // no second handler
        EXPECT_EQ(g_signal_handlers_disconnect_matched(Monitor, G_SIGNAL_MATCH_DATA, 0, 0, nullptr,
                                                       nullptr, &watch),
                  1u);
        g_signal_emit_by_name(Display, "monitor-removed", Monitor);
        g_signal_emit_by_name(Display, "monitor-added", Monitor);
        // Gone while its check is pending: the check goes with it.
        g_object_notify(G_OBJECT(Monitor), "geometry");
    }
    g_object_notify(G_OBJECT(Monitor), "geometry");
    g_signal_emit_by_name(gdk_screen_get_default(), "size-changed");
    RunFor(kMonitorsSettleMs + 300);
    EXPECT_EQ(calls, 0);
}

// GDK signals steps in between and the end of each change; a burst whose
// end leaves every monitor where it was is no change, however long it goes
// on (its check comes within the burst limit).
TEST_F(MonitorWatch, SignalsThatLeaveEveryMonitorInPlaceCallNothing) {
    int calls = 0;
    TMonitorWatch watch([&] { ++calls; });
    for (int i = 0; i < 5; ++i) {
        g_object_notify(G_OBJECT(Monitor), "geometry");
        g_signal_emit_by_name(gdk_display_get_default_screen(Display), "monitors-changed");
        RunFor(kMonitorsSettleMs / 3);
    }
    RunFor(kMonitorsSettleMs + 300);
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace lum::gtk
