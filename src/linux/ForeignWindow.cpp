#include "linux/ForeignWindow.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "linux/GtkApplication.h"
#include "linux/GtkFormWindow.h"

// Xlib last: its macros (None, Status, ...) would clash with the names above.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace lum::gtk {

namespace {

// How often the foreign parent is looked at, besides its DestroyNotify.
constexpr guint kParentCheckMs = 500;

Display* DefaultXDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display) ? gdk_x11_display_get_xdisplay(display) : nullptr;
}

// Inside another program's window (XScreenSaver's) the input belongs to that
// program: a window that selects no input lets the X server pass keys and
// clicks on to the parent.
void IgnoreInput(GdkWindow* window) {
    constexpr int kInput = GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                           GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK |
                           GDK_SMOOTH_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                           GDK_TOUCH_MASK;
    gdk_window_set_events(window,
                          static_cast<GdkEventMask>(gdk_window_get_events(window) & ~kInput));
}

}  // namespace

TXErrorTrap::TXErrorTrap() {
    if (GdkDisplay* display = gdk_display_get_default(); display && GDK_IS_X11_DISPLAY(display))
        gdk_x11_display_error_trap_push(display);
}

TXErrorTrap::~TXErrorTrap() {
    if (GdkDisplay* display = gdk_display_get_default(); display && GDK_IS_X11_DISPLAY(display))
        gdk_x11_display_error_trap_pop_ignored(display);
}

bool ForeignWindowRect(std::uint64_t xid, TRect& rect) {
    Display* display = DefaultXDisplay();
    if (!display || xid == 0)
        return false;
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    Bool ok = False;
    {
        TXErrorTrap trap;
        ok = XGetWindowAttributes(display, static_cast<Window>(xid), &attributes) &&
             XTranslateCoordinates(display, static_cast<Window>(xid), DefaultRootWindow(display),
                                   0, 0, &x, &y, &child);
    }
    if (!ok)
        return false;
    rect = TRect{x, y, x + attributes.width, y + attributes.height};
    return true;
}

bool ForeignWindowSize(std::uint64_t xid, TSize& size) {
    TRect rect;
    if (!ForeignWindowRect(xid, rect))
        return false;
    size = TSize{rect.Width(), rect.Height()};
    return true;
}

std::uint64_t RootWindowId() {
    Display* display = DefaultXDisplay();
    return display ? static_cast<std::uint64_t>(DefaultRootWindow(display)) : 0;
}

void TrapXErrorsFromNowOn() {
    // The requests GTK makes for a window inside another program's window
    // fail once that window is gone, and their errors can arrive at any later
    // moment, even inside an unrelated trap of GDK's, where a handler of our
    // own would be bypassed. A trap of GDK's own that stays pushed covers
    // every request from now on: GDK's traps are a stack, and the ones GDK
    // pushes and pops later sit above this one.
    static bool trapped = false;
    GdkDisplay* display = gdk_display_get_default();
    if (trapped || !display || !GDK_IS_X11_DISPLAY(display))
        return;
    trapped = true;
    gdk_x11_display_error_trap_push(display);
}

// The parts of the form window that deal with a foreign parent.

void TGtkFormWindow::SetParentWindow(THandle parent) {
    if (!FWidget)
        return;
    gtk_widget_realize(FWidget);
    GdkWindow* own = gtk_widget_get_window(FWidget);
    StopWatchingParent();
    FParent = 0;
    const std::uint64_t root = RootWindowId();
    if (parent == 0 || parent == root)
        ReparentToRoot(own, parent == root ? root : 0);
    else
        ReparentInto(own, parent);
}

