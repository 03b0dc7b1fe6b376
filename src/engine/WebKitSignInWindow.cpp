#include "engine/WebKitSignInWindow.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "linux/GtkApplication.h"
#include "engine/WebKitDataStore.h"
#include "engine/WebKitSandbox.h"
#include "engine/WebKitSignInPrompts.h"

namespace lum::gtk {

namespace {

// A cookie without an expiry ends with the browser; the session is kept
// for the captures, so the sign-in keeps such cookies this long.
constexpr gint kSessionCookieSeconds = 30 * 24 * 60 * 60;

class TSignInWindow;

struct TSession {
    WebKitWebContext* Context = nullptr;
    std::string Dir;
    std::set<TSignInWindow*> Windows;
    GMainLoop* Loop = nullptr;
};

class TSignInWindow {
  public:
    // view: a view made for a pop-up (shown when it is ready), or nullptr
    // for a new one of the session.
    TSignInWindow(TSession& session, WebKitWebView* view);

    WebKitWebView* View() const { return FView; }
    void ShowNow() {
        gtk_widget_show_all(FWindow);
        FBar.Hide();
    }
    void Close() { gtk_widget_destroy(FWindow); }
    bool Visible() const { return gtk_widget_get_visible(FWindow); }

  private:
    GtkWidget* Button(const char* icon, const char* tip, GCallback clicked);
    void BuildToolbar(GtkWidget* box);
    void Connect();
    void UpdateTitle();
    void UpdateButtons();
    void Navigate(const std::string& url);
    bool HandleKey(const GdkEventKey* key);
    void OnTlsError(const std::string& uri,
                    GTlsCertificate* certificate,
                    GTlsCertificateFlags errors);

    // The C callbacks: each runs its part behind the program's guard, which
    // reports an exception on standard error and lets the window go on.
    static void Back(GtkButton*, gpointer self);
    static void Forward(GtkButton*, gpointer self);
    static void Reload(GtkButton*, gpointer self);
    static void AddressEntered(GtkEntry* entry, gpointer self);
    static void Destroyed(GtkWidget*, gpointer self);
    static gboolean KeyPressed(GtkWidget*, GdkEventKey* key, gpointer self);
    static void TitleChanged(GObject*, GParamSpec*, gpointer self);
    static void UriChanged(GObject*, GParamSpec*, gpointer self);
    static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean TlsError(WebKitWebView*,
                             gchar* uri,
                             GTlsCertificate* certificate,
                             GTlsCertificateFlags errors,
                             gpointer self);
    static GtkWidget* Create(WebKitWebView* view, WebKitNavigationAction*, gpointer self);
    static void ReadyToShow(WebKitWebView*, gpointer self);
    static void ViewClosed(WebKitWebView*, gpointer self);
    static gboolean Authenticate(WebKitWebView*,
                                 WebKitAuthenticationRequest* request,
                                 gpointer self);

