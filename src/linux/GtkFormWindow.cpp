#include "linux/GtkFormWindow.h"

#include <algorithm>
#include <cstdio>

#include "common/Form.h"
#include "linux/CairoCanvas.h"
#include "linux/ForeignWindow.h"
#include "linux/GtkApplication.h"
#include "linux/GtkKeys.h"

// Xlib last: its macros (None, FocusOut, ...) would clash with the names above.
#include <gdk/gdkx.h>

namespace lum::gtk {

namespace {

struct TTimerData {
    TGtkFormWindow* Window;
    std::uint32_t Id;
};

}  // namespace

// The GTK signal handlers, as one friend of the window; each runs behind the
// callback guard.
struct TGtkFormWindowEvents {
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
        auto* self = static_cast<TGtkFormWindow*>(data);
        self->FPaintCr = cr;
        self->FBounds.Right = self->FBounds.Left + gtk_widget_get_allocated_width(widget);
        self->FBounds.Bottom = self->FBounds.Top + gtk_widget_get_allocated_height(widget);
        Guarded([&] { self->Send(Msg::Paint, 0, 0); });
        self->FPaintCr = nullptr;
        return TRUE;
    }

    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
        auto* self = static_cast<TGtkFormWindow*>(data);
        const bool embedded = self->FParent != 0;
        const int x = embedded ? 0 : event->x;
        const int y = embedded ? 0 : event->y;
        self->FBounds = TRect{x, y, x + event->width, y + event->height};
        return FALSE;
    }

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
        Guarded([&] { static_cast<TGtkFormWindow*>(data)->Send(Msg::Close, 0, 0); });
        return TRUE;  // the form decides; its default handling destroys the window
    }

    static void OnDestroy(GtkWidget*, gpointer data) {
        Guarded([&] { static_cast<TGtkFormWindow*>(data)->Destroyed(); });
    }

    static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
        return Guarded<gboolean>(TRUE,
                                 [&] { return Key(event, static_cast<TGtkFormWindow*>(data)); });
    }

    static gboolean Key(GdkEventKey* event, TGtkFormWindow* self) {
        const std::uint32_t vk = VirtualKeyOf(event->keyval);
        const bool down = event->type == GDK_KEY_PRESS;
        const bool alt = (event->state & GDK_MOD1_MASK) || vk == 0x12;
        if (down)
            self->FKeys.Press(vk);
        else
            self->FKeys.Release(vk);
        // Windows sends the keys pressed with Alt as system keys.
        const std::uint32_t msg =
            down ? (alt ? Msg::SysKeyDown : Msg::KeyDown) : (alt ? Msg::SysKeyUp : Msg::KeyUp);
        TMessage message{msg, vk, 0, 0};
        // A form's shortcuts see every key-down first and may consume it, as
        // the Windows message loop lets them.
        if (down) {
            if (auto* form = dynamic_cast<TForm*>(&self->FForm); form && form->IsShortCut(message))
                return TRUE;
        }
        self->Dispatch(message);
        return TRUE;
    }

    static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
        Guarded([&] {
            static_cast<TGtkFormWindow*>(data)->Send(
                Msg::MouseMove, MouseKeyFlags(static_cast<GdkModifierType>(event->state)),
                PackPoint(event->x, event->y));
        });
        return TRUE;
    }

    static gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
        if (event->type != GDK_BUTTON_PRESS)
            return TRUE;
        const std::uint32_t msg = event->button == 1   ? Msg::LButtonDown
                                  : event->button == 3 ? Msg::RButtonDown
                                  : event->button == 2 ? Msg::MButtonDown
                                                       : 0;
        if (msg) {
            Guarded([&] {
                static_cast<TGtkFormWindow*>(data)->Send(
                    msg, MouseKeyFlags(static_cast<GdkModifierType>(event->state)),
                    PackPoint(event->x, event->y));
            });
        }
        return TRUE;
    }

    static gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
        static_cast<TGtkFormWindow*>(data)->FKeys.Clear();
        return FALSE;
    }

    static gboolean OnMap(GtkWidget* widget, GdkEvent*, gpointer data) {
        auto* self = static_cast<TGtkFormWindow*>(data);
        if (self->FGrabOnMap) {
            GdkWindow* window = gtk_widget_get_window(widget);
            GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(window));
            GdkCursor* blank =
                gdk_cursor_new_for_display(gdk_window_get_display(window), GDK_BLANK_CURSOR);
            gdk_seat_grab(seat, window, GDK_SEAT_CAPABILITY_ALL, FALSE, blank, nullptr, nullptr,
                          nullptr);
            g_object_unref(blank);
        }
        return FALSE;
    }

    static gboolean OnTimer(gpointer data) {
        auto* timer = static_cast<TTimerData*>(data);
        Guarded([&] { timer->Window->Send(Msg::Timer, timer->Id, 0); });
        return G_SOURCE_CONTINUE;
    }
};

