// The form window's GTK side: the signal handlers, the constructor that
// connects them, and the timers that send the form its timer messages.
#include <algorithm>

#include "common/Form.h"
#include "linux/GtkApplication.h"
#include "linux/GtkFormWindow.h"
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

void TGtkFormWindow::StopTimers() {
    for (const auto& [id, source] : FTimers)
        g_source_remove(source);
    FTimers.clear();
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

}  // namespace lum::gtk