    TSession& FSession;
    GtkWidget* FWindow = nullptr;
    WebKitWebView* FView = nullptr;
    GtkWidget* FEntry = nullptr;
    GtkWidget* FBack = nullptr;
    GtkWidget* FForward = nullptr;
    TCertificateBar FBar;
};

TSignInWindow::TSignInWindow(TSession& session, WebKitWebView* view) : FSession(session) {
    FView = view ? view
                 : WEBKIT_WEB_VIEW(
                       g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", session.Context, nullptr));
    FWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(FWindow), kSignInWindowWidth, kSignInWindowHeight);
    gtk_window_set_title(GTK_WINDOW(FWindow), "Lumenary sign-in");
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
    const std::string text = title && *title ? std::string(title) + " - Lumenary sign-in"
                                             : std::string("Lumenary sign-in");
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

void TSignInWindow::OnTlsError(const std::string& uri,
                               GTlsCertificate* certificate,
                               GTlsCertificateFlags errors) {
    const std::string host = UrlHost(uri);
    gtk_entry_set_text(GTK_ENTRY(FEntry), uri.c_str());
    const std::string fingerprint = CertificateFingerprint(certificate);
    std::fprintf(stderr, "lumenary: the certificate of %s is not trusted (SHA-256 %s)\n",
                 host.c_str(), fingerprint.c_str());
    // The bar holds the certificate until it is answered or replaced.
    std::shared_ptr<GTlsCertificate> held(G_TLS_CERTIFICATE(g_object_ref(certificate)),
                                          g_object_unref);
    FBar.Show(UntrustedCertificateText(host, fingerprint, errors), host, [this, uri, host, held] {
        std::string error;
        if (!TrustCertificate(FSession.Context, FSession.Dir, host, held.get(), error)) {
            std::fprintf(stderr, "lumenary: %s\n", error.c_str());
            return;
        }
        std::fprintf(stderr, "lumenary: trusted the certificate of %s\n", host.c_str());
        Navigate(uri);
    });
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

// The session ends with its last shown window: a pop-up that never showed
// itself goes with it.
void TSignInWindow::Destroyed(GtkWidget*, gpointer self) {
    Guarded([&] {
        auto* window = static_cast<TSignInWindow*>(self);
        TSession& session = window->FSession;
        session.Windows.erase(window);
        delete window;
        for (TSignInWindow* other : session.Windows) {
            if (other->Visible())
                return;
        }
        if (!session.Windows.empty()) {
            (*session.Windows.begin())->Close();  // comes back here
            return;
        }
        g_main_loop_quit(session.Loop);
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

// The bar says it, with no error page; when the bar cannot, WebKit's error
// page does.
gboolean TSignInWindow::TlsError(WebKitWebView*,
                                 gchar* uri,
                                 GTlsCertificate* certificate,
                                 GTlsCertificateFlags errors,
                                 gpointer self) {
    return Guarded<gboolean>(FALSE, [&]() -> gboolean {
        static_cast<TSignInWindow*>(self)->OnTlsError(uri ? uri : "", certificate, errors);
        return TRUE;
    });
}

// A pop-up (OAuth, single sign-on): a window of its own on a view related to
// this one, so it shares the session and can talk to its opener. None when
// the window cannot be made.
GtkWidget* TSignInWindow::Create(WebKitWebView* view, WebKitNavigationAction*, gpointer self) {
    return Guarded<GtkWidget*>(nullptr, [&]() -> GtkWidget* {
        auto* opener = static_cast<TSignInWindow*>(self);
        auto* popup =
            WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", view, nullptr));
        auto* window = new TSignInWindow(opener->FSession, popup);
        gtk_window_set_transient_for(GTK_WINDOW(window->FWindow), GTK_WINDOW(opener->FWindow));
        return GTK_WIDGET(popup);
    });
}

void TSignInWindow::ReadyToShow(WebKitWebView*, gpointer self) {
    Guarded([&] {
        auto* window = static_cast<TSignInWindow*>(self);
        window->ShowNow();
        gtk_widget_grab_focus(GTK_WIDGET(window->FView));
    });
}

void TSignInWindow::ViewClosed(WebKitWebView*, gpointer self) {
    Guarded([&] { static_cast<TSignInWindow*>(self)->Close(); });
}

// A request the dialog could not be made for is refused, never left waiting.
gboolean TSignInWindow::Authenticate(WebKitWebView*,
                                     WebKitAuthenticationRequest* request,
                                     gpointer self) {
    if (!Guarded(false, [&] {
            auto* window = static_cast<TSignInWindow*>(self);
            AskCredentials(GTK_WINDOW(window->FWindow), request, window->FSession.Dir);
            return true;
        }))
        webkit_authentication_request_cancel(request);
    return TRUE;
}

// Cookies without an expiry get one, then a last round trip to the network
// process: when it answers, every cookie is in the cookie file. Each answer
// is counted, whatever its callback meets, so the wait always ends.
void KeepCookies(TSession& session) {
    WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(
        webkit_web_context_get_website_data_manager(session.Context));
    struct TWait {
        GMainLoop* Loop;
        GList* Cookies = nullptr;
        int Pending = 0;
    } wait{session.Loop};
    wait.Pending = 1;
    webkit_cookie_manager_get_all_cookies(
        cookies, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
            auto* w = static_cast<TWait*>(data);
            Guarded([&] {
                w->Cookies = webkit_cookie_manager_get_all_cookies_finish(
                    WEBKIT_COOKIE_MANAGER(source), result, nullptr);
            });
            if (--w->Pending == 0)
                g_main_loop_quit(w->Loop);
        },
        &wait);
    g_main_loop_run(session.Loop);
    for (GList* item = wait.Cookies; item; item = item->next) {
        auto* cookie = static_cast<SoupCookie*>(item->data);
        if (soup_cookie_get_expires(cookie))
            continue;
        soup_cookie_set_max_age(cookie, kSessionCookieSeconds);
        ++wait.Pending;
        webkit_cookie_manager_add_cookie(
            cookies, cookie, nullptr,
            +[](GObject* source, GAsyncResult* result, gpointer data) {
                auto* w = static_cast<TWait*>(data);
                Guarded([&] {
                    webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result,
                                                            nullptr);
                });
                if (--w->Pending == 0)
                    g_main_loop_quit(w->Loop);
            },
            &wait);
    }
    if (wait.Pending > 0)
        g_main_loop_run(session.Loop);
    g_list_free_full(wait.Cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
}

}  // namespace

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

int RunSignInWindows(const std::string& dir, const std::string& url) {
    // Signing in runs pages of the network like a capture does: in the
    // sandbox, or not at all (the caller reports the reason).
    CheckPageSandbox();
    TSession session;
    session.Dir = dir;
    session.Context = CreateWebContextAt(dir);
    session.Loop = g_main_loop_new(nullptr, FALSE);
    auto* window = new TSignInWindow(session, nullptr);
    window->ShowNow();
    gtk_widget_grab_focus(GTK_WIDGET(window->View()));
    webkit_web_view_load_uri(window->View(), url.c_str());
    g_main_loop_run(session.Loop);
    KeepCookies(session);
    g_object_unref(session.Context);
    g_main_loop_unref(session.Loop);
    return 0;
}

}  // namespace lum::gtk
