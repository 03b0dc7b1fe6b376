#include "engine/WebKitSignInWindow.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "engine/WebKitSignInSession.h"
#include "linux/GtkApplication.h"
#include "settings/SignInUrl.h"

// A sign-in window itself: its widgets, toolbar, title and keys, and what the
// address entry's text comes to.

namespace lum::gtk {

TSignInWindow::TSignInWindow(TSession& session, WebKitWebView* view) : FSession(session) {
    FView = view ? view
                 : WEBKIT_WEB_VIEW(
                       g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", session.Context, nullptr));
    FWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(FWindow), kSignInWindowWidth, kSignInWindowHeight);
    gtk_window_set_title(GTK_WINDOW(FWindow), kSignInWindowName);
    gtk_window_set_icon_name(GTK_WINDOW(FWindow), "lumenary");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    BuildToolbar(box);
    gtk_box_pack_start(GTK_BOX(box), FBar.Widget(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(FView), TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(FWindow), box);
    FSession.Windows.insert(this);
    Connect();
    UpdateButtons();
}

GtkWidget* TSignInWindow::Button(const char* icon, const char* tip, GCallback clicked) {
    GtkWidget* button = gtk_button_new_from_icon_name(icon, GTK_ICON_SIZE_BUTTON);
    gtk_widget_set_tooltip_text(button, tip);
    gtk_widget_set_can_focus(button, FALSE);  // Tab stays in the page and the entry
    g_signal_connect(button, "clicked", clicked, this);
    return button;
}

void TSignInWindow::BuildToolbar(GtkWidget* box) {
    GtkWidget* bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_container_set_border_width(GTK_CONTAINER(bar), 4);
    FBack = Button("go-previous", "戻る (Alt+←)", G_CALLBACK(Back));
    FForward = Button("go-next", "進む (Alt+→)", G_CALLBACK(Forward));
    GtkWidget* reload = Button("view-refresh", "再読み込み (F5)", G_CALLBACK(Reload));
    FEntry = gtk_entry_new();
    gtk_entry_set_input_purpose(GTK_ENTRY(FEntry), GTK_INPUT_PURPOSE_URL);
    gtk_box_pack_start(GTK_BOX(bar), FBack, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(bar), FForward, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(bar), reload, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(bar), FEntry, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
    g_signal_connect(FEntry, "activate", G_CALLBACK(AddressEntered), this);
}

void TSignInWindow::Connect() {
    g_signal_connect(FWindow, "destroy", G_CALLBACK(Destroyed), this);
    g_signal_connect(FWindow, "key-press-event", G_CALLBACK(KeyPressed), this);
    g_signal_connect(FView, "notify::title", G_CALLBACK(TitleChanged), this);
    g_signal_connect(FView, "notify::uri", G_CALLBACK(UriChanged), this);
    g_signal_connect(FView, "load-changed", G_CALLBACK(LoadChanged), this);
    g_signal_connect(FView, "load-failed-with-tls-errors", G_CALLBACK(TlsError), this);
    g_signal_connect(FView, "create", G_CALLBACK(Create), this);
    g_signal_connect(FView, "ready-to-show", G_CALLBACK(ReadyToShow), this);
    g_signal_connect(FView, "close", G_CALLBACK(ViewClosed), this);
    g_signal_connect(FView, "authenticate", G_CALLBACK(Authenticate), this);
}

void TSignInWindow::UpdateTitle() {
    const gchar* title = webkit_web_view_get_title(FView);
    const std::string text = SignInWindowTitle(title ? title : "");
    gtk_window_set_title(GTK_WINDOW(FWindow), text.c_str());
}

void TSignInWindow::UpdateButtons() {
    gtk_widget_set_sensitive(FBack, webkit_web_view_can_go_back(FView));
    gtk_widget_set_sensitive(FForward, webkit_web_view_can_go_forward(FView));
}

void TSignInWindow::Navigate(const std::string& url) {
    if (url.empty())
        return;
    FBar.Hide();
    webkit_web_view_load_uri(FView, url.c_str());
    gtk_widget_grab_focus(GTK_WIDGET(FView));
}

// The keys of a browser that a web view does not handle itself.
bool TSignInWindow::HandleKey(const GdkEventKey* key) {
    const guint mods = key->state & gtk_accelerator_get_default_mod_mask();
    const guint k = gdk_keyval_to_lower(key->keyval);
    if (mods == GDK_CONTROL_MASK && k == GDK_KEY_w) {
        Close();
    } else if ((mods == GDK_CONTROL_MASK && k == GDK_KEY_l) || (mods == 0 && k == GDK_KEY_F6)) {
        gtk_widget_grab_focus(FEntry);
    } else if ((mods == 0 && k == GDK_KEY_F5) || (mods == GDK_CONTROL_MASK && k == GDK_KEY_r)) {
        webkit_web_view_reload(FView);
    } else if (mods == GDK_MOD1_MASK && k == GDK_KEY_Left) {
        webkit_web_view_go_back(FView);
    } else if (mods == GDK_MOD1_MASK && k == GDK_KEY_Right) {
        webkit_web_view_go_forward(FView);
    } else {
        return false;
    }
    return true;
}

void TSignInWindow::Back(GtkButton*, gpointer self) {
    Guarded([&] { webkit_web_view_go_back(static_cast<TSignInWindow*>(self)->FView); });
}

void TSignInWindow::Forward(GtkButton*, gpointer self) {
    Guarded([&] { webkit_web_view_go_forward(static_cast<TSignInWindow*>(self)->FView); });
}

void TSignInWindow::Reload(GtkButton*, gpointer self) {
    Guarded([&] { webkit_web_view_reload(static_cast<TSignInWindow*>(self)->FView); });
}

void TSignInWindow::AddressEntered(GtkEntry* entry, gpointer self) {
    Guarded([&] {
        static_cast<TSignInWindow*>(self)->Navigate(AddressToUrl(gtk_entry_get_text(entry)));
    });
}

gboolean TSignInWindow::KeyPressed(GtkWidget*, GdkEventKey* key, gpointer self) {
    return Guarded<gboolean>(
        FALSE, [&]() -> gboolean { return static_cast<TSignInWindow*>(self)->HandleKey(key); });
}

void TSignInWindow::TitleChanged(GObject*, GParamSpec*, gpointer self) {
    Guarded([&] { static_cast<TSignInWindow*>(self)->UpdateTitle(); });
}

void TSignInWindow::UriChanged(GObject*, GParamSpec*, gpointer self) {
    Guarded([&] {
        auto* window = static_cast<TSignInWindow*>(self);
        const gchar* uri = webkit_web_view_get_uri(window->FView);
        // What the user is typing is left alone.
        if (!gtk_widget_has_focus(window->FEntry))
            gtk_entry_set_text(GTK_ENTRY(window->FEntry), uri ? uri : "");
    });
}

void TSignInWindow::LoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    Guarded([&] {
        auto* window = static_cast<TSignInWindow*>(self);
        if (event == WEBKIT_LOAD_COMMITTED)
            window->FBar.Hide();
        window->UpdateButtons();
    });
}

std::string AddressToUrl(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    const std::string trimmed = text.substr(begin, text.find_last_not_of(" \t\r\n") + 1 - begin);
    const char* scheme = g_uri_peek_scheme(trimmed.c_str());  // interned, lower case
    const bool hasScheme =
        scheme && (trimmed.find("://") != std::string::npos || std::string(scheme) == "about" ||
                   std::string(scheme) == "data");
    return hasScheme ? trimmed : "https://" + trimmed;
}

}  // namespace lum::gtk
