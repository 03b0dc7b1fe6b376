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
