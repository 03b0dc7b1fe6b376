// Driving GTK windows from tests: real key and focus events, the message
// box on screen, and steps that run inside whatever modal loop is running.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <vector>

namespace lum::gtk {

// Opens the display for GTK, waiting up to 5 s for an X server that is
// still starting; false when there is none.
inline bool OpenTestDisplay() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (gtk_init_check(nullptr, nullptr))
            return true;
        g_usleep(100 * 1000);
    }
    return false;
}

// A key pressed on the dialog, delivered as GTK delivers one from X.
inline void PressKey(GtkWidget* window, guint keyval, GdkModifierType state = GdkModifierType(0)) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.keyval = keyval;
    event->key.state = state;
    event->key.time = GDK_CURRENT_TIME;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                          keyval, &keys, &count) &&
        count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// The dialog gets the keyboard focus of the display, as a window manager
// gives it; GTK moves the focus between buttons only in such a window.
inline void FocusIn(GtkWidget* window) {
    GdkEvent* event = gdk_event_new(GDK_FOCUS_CHANGE);
    event->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->focus_change.in = TRUE;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// The message dialog open now, if any.
inline GtkWidget* OpenMessageBox() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item; item = item->next) {
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data)))
            found = GTK_WIDGET(item->data);
    }
    g_list_free(windows);
    return found;
}

// Runs steps one per tick of a 20 ms timer inside whatever modal loop is
// running (the dialog's, or a message box's within it).
class TScript {
  public:
    explicit TScript(std::vector<std::function<void()>> steps)
        : FSteps(steps.begin(), steps.end()) {
        FTimer = g_timeout_add(20, &TScript::Tick, this);
        // A step that opens a message box runs the next steps inside it.
        g_source_set_can_recurse(g_main_context_find_source_by_id(nullptr, FTimer), TRUE);
    }
    ~TScript() { g_source_remove(FTimer); }
    bool Done() const { return FSteps.empty(); }

  private:
    static gboolean Tick(gpointer data) {
        auto* self = static_cast<TScript*>(data);
        if (!self->FSteps.empty()) {
            auto step = std::move(self->FSteps.front());
            self->FSteps.pop_front();
            step();
        }
        return G_SOURCE_CONTINUE;
    }
    std::deque<std::function<void()>> FSteps;
    guint FTimer = 0;
};

}  // namespace lum::gtk