void TGtkFormWindow::ReparentToRoot(GdkWindow* own, std::uint64_t desktop) {
    TXErrorTrap trap;
    gdk_window_reparent(own, gdk_get_default_root_window(), FBounds.Left, FBounds.Top);
    if (desktop) {
        // The desktop itself: a window over the whole root, out of the
        // window manager's hands and below every other window.
        TSize size{1024, 768};
        ForeignWindowSize(desktop, size);
        gdk_window_set_override_redirect(own, TRUE);
        gtk_window_set_keep_below(GTK_WINDOW(FWidget), TRUE);
        IgnoreInput(own);
        SetBounds(TRect{0, 0, size.Width, size.Height});
    }
}

void TGtkFormWindow::ReparentInto(GdkWindow* own, THandle parent) {
    GdkDisplay* display = gtk_widget_get_display(FWidget);
    TrapXErrorsFromNowOn();
    TSize size;
    GdkWindow* foreign = nullptr;
    if (ForeignWindowSize(parent, size)) {
        TXErrorTrap trap;
        foreign = gdk_x11_window_foreign_new_for_display(display, static_cast<Window>(parent));
    }
    if (!foreign) {
        char text[96];
        std::snprintf(text, sizeof text, "the window 0x%llx does not exist",
                      static_cast<unsigned long long>(parent));
        throw Exception(text);
    }
    FParent = parent;
    FForeign = foreign;
    {
        TXErrorTrap trap;
        gdk_window_set_events(foreign, GDK_STRUCTURE_MASK);
        gdk_window_add_filter(foreign, &ParentFilter, this);
        gdk_window_reparent(own, foreign, 0, 0);
        IgnoreInput(own);
    }
    SetBounds(TRect{0, 0, size.Width, size.Height});
    WatchParent();
}

void TGtkFormWindow::WatchParent() {
    FParentCheck = g_timeout_add(kParentCheckMs, &ParentTick, this);
}

void TGtkFormWindow::StopWatchingParent() {
    if (FParentCheck)
        g_source_remove(FParentCheck);
    FParentCheck = 0;
    if (FForeign) {
        gdk_window_remove_filter(FForeign, &ParentFilter, this);
        g_object_unref(FForeign);
        FForeign = nullptr;
    }
}

gboolean TGtkFormWindow::ParentTick(gpointer data) {
    Guarded([&] { static_cast<TGtkFormWindow*>(data)->CheckParent(); });
    return G_SOURCE_CONTINUE;
}

GdkFilterReturn TGtkFormWindow::ParentFilter(GdkXEvent* xevent, GdkEvent*, gpointer data) {
    auto* self = static_cast<TGtkFormWindow*>(data);
    const auto* event = static_cast<XEvent*>(xevent);
    Guarded([&] {
        if (event->type == DestroyNotify && event->xdestroywindow.window == self->FParent)
            self->CheckParent();
        else if (event->type == ConfigureNotify && event->xconfigure.window == self->FParent)
            self->SetBounds(TRect{0, 0, event->xconfigure.width, event->xconfigure.height});
    });
    return GDK_FILTER_CONTINUE;
}

void TGtkFormWindow::CheckParent() {
    if (!FParent || FParentGone)
        return;
    TSize size;
    if (ForeignWindowSize(FParent, size)) {
        if (size.Width != FBounds.Width() || size.Height != FBounds.Height())
            SetBounds(TRect{0, 0, size.Width, size.Height});
        return;
    }
    // The parent has gone, and with it this window on the X server: the
    // widget is destroyed under an error trap, which ends the main loop for
    // the main window.
    FParentGone = true;
    if (FWidget) {
        TXErrorTrap trap;
        gtk_widget_destroy(FWidget);
    }
}

std::unique_ptr<IFormWindow> TGtkFormWindowFactory::CreateFormWindow(
    TWinControl& form,
    const TFormWindowStyle& style) {
    return std::make_unique<TGtkFormWindow>(form, style, FKeyboard);
}

TGtkFormWindow* GtkWindowOf(IFormWindow& window) {
    return dynamic_cast<TGtkFormWindow*>(&window);
}

}  // namespace lum::gtk
