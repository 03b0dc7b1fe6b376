// The monitors as the Windows program lists them, under Wine on the test's
// one Xvfb screen (Wine here reports one monitor even on a server with two
// outputs): what the full-screen run covers when there is one monitor.
#include <windows.h>

#include <gtest/gtest.h>

#include "host/ZelScreenSaver.h"
#include "win32/Win32HostSystem.h"

namespace lum::win32 {
namespace {

TEST(Monitors, OneMonitorIsListedWithThePrimaryScreensRectangle) {
    TWin32HostSystem system;
    const std::vector<TRect> monitors = system.Monitors();
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors[0],
              (TRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}));
    // That monitor is the primary one: the run keeps the primary rule.
    EXPECT_EQ(PrimaryMonitor(monitors), monitors[0]);
    TRect desktop;
    ASSERT_TRUE(system.WindowRect(system.DesktopWindow(), desktop));
    EXPECT_EQ(desktop, monitors[0]);
}

}  // namespace
}  // namespace lum::win32