TGtkFormWindow::TGtkFormWindow(TWinControl& form,
                               const TFormWindowStyle& style,
                               TKeyboardState& keys)
    : FForm(form), FKeys(keys), FMain(style.MainWindow), FBounds(style.Bounds) {
    FWidget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(FWidget);
    gtk_window_set_title(window, style.Caption.c_str());
    gtk_window_set_decorated(window, !style.Popup);
    gtk_widget_set_app_paintable(FWidget, TRUE);
    gtk_widget_add_events(FWidget, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK |
                                       GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                       GDK_BUTTON_RELEASE_MASK | GDK_STRUCTURE_MASK |
                                       GDK_FOCUS_CHANGE_MASK);
    if (style.Owner) {
        GdkWindow* owner = gdk_x11_window_lookup_for_display(gdk_display_get_default(),
                                                             static_cast<Window>(style.Owner));
        gpointer ownerWidget = nullptr;
        if (owner)
            gdk_window_get_user_data(owner, &ownerWidget);
        if (ownerWidget && GTK_IS_WINDOW(ownerWidget))
            gtk_window_set_transient_for(window, GTK_WINDOW(ownerWidget));
    }
    using E = TGtkFormWindowEvents;
    g_signal_connect(FWidget, "draw", G_CALLBACK(E::OnDraw), this);
    g_signal_connect(FWidget, "configure-event", G_CALLBACK(E::OnConfigure), this);
    g_signal_connect(FWidget, "delete-event", G_CALLBACK(E::OnDelete), this);
    g_signal_connect(FWidget, "destroy", G_CALLBACK(E::OnDestroy), this);
    g_signal_connect(FWidget, "key-press-event", G_CALLBACK(E::OnKey), this);
    g_signal_connect(FWidget, "key-release-event", G_CALLBACK(E::OnKey), this);
    g_signal_connect(FWidget, "motion-notify-event", G_CALLBACK(E::OnMotion), this);
    g_signal_connect(FWidget, "button-press-event", G_CALLBACK(E::OnButton), this);
    g_signal_connect(FWidget, "focus-out-event", G_CALLBACK(E::OnFocusOut), this);
    g_signal_connect(FWidget, "map-event", G_CALLBACK(E::OnMap), this);
    SetBounds(style.Bounds);
}

TGtkFormWindow::~TGtkFormWindow() {
    StopTimers();
    StopWatchingParent();
    if (FWidget) {
        GtkWidget* widget = FWidget;
        g_signal_handlers_disconnect_by_data(widget, this);
        FWidget = nullptr;
        // Inside a foreign window the X window may already be gone.
        TXErrorTrap trap;
        gtk_widget_destroy(widget);
    }
}

void TGtkFormWindow::StopTimers() {
    for (const auto& [id, source] : FTimers)
        g_source_remove(source);
    FTimers.clear();
}

THandle TGtkFormWindow::Handle() {
    if (!FWidget)
        return 0;
    gtk_widget_realize(FWidget);
    GdkWindow* window = gtk_widget_get_window(FWidget);
    return window ? static_cast<THandle>(gdk_x11_window_get_xid(window)) : 0;
}

TRect TGtkFormWindow::Bounds() {
    return FBounds;
}

void TGtkFormWindow::SetBounds(const TRect& bounds) {
    FBounds = bounds;
    if (!FWidget)
        return;
    GtkWindow* window = GTK_WINDOW(FWidget);
    gtk_window_move(window, FParent ? 0 : bounds.Left, FParent ? 0 : bounds.Top);
    gtk_window_resize(window, std::max(bounds.Width(), 1), std::max(bounds.Height(), 1));
}

