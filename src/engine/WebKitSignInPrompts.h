// What the sign-in window asks the user: whether to trust a certificate that
// is not trusted (a bar above the page, in Japanese) and the user name and
// password of a site's HTTP authentication (a dialog of its own).
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace lum::gtk {

// The Japanese text for a certificate of host that failed with errors:
// the host, the reasons and the SHA-256 fingerprint.
std::string UntrustedCertificateText(const std::string& host,
                                     const std::string& fingerprint,
                                     GTlsCertificateFlags errors);

// The host of a URL, lower case; empty when it has none.
std::string UrlHost(const std::string& url);

// The bar shown above the page for an untrusted certificate; hidden until
// Show. onTrust runs when the user trusts it.
class TCertificateBar {
  public:
    TCertificateBar();
    GtkWidget* Widget() const { return FBar; }
    void Show(const std::string& text, const std::string& host, std::function<void()> onTrust);
    void Hide();

  private:
    static void Response(GtkInfoBar*, gint response, gpointer self);

    GtkWidget* FBar = nullptr;
    GtkWidget* FLabel = nullptr;
    GtkWidget* FTrust = nullptr;
    std::function<void()> FOnTrust;
};

// Asks for the user name and password of request in a dialog over parent and
// answers the request (cancelled when the dialog is dismissed). "Remember"
// keeps them in the desktop keyring where WebKit can, and records which item
// in the web folder dir (KeptPasswords.h) for the sign-out; otherwise the
// dialog says they are forgotten when the window closes.
void AskCredentials(GtkWindow* parent,
                    WebKitAuthenticationRequest* request,
                    const std::string& dir);

}  // namespace lum::gtk
