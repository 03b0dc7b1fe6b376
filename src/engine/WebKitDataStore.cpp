#include "engine/WebKitDataStore.h"

#include <webkit2/webkit2.h>

#include <cstdio>
#include <exception>

#include "linux/session/WebDataFolder.h"

namespace lum::gtk {

namespace {

void AllowTrusted(WebKitWebContext* context, const std::string& dir) {
    for (const TTrustedCertificate& trusted : LoadTrustedCertificates(dir)) {
        GError* error = nullptr;
        GTlsCertificate* certificate =
            g_tls_certificate_new_from_pem(trusted.Pem.c_str(), -1, &error);
        if (!certificate) {
            std::fprintf(stderr, "lumenary: the certificate kept for %s cannot be read: %s\n",
                         trusted.Host.c_str(), error ? error->message : "?");
            g_clear_error(&error);
            continue;
        }
        webkit_web_context_allow_tls_certificate_for_host(context, certificate,
                                                          trusted.Host.c_str());
        g_object_unref(certificate);
    }
}

}  // namespace

WebKitWebContext* CreateWebContextAt(const std::string& dir) {
    const std::string data = dir + "data";
    const std::string cache = dir + "cache";
    WebKitWebsiteDataManager* manager = WEBKIT_WEBSITE_DATA_MANAGER(
        g_object_new(WEBKIT_TYPE_WEBSITE_DATA_MANAGER, "base-data-directory", data.c_str(),
                     "base-cache-directory", cache.c_str(), nullptr));
    // A certificate error stays an error; only the certificates the user
    // trusted are allowed, each for its own host.
    webkit_website_data_manager_set_tls_errors_policy(manager, WEBKIT_TLS_ERRORS_POLICY_FAIL);
    const std::string cookies = dir + "cookies.sqlite";
    webkit_cookie_manager_set_persistent_storage(
        webkit_website_data_manager_get_cookie_manager(manager), cookies.c_str(),
        WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(manager);
    g_object_unref(manager);
    // Pages run in WebKit's sandbox: set before the context starts any page
    // process (the caller has checked that the sandbox can start here).
    webkit_web_context_set_sandbox_enabled(context, TRUE);
    AllowTrusted(context, dir);
    return context;
}

WebKitWebContext* CreateCaptureWebContext() {
    try {
        // The capture lock held by the program that starts the capture
        // keeps a second capture program off this store.
        return CreateWebContextAt(CreateWebDataDir(DefaultWebDataDir()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenary: %s; capturing without the kept web session\n", e.what());
        return webkit_web_context_new_ephemeral();
    }
}

std::string CertificateFingerprint(GTlsCertificate* certificate) {
    GByteArray* der = nullptr;
    g_object_get(certificate, "certificate", &der, nullptr);
    if (!der)
        return {};
    gchar* hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len);
    g_byte_array_unref(der);
    std::string text;
    for (const gchar* p = hex; *p; p += 2) {
        if (!text.empty())
            text += ':';
        text += static_cast<char>(g_ascii_toupper(p[0]));
        text += static_cast<char>(g_ascii_toupper(p[1]));
    }
    g_free(hex);
    return text;
}

bool TrustCertificate(WebKitWebContext* context,
                      const std::string& dir,
                      const std::string& host,
                      GTlsCertificate* certificate,
                      std::string& error) {
    gchar* pem = nullptr;
    g_object_get(certificate, "certificate-pem", &pem, nullptr);
    if (!pem) {
        error = "the certificate has no PEM form";
        return false;
    }
    try {
        SaveTrustedCertificate(dir, host, pem);
    } catch (const std::exception& e) {
        g_free(pem);
        error = e.what();
        return false;
    }
    g_free(pem);
    if (context)
        webkit_web_context_allow_tls_certificate_for_host(context, certificate,
                                                          CertificateHostName(host).c_str());
    return true;
}

}  // namespace lum::gtk