bool TGtkFormWindow::Visible() {
    return FWidget && gtk_widget_get_visible(FWidget);
}

void TGtkFormWindow::SetVisible(bool visible) {
    if (!FWidget)
        return;
    if (visible)
        gtk_widget_show(FWidget);
    else
        gtk_widget_hide(FWidget);
}

void TGtkFormWindow::Invalidate() {
    if (FWidget)
        gtk_widget_queue_draw(FWidget);
}

void TGtkFormWindow::DefaultHandler(TMessage& message) {
    message.Result = 0;
    if (message.Msg == Msg::Close && FWidget) {
        TXErrorTrap trap;
        gtk_widget_destroy(FWidget);
    }
}

void TGtkFormWindow::Paint(const std::function<void(ICanvas&)>& paint) {
    // Only within the draw signal: GTK has then set up the double buffer
    // that it copies to the screen when the signal returns.
    if (!FPaintCr || !FWidget)
        return;
    TCairoCanvas canvas(FPaintCr, gtk_widget_get_allocated_width(FWidget),
                        gtk_widget_get_allocated_height(FWidget));
    paint(canvas);
}

void TGtkFormWindow::SetTimer(std::uint32_t id, std::uint32_t milliseconds) {
    KillTimer(id);
    if (!FWidget)
        return;
    // Windows raises intervals below 10 ms to 10 ms (USER_TIMER_MINIMUM).
    FTimers[id] = g_timeout_add_full(G_PRIORITY_DEFAULT, std::max<std::uint32_t>(milliseconds, 10),
                                     &TGtkFormWindowEvents::OnTimer, new TTimerData{this, id},
                                     [](gpointer data) { delete static_cast<TTimerData*>(data); });
}

void TGtkFormWindow::KillTimer(std::uint32_t id) {
    if (auto it = FTimers.find(id); it != FTimers.end()) {
        g_source_remove(it->second);
        FTimers.erase(it);
    }
}

void TGtkFormWindow::Dispatch(TMessage& message) {
    // No exception leaves a GTK signal handler: it becomes the error report,
    // and the event counts as handled.
    Guarded([&] { FForm.Dispatch(message); });
}

void TGtkFormWindow::Send(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    TMessage message{msg, wParam, lParam, 0};
    Dispatch(message);
}

void TGtkFormWindow::Destroyed() {
    // Destroyed by the close, or from outside (its foreign parent went away):
    // the form keeps no dangling window and the main window ends the loop.
    StopTimers();
    StopWatchingParent();
    FWidget = nullptr;
    FKeys.Clear();
    Send(Msg::Destroy, 0, 0);
    if (FMain)
        QuitMainLoop();
}

void TGtkFormWindow::MakeFullScreen(int index, bool grab) {
    if (!FWidget)
        return;
    GdkDisplay* display = gtk_widget_get_display(FWidget);
    GdkMonitor* monitor = index >= 0 ? gdk_display_get_monitor(display, index)
                                     : gdk_display_get_primary_monitor(display);
    const bool onMonitor = index >= 0 && monitor;  // else the primary or the first
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area{0, 0, 1024, 768};
    if (monitor)
        gdk_monitor_get_geometry(monitor, &area);
    SetBounds(TRect{area.x, area.y, area.x + area.width, area.y + area.height});
    gtk_window_set_keep_above(GTK_WINDOW(FWidget), TRUE);
    if (onMonitor)
        gtk_window_fullscreen_on_monitor(GTK_WINDOW(FWidget), gtk_widget_get_screen(FWidget),
                                         index);
    else
        gtk_window_fullscreen(GTK_WINDOW(FWidget));
    HideCursor();
    FGrabOnMap = grab;
}

void TGtkFormWindow::HideCursor() {
    if (!FWidget)
        return;
    gtk_widget_realize(FWidget);
    GdkWindow* window = gtk_widget_get_window(FWidget);
    GdkCursor* blank = gdk_cursor_new_for_display(gdk_window_get_display(window), GDK_BLANK_CURSOR);
    gdk_window_set_cursor(window, blank);
    g_object_unref(blank);
}

}  // namespace lum::gtk
