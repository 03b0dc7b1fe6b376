// The capture's web context on the kept session against a real HTTPS server
// on 127.0.0.1 with a self-signed certificate: refused until the user trusts
// it, then allowed for that host only, in every later capture.
#include "engine/WebKitDataStore.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <sys/stat.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <string>

#include "linux/GtkTestSupport.h"
#include "linux/session/WebDataFolder.h"

namespace lum::gtk {
namespace {

const char* const kFingerprint =
    "64:2F:57:46:1D:21:37:C5:92:3D:89:FF:0E:05:31:56:FD:89:88:1D:C8:E3:2B:78:12:86:3D:99:EB:9F:"
    "CD:2A";

struct TOutcome {
    bool Ended = false;
    bool Finished = false;
    bool TlsError = false;
    GTlsCertificate* Certificate = nullptr;  // the refused one, when TlsError
};

class WebKitDataStore : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
        char pattern[] = "/tmp/lum-tls-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Root = pattern;
        const char* old = std::getenv("XDG_DATA_HOME");
        OldDataHome = old ? old : "";
        HadDataHome = old != nullptr;
        ::setenv("XDG_DATA_HOME", Root.c_str(), 1);
        StartServer();
    }
    void TearDown() override {
        if (Server)
            g_object_unref(Server);
        if (HadDataHome)
            ::setenv("XDG_DATA_HOME", OldDataHome.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::system(("rm -rf '" + Root + "'").c_str());
    }

    void StartServer() {
        GError* error = nullptr;
        GTlsCertificate* certificate = g_tls_certificate_new_from_file(
            LUM_SOURCE_DIR "/tests/engine/certs/self-signed.pem", &error);
        ASSERT_NE(certificate, nullptr) << (error ? error->message : "");
        Server = soup_server_new("tls-certificate", certificate, nullptr);
        g_object_unref(certificate);
        soup_server_add_handler(
            Server, nullptr,
            +[](SoupServer*, SoupServerMessage* msg, const char*, GHashTable*, gpointer) {
                static const char page[] = "<html><body style='background:#0a0'>ok</body></html>";
                soup_server_message_set_status(msg, SOUP_STATUS_OK, nullptr);
                soup_server_message_set_response(msg, "text/html", SOUP_MEMORY_STATIC, page,
                                                 sizeof page - 1);
            },
            nullptr, nullptr);
        const auto options = static_cast<SoupServerListenOptions>(SOUP_SERVER_LISTEN_IPV4_ONLY |
                                                                  SOUP_SERVER_LISTEN_HTTPS);
        ASSERT_TRUE(soup_server_listen_local(Server, 0, options, &error))
            << (error ? error->message : "");
        GSList* uris = soup_server_get_uris(Server);
        Port = g_uri_get_port(static_cast<GUri*>(uris->data));
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }

    // Loads url in a view on a new capture context, as a capture would.
    TOutcome Load(const std::string& url) {
        TOutcome outcome;
        WebKitWebContext* context = CreateCaptureWebContext();
        auto* view =
            WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, nullptr));
        g_object_ref_sink(view);
        g_signal_connect(view, "load-failed-with-tls-errors",
                         G_CALLBACK(+[](WebKitWebView*, gchar*, GTlsCertificate* certificate,
                                        GTlsCertificateFlags, gpointer data) -> gboolean {
                             auto* o = static_cast<TOutcome*>(data);
                             o->TlsError = true;
                             o->Certificate = G_TLS_CERTIFICATE(g_object_ref(certificate));
                             o->Ended = true;
                             return FALSE;
                         }),
                         &outcome);
        g_signal_connect(view, "load-failed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar*, GError*,
                                        gpointer data) -> gboolean {
                             static_cast<TOutcome*>(data)->Ended = true;
                             return TRUE;
                         }),
                         &outcome);
        g_signal_connect(view, "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                             auto* o = static_cast<TOutcome*>(data);
                             if (event == WEBKIT_LOAD_FINISHED && !o->Ended) {
                                 o->Finished = true;
                                 o->Ended = true;
                             }
                         }),
                         &outcome);
        webkit_web_view_load_uri(view, url.c_str());
        EXPECT_TRUE(testing::RunUntil([&] { return outcome.Ended; }, 30000)) << url;
        g_signal_handlers_disconnect_by_data(view, &outcome);
        g_object_unref(view);
        g_object_unref(context);
        return outcome;
    }

    std::string Url(const char* host) const {
        return "https://" + std::string(host) + ":" + std::to_string(Port) + "/";
    }

    std::string Root;
    std::string OldDataHome;
    bool HadDataHome = false;
    SoupServer* Server = nullptr;
    unsigned Port = 0;
};

TEST_F(WebKitDataStore, AnUntrustedCertificateFailsTheCapture) {
    const TOutcome outcome = Load(Url("127.0.0.1"));
    EXPECT_TRUE(outcome.TlsError);
    EXPECT_FALSE(outcome.Finished);
    ASSERT_NE(outcome.Certificate, nullptr);
    EXPECT_EQ(CertificateFingerprint(outcome.Certificate), kFingerprint);
    g_object_unref(outcome.Certificate);
    // The capture made the session folder, private.
    struct stat info {};
    ASSERT_EQ(::stat((Root + "/lumenary/web").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(WebKitDataStore, ATrustedCertificateLoadsForItsHostOnlyInLaterCaptures) {
    const TOutcome refused = Load(Url("127.0.0.1"));
    ASSERT_NE(refused.Certificate, nullptr);
    std::string error;
    ASSERT_TRUE(
        TrustCertificate(nullptr, DefaultWebDataDir(), "127.0.0.1", refused.Certificate, error))
        << error;
    g_object_unref(refused.Certificate);
    struct stat info {};
    ASSERT_EQ(::stat((Root + "/lumenary/web/certificates/127.0.0.1.pem").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    const TOutcome trusted = Load(Url("127.0.0.1"));
    EXPECT_TRUE(trusted.Finished);
    EXPECT_FALSE(trusted.TlsError);
    // The same server under another name is another host: still refused.
    const TOutcome other = Load(Url("localhost"));
    EXPECT_FALSE(other.Finished);
    EXPECT_TRUE(other.TlsError);
    if (other.Certificate)
        g_object_unref(other.Certificate);
}

TEST_F(WebKitDataStore, AHostileHostNameIsNotTrusted) {
    const TOutcome refused = Load(Url("127.0.0.1"));
    ASSERT_NE(refused.Certificate, nullptr);
    std::string error;
    EXPECT_FALSE(
        TrustCertificate(nullptr, DefaultWebDataDir(), "../../x", refused.Certificate, error));
    EXPECT_FALSE(error.empty());
    g_object_unref(refused.Certificate);
    EXPECT_FALSE(Load(Url("127.0.0.1")).Finished);
}

}  // namespace
}  // namespace lum::gtk
