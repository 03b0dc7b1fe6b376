#include "gtk/LinuxHost.h"

#include <gtk/gtk.h>

#include <cstdlib>

#include "gtk/ForeignWindow.h"
#include "gtk/GtkApplication.h"
#include "gtk/GtkFormWindow.h"

namespace lum::gtk {

namespace {

TPoint PointOf(std::intptr_t lParam) {
    const auto packed = static_cast<std::uint32_t>(lParam);
    return TPoint{static_cast<std::int16_t>(packed & 0xFFFF),
                  static_cast<std::int16_t>(packed >> 16)};
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

TLinuxHost::TLinuxHost(TForm& form, const TLinuxHostOptions& options) : FForm(form) {
    if (!options.Config && !options.Help)
        Place(options);
    if (options.Mode == TLinuxWindowMode::lwFullScreen && !options.Config) {
        FTrapping = true;
        FOldWindowProc = FForm.WindowProc;
        FForm.WindowProc = [this](TMessage& message) { Filter(message); };
    }
    InstallQuitSignals([this] { RequestClose(); });
}

TLinuxHost::~TLinuxHost() {
    InstallQuitSignals();
    if (FPendingClose)
        g_source_remove(FPendingClose);
    if (FTrapping)
        FForm.WindowProc = FOldWindowProc;
}

void TLinuxHost::Place(const TLinuxHostOptions& options) {
    TGtkFormWindow* window = GtkWindowOf(FForm.Window());
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
            if (GtkWidget* widget = window->Widget()) {
                gtk_window_set_decorated(GTK_WINDOW(widget), TRUE);
                gtk_window_set_position(GTK_WINDOW(widget), GTK_WIN_POS_CENTER);
            }
            window->SetBounds(TRect{0, 0, kTryWindowWidth, kTryWindowHeight});
            break;
        case TLinuxWindowMode::lwFullScreen:
            window->MakeFullScreen();
            FWholeMonitor = true;
            break;
    }
}

bool TLinuxHost::ShownMonitor(TRect& rect) const {
    return FWholeMonitor && FForeignWindow != 0 && ForeignWindowRect(FForeignWindow, rect);
}

void TLinuxHost::Filter(TMessage& message) {
    switch (message.Msg) {
        case Msg::KeyDown:
        case Msg::SysKeyDown:
            // Holding X freezes the slide show and holding Z skips a page.
            if (message.WParam != Vk::X && message.WParam != Vk::Z)
                RequestClose();
            break;
        case Msg::MouseMove: {
            const TPoint p = PointOf(message.LParam);
            if (!FMouseSeen) {
                FMouseSeen = true;
                FMousePos = p;
            } else if (std::abs(p.X - FMousePos.X) > kMouseMoveSlack ||
                       std::abs(p.Y - FMousePos.Y) > kMouseMoveSlack) {
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
    if (FOldWindowProc)
        FOldWindowProc(message);
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
    Guarded([&] { host->FForm.Perform(Msg::Close, 0, 0); });
    return G_SOURCE_REMOVE;
}

}  // namespace lum::gtk
