// The windows of one sign-in session and what they share (the kept web
// context, its folder, the main loop); for src/engine only. A window's
// callbacks report an exception on standard error and the window goes on.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <set>
#include <string>

#include "engine/WebKitSignInPrompts.h"

namespace lum::gtk {

class TSignInWindow;

struct TSession {
    WebKitWebContext* Context = nullptr;
    std::string Dir;
    std::set<TSignInWindow*> Windows;
    GMainLoop* Loop = nullptr;
};

// One window of the session: its toolbar and keys are in
// WebKitSignInWindow.cpp, its side of the session (closing, pop-ups,
// certificates, passwords) in WebKitSignInSession.cpp.
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

}  // namespace lum::gtk
