#include "engine/WebKitSignInSession.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/WebKitDataStore.h"
#include "engine/WebKitSandbox.h"
#include "engine/WebKitSignInPrompts.h"
#include "engine/WebKitSignInWindow.h"
#include "linux/GtkApplication.h"

// The session of the sign-in windows: its run, the closing of its windows,
// pop-ups, untrusted certificates and passwords, and the cookies it keeps.

namespace lum::gtk {

namespace {

// A cookie without an expiry ends with the browser; the session is kept
// for the captures, so the sign-in keeps such cookies this long.
constexpr gint kSessionCookieSeconds = 30 * 24 * 60 * 60;

// The answers KeepCookies waits for, and the cookies the first one brings.
struct TWait {
    GMainLoop* Loop;
    GList* Cookies = nullptr;
    int Pending = 0;
};

void CookiesRead(GObject* source, GAsyncResult* result, gpointer data) {
    auto* w = static_cast<TWait*>(data);
    Guarded([&] {
        w->Cookies = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source),
                                                                  result, nullptr);
    });
    if (--w->Pending == 0)
        g_main_loop_quit(w->Loop);
}

void CookieAdded(GObject* source, GAsyncResult* result, gpointer data) {
    auto* w = static_cast<TWait*>(data);
    Guarded([&] {
        webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result, nullptr);
    });
    if (--w->Pending == 0)
        g_main_loop_quit(w->Loop);
}

// Reads every cookie of the session into wait, waiting for the answer.
void ReadCookies(WebKitCookieManager* cookies, TWait& wait) {
    wait.Pending = 1;
    webkit_cookie_manager_get_all_cookies(cookies, nullptr, CookiesRead, &wait);
    g_main_loop_run(wait.Loop);
}

// Gives each cookie without an expiry one and stores it again; each store
// is one more answer to wait for.
void ExtendSessionCookies(WebKitCookieManager* cookies, TWait& wait) {
    for (GList* item = wait.Cookies; item; item = item->next) {
        auto* cookie = static_cast<SoupCookie*>(item->data);
        if (soup_cookie_get_expires(cookie))
            continue;
        soup_cookie_set_max_age(cookie, kSessionCookieSeconds);
        ++wait.Pending;
        webkit_cookie_manager_add_cookie(cookies, cookie, nullptr, CookieAdded, &wait);
    }
}

// Cookies without an expiry get one, then a last round trip to the network
// process: when it answers, every cookie is in the cookie file. Each answer
// is counted, whatever its callback meets, so the wait always ends.
void KeepCookies(TSession& session) {
    WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(
        webkit_web_context_get_website_data_manager(session.Context));
    TWait wait{session.Loop};
    ReadCookies(cookies, wait);
    ExtendSessionCookies(cookies, wait);
    if (wait.Pending > 0)
        g_main_loop_run(session.Loop);
    g_list_free_full(wait.Cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
}

}  // namespace

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
