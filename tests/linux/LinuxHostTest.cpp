#include "linux/LinuxHost.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "linux/GtkApplication.h"
#include "linux/GtkFormWindow.h"
#include "linux/GtkTestSupport.h"
#include "slideshow/MonitorLayout.h"

#include <gdk/gdkx.h>

namespace lum::gtk {
namespace {

using testing::EnsureGtk;
using testing::RunUntil;
using testing::TForeignWindowProcess;
using testing::TRecordingForm;

std::intptr_t Point(int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y) << 16) |
                                      static_cast<std::uint16_t>(x));
}

class LinuxHost : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EnsureGtk())
            GTEST_SKIP() << "no X display";
    }
    // Runs the main loop until it ends (true) or two seconds pass (false).
    static bool LoopEnds() {
        bool timedOut = false;
        const guint guard = g_timeout_add(
            2000,
            [](gpointer data) -> gboolean {
                *static_cast<bool*>(data) = true;
                QuitMainLoop();
                return G_SOURCE_REMOVE;
            },
            &timedOut);
        RunMainLoop();
        if (!timedOut)
            g_source_remove(guard);
        return !timedOut;
    }
    TGtkFormWindowFactory Factory;
};

TEST_F(LinuxHost, FullScreenCoversTheDisplayAndSmallMouseMovesDoNotEndIt) {
    TRecordingForm form(Factory, true);
    TLinuxHost host(form, TLinuxHostOptions{});
    EXPECT_EQ(form.BoundsRect(), (TRect{0, 0, 1024, 768}));
    form.Show();
    form.Perform(Msg::MouseMove, 0, Point(500, 400));  // where the mouse is at first
    form.Perform(Msg::MouseMove, 0, Point(504, 396));
    form.Perform(Msg::KeyDown, Vk::X, 0);  // freezes, does not end
    form.Perform(Msg::KeyDown, Vk::Z, 0);  // skips, does not end
    EXPECT_EQ(host.CloseRequests(), 0);
    // Every message still reaches the form.
    EXPECT_EQ(form.Count(Msg::MouseMove), 2);
    form.Perform(Msg::MouseMove, 0, Point(505, 400));
    EXPECT_EQ(host.CloseRequests(), 1);
    EXPECT_TRUE(LoopEnds());
    EXPECT_EQ(form.Count(Msg::Close), 1);
    EXPECT_EQ(form.Count(Msg::Destroy), 1);
}

// Real input through the X server (XTest, as xdotool sends it).
int XdoTool(const std::string& args) {
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str());
}

TEST_F(LinuxHost, RealInputEndsAFullScreenRunButHoldingXOrZDoesNot) {
    if (XdoTool("version") != 0)
        GTEST_SKIP() << "xdotool is missing";
    XdoTool("mousemove 512 384");
    TRecordingForm form(Factory, true);
    form.Painter = [](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, 0x0000FF00);
    };
    TLinuxHost host(form, TLinuxHostOptions{});
    form.Show();
    ASSERT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > 0; }));
    testing::RunFor(200);
    // The whole screen is the form's.
    const std::uint64_t root = gdk_x11_window_get_xid(gdk_get_default_root_window());
    EXPECT_EQ(testing::ReadPixel(root, 0, 0), 0x00FF00u);
    EXPECT_EQ(testing::ReadPixel(root, 1023, 767), 0x00FF00u);

    XdoTool("keydown x");
    EXPECT_TRUE(RunUntil([&] { return Factory.Keyboard().Held(Vk::X); }));
    XdoTool("keyup x");
    XdoTool("key z");
    XdoTool("mousemove 514 386");  // within the slack
    testing::RunFor(200);
    EXPECT_FALSE(Factory.Keyboard().Held(Vk::X));
    EXPECT_EQ(host.CloseRequests(), 0);
    XdoTool("mousemove 600 500");
    EXPECT_TRUE(LoopEnds());
    EXPECT_GE(host.CloseRequests(), 1);
    EXPECT_EQ(form.Count(Msg::Destroy), 1);
}

