#include "linux/LinuxHost.h"

#include <gtk/gtk.h>

#include <cstdlib>

#include "linux/ForeignWindow.h"
#include "linux/GtkApplication.h"
#include "linux/GtkFormWindow.h"
#include "slideshow/MonitorLayout.h"

namespace lum::gtk {

namespace {

TPoint PointOf(std::intptr_t lParam) {
    const auto packed = static_cast<std::uint32_t>(lParam);
    return TPoint{static_cast<std::int16_t>(packed & 0xFFFF),
                  static_cast<std::int16_t>(packed >> 16)};
}

// The monitor that holds the pointer (the first when GDK cannot tell), in
// the screen's coordinates; 1024 x 768 at the origin without one.
TRect PointerMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    GdkRectangle area{0, 0, 1024, 768};
    GdkMonitor* monitor = nullptr;
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    if (GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr) {
        int x = 0;
        int y = 0;
        gdk_device_get_position(pointer, nullptr, &x, &y);
        monitor = gdk_display_get_monitor_at_point(display, x, y);
    }
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor)
        gdk_monitor_get_geometry(monitor, &area);
    return TRect{area.x, area.y, area.x + area.width, area.y + area.height};
}

}  // namespace

bool MonitorSized(const TSize& size) {
    GdkDisplay* display = gdk_display_get_default();
    const int count = display ? gdk_display_get_n_monitors(display) : 0;
    for (int i = 0; i < count; ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        GdkRectangle area{};
        gdk_monitor_get_geometry(monitor, &area);
        const int scale = gdk_monitor_get_scale_factor(monitor);
        if (size.Width == area.width * scale && size.Height == area.height * scale)
            return true;
    }
    return false;
}

TLinuxHost::TLinuxHost(TForm& form, const TLinuxHostOptions& options)
    : TLinuxHost(std::vector<TForm*>{&form}, options) {}

TLinuxHost::TLinuxHost(const std::vector<TForm*>& forms, const TLinuxHostOptions& options) {
    const bool wall = options.Mode == TLinuxWindowMode::lwWall;
    const bool fullScreen = options.Mode == TLinuxWindowMode::lwFullScreen || wall;
    if (forms.empty() || (forms.size() > 1 && !fullScreen))
        throw Exception("one form for this window mode");
    for (TForm* form : forms)
        FForms.push_back(TTrap{form, {}, false, {}});
    if (!options.Config && !options.Help)
        Place(options);
    if (fullScreen && !options.Config) {
        FTrapping = true;
        FWall = wall;
        for (TTrap& trap : FForms) {
            trap.OldWindowProc = trap.Form->WindowProc;
            trap.Form->WindowProc = [this, &trap](TMessage& message) { Filter(trap, message); };
        }
        FMonitorWatch = std::make_unique<TMonitorWatch>([this] {
            FMonitorsChanged = true;
            QuitMainLoop();
        });
    }
    InstallQuitSignals([this] { RequestClose(); });
}

TLinuxHost::~TLinuxHost() {
    InstallQuitSignals();
    if (FPendingClose)
        g_source_remove(FPendingClose);
    FMonitorWatch.reset();
    if (FTrapping) {
        for (TTrap& trap : FForms)
            trap.Form->WindowProc = trap.OldWindowProc;
    }
}

// A full-screen run grabs keyboard and pointer in its first window; a wall
// takes nobody's input.
void TLinuxHost::PlaceFullScreen(const TLinuxHostOptions& options) {
    const bool several = FForms.size() > 1 || options.Mode == TLinuxWindowMode::lwWall;
    for (std::size_t k = 0; k < FForms.size(); ++k) {
        TGtkFormWindow* window = GtkWindowOf(FForms[k].Form->Window());
        if (!window)
            throw Exception("the main form has no GTK window");
        window->MakeFullScreen(several ? static_cast<int>(k) : -1,
                               options.Mode == TLinuxWindowMode::lwFullScreen && k == 0);
    }
    FWholeMonitor = true;
}

void TLinuxHost::Place(const TLinuxHostOptions& options) {
    if (options.Mode == TLinuxWindowMode::lwFullScreen ||
        options.Mode == TLinuxWindowMode::lwWall) {
        PlaceFullScreen(options);
        return;
    }
    TGtkFormWindow* window = GtkWindowOf(FForms.front().Form->Window());
    if (!window)
        throw Exception("the main form has no GTK window");
    switch (options.Mode) {
        case TLinuxWindowMode::lwForeign: {
            window->SetParentWindow(options.WindowId);
            TSize size;
            FWholeMonitor = ForeignWindowSize(options.WindowId, size) && MonitorSized(size);
            FForeignWindow = options.WindowId;
            break;
        }
        case TLinuxWindowMode::lwRoot:
            window->SetParentWindow(RootWindowId());
            FWholeMonitor = true;
            break;
        case TLinuxWindowMode::lwWindow:
            // Placed by position rather than by GTK_WIN_POS_CENTER: the
            // form then knows from the start which monitor it is on (the
            // one whose size it captures at), before the window manager's
            // first configure event tells it where the window went.
            if (GtkWidget* widget = window->Widget())
                gtk_window_set_decorated(GTK_WINDOW(widget), TRUE);
            window->SetBounds(
                CentredOnMonitor(PointerMonitor(), TSize{kTryWindowWidth, kTryWindowHeight}));
            break;
        default:
            break;
    }
}

bool TLinuxHost::ShownMonitor(TRect& rect) const {
    return FWholeMonitor && FForeignWindow != 0 && ForeignWindowRect(FForeignWindow, rect);
}

void TLinuxHost::Filter(TTrap& trap, TMessage& message) {
    // A wall: input ends nothing.
    switch (FWall ? 0 : message.Msg) {
        case Msg::KeyDown:
        case Msg::SysKeyDown:
            // Holding X freezes the slide show and holding Z skips a page.
            if (message.WParam != Vk::X && message.WParam != Vk::Z)
                RequestClose();
            break;
        case Msg::MouseMove: {
            const TPoint p = PointOf(message.LParam);
            if (!trap.MouseSeen) {
                trap.MouseSeen = true;
                trap.MousePos = p;
            } else if (std::abs(p.X - trap.MousePos.X) > kMouseMoveSlack ||
                       std::abs(p.Y - trap.MousePos.Y) > kMouseMoveSlack) {
                RequestClose();
            }
            break;
        }
        case Msg::LButtonDown:
        case Msg::RButtonDown:
        case Msg::MButtonDown:
            RequestClose();
            break;
        default:
            break;
    }
    if (trap.OldWindowProc)
        trap.OldWindowProc(message);
}

void TLinuxHost::RequestClose() {
    ++FCloseRequests;
    if (FCloseRequests > 1 && !FPendingClose) {
        QuitMainLoop();
        return;
    }
    if (!FPendingClose)
        FPendingClose = g_idle_add(&PostedClose, this);
}

int TLinuxHost::PostedClose(void* self) {
    auto* host = static_cast<TLinuxHost*>(self);
    host->FPendingClose = 0;
    for (TTrap& trap : host->FForms)
        Guarded([&] { trap.Form->Perform(Msg::Close, 0, 0); });
    // The forms of a run on every monitor are no main windows (the run may
    // start again on other monitors): the host ends the loop once they are
    // closed.
    if (host->FTrapping)
        QuitMainLoop();
    return G_SOURCE_REMOVE;
}

}  // namespace lum::gtk
