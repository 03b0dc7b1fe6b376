#include "engine/WebKitFailure.h"

#include <gio/gio.h>
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

namespace lum {

namespace {

// WebKit passes the errors of the network library on with their own domain
// and code (GIO's socket and resolver errors, GnuTLS's certificate errors).
TPageFailureKind IoFailureKind(int code) {
    switch (code) {
        case G_IO_ERROR_CONNECTION_REFUSED:
        case G_IO_ERROR_HOST_UNREACHABLE:
        case G_IO_ERROR_NETWORK_UNREACHABLE:
        case G_IO_ERROR_PROXY_FAILED:
        case G_IO_ERROR_PERMISSION_DENIED:  // a firewall that forbids the connection
            return TPageFailureKind::pfRefused;
        case G_IO_ERROR_HOST_NOT_FOUND:
            return TPageFailureKind::pfNameNotFound;
        case G_IO_ERROR_TIMED_OUT:
            return TPageFailureKind::pfNoAnswer;
        default:
            return TPageFailureKind::pfOther;
    }
}

}  // namespace

TPageFailureKind FailureKindOf(GQuark domain, int code) {
    if (domain == G_IO_ERROR)
        return IoFailureKind(code);
    if (domain == G_RESOLVER_ERROR)
        return code == G_RESOLVER_ERROR_INTERNAL ? TPageFailureKind::pfOther
                                                 : TPageFailureKind::pfNameNotFound;
    if (domain == G_TLS_ERROR)
        return code == G_TLS_ERROR_BAD_CERTIFICATE ? TPageFailureKind::pfCertificate
                                                   : TPageFailureKind::pfOther;
    if (domain == WEBKIT_POLICY_ERROR) {
        if (code == WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE)
            return TPageFailureKind::pfDownload;
        // A port WebKit never connects to (a mail or a file server's).
        if (code == WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT)
            return TPageFailureKind::pfRefused;
        return TPageFailureKind::pfOther;
    }
    if (domain == WEBKIT_DOWNLOAD_ERROR)
        return TPageFailureKind::pfDownload;
    return TPageFailureKind::pfOther;
}

TPageFailure FailureOf(const GError* error) {
    if (!error)
        return TPageFailure{TPageFailureKind::pfOther, 0, "the page could not be loaded"};
    return TPageFailure{FailureKindOf(error->domain, error->code), 0,
                        error->message ? error->message : ""};
}

TPageFailure StatusFailure(unsigned status) {
    const char* words = soup_status_get_phrase(status);
    std::string detail = "HTTP " + std::to_string(status);
    if (words && *words)
        detail += std::string(" ") + words;
    return TPageFailure{TPageFailureKind::pfHttpStatus, static_cast<std::int32_t>(status), detail};
}

bool ResponseFailure(WebKitResponsePolicyDecision* decision, TPageFailure& failure) {
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    const guint status = webkit_uri_response_get_status_code(response);
    if (status >= 400) {
        failure = StatusFailure(status);
        return true;
    }
    const char* mime = webkit_uri_response_get_mime_type(response);
    const std::string kind = mime ? mime : "unknown content";
    // WebKit shows a PDF document in a viewer of its own, which draws the
    // document's pages only on screen: a picture of it is an empty viewer.
    if (g_ascii_strcasecmp(kind.c_str(), "application/pdf") == 0) {
        failure = TPageFailure{TPageFailureKind::pfOther, 0,
                               "a PDF document, which is not captured (only web pages are)"};
        return true;
    }
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    const char* disposition =
        headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
    const bool attachment = disposition && g_ascii_strncasecmp(disposition, "attachment", 10) == 0;
    if (!attachment && webkit_response_policy_decision_is_mime_type_supported(decision))
        return false;
    failure = TPageFailure{TPageFailureKind::pfDownload, 0,
                           "a download (" + kind +
                               (attachment ? ", an attachment)" : ", which WebKit does not show)")};
    return true;
}

TPageFailure BlankInsteadFailure(const std::string& requested) {
    GUri* uri = g_uri_parse(requested.c_str(), G_URI_FLAGS_NONE, nullptr);
    const std::string scheme = uri && g_uri_get_scheme(uri) ? g_uri_get_scheme(uri) : "";
    const int port = uri ? g_uri_get_port(uri) : -1;
    if (uri)
        g_uri_unref(uri);
    if ((scheme == "http" || scheme == "https") && port >= 0)
        return TPageFailure{TPageFailureKind::pfRefused, 0,
                            "WebKit does not connect to port " + std::to_string(port)};
    return TPageFailure{TPageFailureKind::pfOther, 0, "WebKit showed an empty page instead"};
}

std::string SiteOf(const std::string& url) {
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
    std::string site;
    if (uri && g_uri_get_host(uri))
        site = std::string(g_uri_get_scheme(uri)) + "://" + g_uri_get_host(uri) + ":" +
               std::to_string(g_uri_get_port(uri));
    if (uri)
        g_uri_unref(uri);
    return site;
}

std::string CertificateProblems(unsigned errors) {
    static const struct {
        unsigned Flag;
        const char* Words;
    } kProblems[] = {
        {G_TLS_CERTIFICATE_UNKNOWN_CA, "not signed by a known authority"},
        {G_TLS_CERTIFICATE_BAD_IDENTITY, "made out to another site"},
        {G_TLS_CERTIFICATE_NOT_ACTIVATED, "not valid yet"},
        {G_TLS_CERTIFICATE_EXPIRED, "expired"},
        {G_TLS_CERTIFICATE_REVOKED, "revoked"},
        {G_TLS_CERTIFICATE_INSECURE, "insecure"},
    };
    std::string text;
    for (const auto& problem : kProblems) {
        if (errors & problem.Flag)
            text += (text.empty() ? "" : ", ") + std::string(problem.Words);
    }
    return text.empty() ? "not trusted" : text;
}

}  // namespace lum