TEST_F(LinuxHost, InsideAnotherProgramsWindowTheInputIsLeftToThatProgram) {
    if (XdoTool("version") != 0)
        GTEST_SKIP() << "xdotool is missing";
    TForeignWindowProcess foreign(300, 200, 0x000080);
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwForeign;
    options.WindowId = foreign.Id();
    TRecordingForm form(Factory, true);
    TLinuxHost host(form, options);
    form.Show();
    ASSERT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > 0; }));
    XdoTool("mousemove 100 100 click 1 mousemove 150 150 key Escape");
    testing::RunFor(200);
    EXPECT_EQ(form.Count(Msg::LButtonDown), 0);
    EXPECT_EQ(form.Count(Msg::MouseMove), 0);
    EXPECT_EQ(form.Count(Msg::KeyDown), 0);
    EXPECT_EQ(host.CloseRequests(), 0);
}

TEST_F(LinuxHost, AnyOtherKeyOrAClickEndsAFullScreenRun) {
    for (const auto& [msg, wParam] : {std::pair{Msg::KeyDown, Vk::Escape},
                                      {Msg::SysKeyDown, Vk::Menu},
                                      {Msg::KeyDown, std::uint32_t{0xFF}},
                                      {Msg::LButtonDown, 0u},
                                      {Msg::RButtonDown, 0u},
                                      {Msg::MButtonDown, 0u}}) {
        TRecordingForm form(Factory, true);
        TLinuxHost host(form, TLinuxHostOptions{});
        form.Show();
        form.Perform(msg, wParam, 0);
        EXPECT_EQ(host.CloseRequests(), 1) << msg;
        EXPECT_TRUE(LoopEnds()) << msg;
    }
}

TEST_F(LinuxHost, SigtermEndsTheProgramThroughTheClose) {
    TForeignWindowProcess foreign(160, 120, 0x000080);
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwForeign;
    options.WindowId = foreign.Id();
    TRecordingForm form(Factory, true);
    TLinuxHost host(form, options);
    form.Show();
    // No input filter inside another program's window: the daemon watches input.
    form.Perform(Msg::KeyDown, Vk::Escape, 0);
    form.Perform(Msg::LButtonDown, 0, 0);
    EXPECT_EQ(host.CloseRequests(), 0);
    g_timeout_add(
        50,
        [](gpointer) -> gboolean {
            std::raise(SIGTERM);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    EXPECT_TRUE(LoopEnds());
    EXPECT_EQ(host.CloseRequests(), 1);
    EXPECT_EQ(form.Count(Msg::Close), 1);
}

// A window of its own (runs on every monitor end the loop after the close
// themselves).
TEST_F(LinuxHost, ASecondSignalEndsTheLoopEvenWhenTheCloseIsIgnored) {
    TRecordingForm form(Factory, true);
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwWindow;
    TLinuxHost host(form, options);
    TWndMethod inner = form.WindowProc;
    form.WindowProc = [&](TMessage& m) {
        if (m.Msg != Msg::Close)
            inner(m);
    };
    g_timeout_add(
        20,
        [](gpointer) -> gboolean {
            std::raise(SIGINT);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    g_timeout_add(
        200,
        [](gpointer) -> gboolean {
            std::raise(SIGHUP);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    EXPECT_TRUE(LoopEnds());
    EXPECT_EQ(host.CloseRequests(), 2);
    form.WindowProc = inner;
}

TEST_F(LinuxHost, TryWindowIsAnOrdinaryWindowOfItsOwnSize) {
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwWindow;
    TRecordingForm form(Factory, true);
    TLinuxHost host(form, options);
    EXPECT_EQ(form.BoundsRect().Width(), kTryWindowWidth);
    EXPECT_EQ(form.BoundsRect().Height(), kTryWindowHeight);
    // Centred on the pointer's monitor, the display's only one here.
    EXPECT_EQ(form.BoundsRect(),
              CentredOnMonitor(TRect{0, 0, 1024, 768}, {kTryWindowWidth, kTryWindowHeight}));
    EXPECT_TRUE(gtk_window_get_decorated(GTK_WINDOW(GtkWindowOf(form.Window())->Widget())));
    form.Perform(Msg::LButtonDown, 0, 0);
    EXPECT_EQ(host.CloseRequests(), 0);
}

TEST_F(LinuxHost, RootCoversTheRootWindow) {
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwRoot;
    TRecordingForm form(Factory, true);
    TLinuxHost host(form, options);
    EXPECT_EQ(form.BoundsRect(), (TRect{0, 0, 1024, 768}));
}

// A run at a whole monitor's size: XScreenSaver's window of a screen,
// full-screen, the root window; not its small settings preview (which only
// shows the cache) nor the window of --window (which captures at the size
// of its monitor, not at its own).
TEST_F(LinuxHost, OnlyARunAtAWholeMonitorsSizeShowsAWholeMonitor) {
    auto shows = [&](TLinuxHostOptions options) {
        TRecordingForm form(Factory, true);
        TLinuxHost host(form, options);
        return host.ShowsWholeMonitor();
    };
    TLinuxHostOptions options;
    EXPECT_TRUE(shows(options)) << "full-screen";
    options.Mode = TLinuxWindowMode::lwRoot;
    EXPECT_TRUE(shows(options)) << "--root";
    options.Mode = TLinuxWindowMode::lwWindow;
    EXPECT_FALSE(shows(options)) << "--window";
    options.Mode = TLinuxWindowMode::lwForeign;
    TForeignWindowProcess screen(1024, 768, 0x000080);
    options.WindowId = screen.Id();
    EXPECT_TRUE(shows(options)) << "a screen's window";
    TForeignWindowProcess preview(320, 240, 0x000080);
    options.WindowId = preview.Id();
    EXPECT_FALSE(shows(options)) << "the settings preview";
    TForeignWindowProcess wide(1024, 700, 0x000080);
    options.WindowId = wide.Id();
    EXPECT_FALSE(shows(options)) << "as wide as the monitor, not as tall";
    EXPECT_TRUE(MonitorSized(TSize{1024, 768}));
    EXPECT_FALSE(MonitorSized(TSize{768, 1024}));
}

// Full-screen on every monitor: a form a monitor, and input on any of them
// ends them all.
TEST_F(LinuxHost, InputOnAnyMonitorsFormEndsThemAll) {
    TRecordingForm first(Factory, false);
    TRecordingForm second(Factory, false);
    TLinuxHost host(std::vector<TForm*>{&first, &second}, TLinuxHostOptions{});
    EXPECT_TRUE(host.ShowsWholeMonitor());
    first.Show();
    second.Show();
    // Each form has its own idea of where the mouse was first.
    first.Perform(Msg::MouseMove, 0, Point(10, 10));
    second.Perform(Msg::MouseMove, 0, Point(900, 700));
    EXPECT_EQ(host.CloseRequests(), 0);
    second.Perform(Msg::MouseMove, 0, Point(890, 700));
    EXPECT_EQ(host.CloseRequests(), 1);
    EXPECT_TRUE(LoopEnds());  // no main window: the host ends the loop
    for (TRecordingForm* form : {&first, &second}) {
        EXPECT_EQ(form->Count(Msg::Close), 1);
        EXPECT_EQ(form->Count(Msg::Destroy), 1);
    }
}

TEST_F(LinuxHost, AKeyOnTheSecondMonitorEndsTheFirstToo) {
    TRecordingForm first(Factory, false);
    TRecordingForm second(Factory, false);
    TLinuxHost host(std::vector<TForm*>{&first, &second}, TLinuxHostOptions{});
    first.Show();
    second.Show();
    second.Perform(Msg::KeyDown, Vk::Escape, 0);
    EXPECT_TRUE(LoopEnds());
    EXPECT_EQ(first.Count(Msg::Destroy), 1);
}

TEST_F(LinuxHost, SeveralFormsOnlyForFullScreenAndWall) {
    TRecordingForm first(Factory, false);
    TRecordingForm second(Factory, false);
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwWindow;
    EXPECT_THROW(TLinuxHost(std::vector<TForm*>{&first, &second}, options), Exception);
    EXPECT_THROW(TLinuxHost(std::vector<TForm*>{}, TLinuxHostOptions{}), Exception);
}

GdkCursorType CursorOf(TRecordingForm& form) {
    GdkWindow* window = gtk_widget_get_window(GtkWindowOf(form.Window())->Widget());
    GdkCursor* cursor = window ? gdk_window_get_cursor(window) : nullptr;
    return cursor ? gdk_cursor_get_cursor_type(cursor) : GDK_CURSOR_IS_PIXMAP;
}

TEST_F(LinuxHost, AWallIgnoresInputHidesThePointerAndEndsOnSigterm) {
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwWall;
    TRecordingForm first(Factory, false);
    TRecordingForm second(Factory, false);
    TLinuxHost host(std::vector<TForm*>{&first, &second}, options);
    EXPECT_TRUE(host.ShowsWholeMonitor());
    first.Show();
    second.Show();
    EXPECT_EQ(CursorOf(first), GDK_BLANK_CURSOR);
    EXPECT_EQ(CursorOf(second), GDK_BLANK_CURSOR);
    for (TRecordingForm* form : {&first, &second}) {
        form->Perform(Msg::MouseMove, 0, Point(10, 10));
        form->Perform(Msg::MouseMove, 0, Point(500, 500));
        form->Perform(Msg::KeyDown, Vk::Escape, 0);
        form->Perform(Msg::SysKeyDown, Vk::Menu, 0);
        form->Perform(Msg::LButtonDown, 0, 0);
        form->Perform(Msg::RButtonDown, 0, 0);
        EXPECT_EQ(form->Count(Msg::KeyDown), 1);  // the messages still reach the form
    }
    EXPECT_EQ(host.CloseRequests(), 0);
    testing::RunFor(100);
    EXPECT_EQ(first.Count(Msg::Close), 0);
    g_timeout_add(
        20,
        [](gpointer) -> gboolean {
            std::raise(SIGTERM);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    EXPECT_TRUE(LoopEnds());
    EXPECT_EQ(first.Count(Msg::Destroy), 1);
    EXPECT_EQ(second.Count(Msg::Destroy), 1);
}

TEST_F(LinuxHost, RealInputDoesNotEndAWall) {
    if (XdoTool("version") != 0)
        GTEST_SKIP() << "xdotool is missing";
    XdoTool("mousemove 512 384");
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwWall;
    TRecordingForm form(Factory, false);
    TLinuxHost host(form, options);
    form.Show();
    ASSERT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > 0; }));
    XdoTool("mousemove 10 10 click 1 mousemove 900 700 click 3 key Escape key a");
    testing::RunFor(300);
    EXPECT_GT(form.Count(Msg::MouseMove), 0);
    EXPECT_EQ(host.CloseRequests(), 0);
    EXPECT_EQ(form.Count(Msg::Close), 0);
    EXPECT_EQ(CursorOf(form), GDK_BLANK_CURSOR);
}

// Whether anyone listens to the monitor's geometry.
bool GeometryWatched(GdkMonitor* monitor) {
    return g_signal_has_handler_pending(monitor, g_signal_lookup("notify", G_TYPE_OBJECT),
                                        g_quark_from_static_string("geometry"), FALSE);
}

// The monitors really change only on an X server whose outputs xrandr can
// change (the end-to-end test monitor_geometry.sh); here GDK's signals come
// without a change, which must not start a run again.
TEST_F(LinuxHost, RunsOnEveryMonitorWatchThemAndSignalsWithoutAChangeDoNotStartThemAgain) {
    GdkMonitor* monitor = gdk_display_get_monitor(gdk_display_get_default(), 0);
    ASSERT_FALSE(GeometryWatched(monitor));
    for (const TLinuxWindowMode mode : {TLinuxWindowMode::lwFullScreen, TLinuxWindowMode::lwWall}) {
        TLinuxHostOptions options;
        options.Mode = mode;
        TRecordingForm form(Factory, false);
        {
            TLinuxHost host(form, options);
            form.Show();
            EXPECT_TRUE(GeometryWatched(monitor));
            g_signal_emit_by_name(gdk_display_get_default(), "monitor-removed", monitor);
            g_signal_emit_by_name(gdk_display_get_default(), "monitor-added", monitor);
            g_object_notify(G_OBJECT(monitor), "geometry");
            g_signal_emit_by_name(gdk_screen_get_default(), "monitors-changed");
            EXPECT_FALSE(LoopEnds());
            EXPECT_FALSE(host.MonitorsChanged());
            EXPECT_EQ(host.CloseRequests(), 0);
        }
        EXPECT_FALSE(GeometryWatched(monitor));  // the host let go of it
    }
}

TEST_F(LinuxHost, OneWindowModesDoNotWatchTheMonitors) {
    GdkMonitor* monitor = gdk_display_get_monitor(gdk_display_get_default(), 0);
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwWindow;
    TRecordingForm form(Factory, true);
    TLinuxHost host(form, options);
    EXPECT_FALSE(GeometryWatched(monitor));
}

TEST_F(LinuxHost, AMissingWindowIsAnErrorOfTheConstructor) {
    TLinuxHostOptions options;
    options.Mode = TLinuxWindowMode::lwForeign;
    options.WindowId = 0x1FFFFFF1;
    TRecordingForm form(Factory, true);
    EXPECT_THROW(TLinuxHost(form, options), Exception);
}

}  // namespace
}  // namespace lum::gtk
