// A helper of the sign-in tests, run as a process of its own:
//   serve PORTFILE [CERTFILE]
//                    a sign-in site (HTTPS with CERTFILE's certificate and key) on 127.0.0.1 (port
//                    written to PORTFILE):
//                    "/" is green when the "session" cookie is set, else red
//                    with a form; POST /login with alice/secret sets the
//                    cookie (without an expiry); /basic asks for HTTP
//                    authentication (alice/secret); /storage is green when
//                    the signed-in page's local storage is there. Runs until killed.
//   capture URL      loads URL in a web view on CreateCaptureWebContext()
//                    and prints the colour at the view's centre ("#rrggbb"),
//                    or "failed: ..." and exits 3.
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/WebKitDataStore.h"

namespace {

const char* const kSignedIn =
    "<!DOCTYPE html><html><head><title>Signed in</title></head>"
    "<body style=\"margin:0;background:#00b000\"><div style=\"width:1000px;height:700px\">Welcome</div>"
    "<script>localStorage.setItem('kept', 'yes')</script></body></html>";
// Green when the site's local storage holds what the signed-in page stored.
const char* const kStorage =
    "<!DOCTYPE html><html><head><title>Storage</title></head><body style=\"margin:0\">"
    "<script>document.body.style.background = localStorage.getItem('kept') == 'yes' ? "
    "'#00b000' : '#c00000';</script></body></html>";
const char* const kSignInForm =
    "<!DOCTYPE html><html><head><title>Please sign in</title></head>"
    "<body style=\"margin:0;background:#c00000\"><form method=\"post\" action=\"/login\">"
    "<input id=\"user\" name=\"user\" autofocus> <input id=\"password\" name=\"password\""
    " type=\"password\"> <input type=\"submit\" value=\"Sign in\"></form></body></html>";

// A single sign-on in a pop-up: /opener opens /popup, whose form signs in
// and then reloads its opener and closes itself (/done).
const char* const kOpener =
    "<!DOCTYPE html><html><head><title>Opener</title></head><body style=\"margin:0;"
    "background:#c00000\"><button autofocus onclick=\"window.open('/popup','sso',"
    "'width=500,height=400')\">Sign in with SSO</button></body></html>";
const char* const kPopup =
    "<!DOCTYPE html><html><head><title>SSO sign in</title></head><body>"
    "<form method=\"post\" action=\"/login?next=done\"><input name=\"user\" autofocus>"
    " <input name=\"password\" type=\"password\"> <input type=\"submit\"></form></body></html>";
const char* const kDone =
    "<!DOCTYPE html><html><head><title>Done</title></head><body><script>"
    "window.opener.location.reload(); window.close();</script></body></html>";

void Answer(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable* query, gpointer) {
    SoupMessageHeaders* request = soup_server_message_get_request_headers(msg);
    SoupMessageHeaders* response = soup_server_message_get_response_headers(msg);
    const std::string method = soup_server_message_get_method(msg);
    if (std::strcmp(path, "/login") == 0 && method == "POST") {
        SoupMessageBody* body = soup_server_message_get_request_body(msg);
        GBytes* bytes = soup_message_body_flatten(body);
        const std::string form(static_cast<const char*>(g_bytes_get_data(bytes, nullptr)),
                               g_bytes_get_size(bytes));
        g_bytes_unref(bytes);
        if (form == "user=alice&password=secret")
            soup_message_headers_append(response, "Set-Cookie", "session=ok; Path=/; HttpOnly");
        const char* next =
            query ? static_cast<const char*>(g_hash_table_lookup(query, "next")) : nullptr;
        const bool done = next && std::strcmp(next, "done") == 0;
        soup_server_message_set_redirect(msg, SOUP_STATUS_SEE_OTHER, done ? "/done" : "/");
        return;
    }
    if (std::strcmp(path, "/basic") == 0) {  // HTTP authentication, alice/secret
        const char* authorization = soup_message_headers_get_one(request, "Authorization");
        if (!authorization || std::strcmp(authorization, "Basic YWxpY2U6c2VjcmV0") != 0) {
            soup_message_headers_append(response, "WWW-Authenticate", "Basic realm=\"Intranet\"");
            soup_server_message_set_status(msg, SOUP_STATUS_UNAUTHORIZED, nullptr);
            return;
        }
        soup_server_message_set_status(msg, SOUP_STATUS_OK, nullptr);
        soup_server_message_set_response(msg, "text/html; charset=utf-8", SOUP_MEMORY_STATIC,
                                         kSignedIn, std::strlen(kSignedIn));
        return;
    }
    const char* cookie = soup_message_headers_get_one(request, "Cookie");
    const bool signedIn = cookie && std::strstr(cookie, "session=ok");
    const char* page = signedIn ? kSignedIn : kSignInForm;
    if (std::strcmp(path, "/storage") == 0)
        page = kStorage;
    else if (std::strcmp(path, "/popup") == 0)
        page = kPopup;
    else if (std::strcmp(path, "/done") == 0)
        page = kDone;
    else if (std::strcmp(path, "/opener") == 0 && !signedIn)
        page = kOpener;
    soup_server_message_set_status(msg, SOUP_STATUS_OK, nullptr);
    soup_server_message_set_response(msg, "text/html; charset=utf-8", SOUP_MEMORY_STATIC, page,
                                     std::strlen(page));
}

int Serve(const char* portFile, const char* certificateFile) {
    GError* error = nullptr;
    GTlsCertificate* certificate = nullptr;
    if (certificateFile &&
        !(certificate = g_tls_certificate_new_from_file(certificateFile, &error))) {
        std::fprintf(stderr, "no certificate: %s\n", error->message);
        return 1;
    }
    SoupServer* server = soup_server_new("tls-certificate", certificate, nullptr);
    soup_server_add_handler(server, nullptr, Answer, nullptr, nullptr);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    const auto options =
        static_cast<SoupServerListenOptions>(certificate ? SOUP_SERVER_LISTEN_HTTPS : 0);
    if (!soup_server_listen(server, address, options, &error)) {
        std::fprintf(stderr, "cannot listen: %s\n", error->message);
        return 1;
    }
    GSList* uris = soup_server_get_uris(server);
    const unsigned port = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    const std::string text = std::to_string(port) + "\n";
    g_file_set_contents(portFile, text.c_str(), -1, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}

struct TCapture {
    GMainLoop* Loop = nullptr;
    std::string Result;
    int Code = 0;
};

void Snapshotted(GObject* view, GAsyncResult* result, gpointer data) {
    auto* capture = static_cast<TCapture*>(data);
    cairo_surface_t* surface =
        webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
    if (!surface) {
        capture->Result = "failed: no snapshot";
        capture->Code = 3;
    } else {
        cairo_surface_flush(surface);
        const int x = cairo_image_surface_get_width(surface) / 2;
        const int y = cairo_image_surface_get_height(surface) / 2;
        const unsigned char* pixel = cairo_image_surface_get_data(surface) +
                                     y * cairo_image_surface_get_stride(surface) + x * 4;
        char text[16];
        std::snprintf(text, sizeof text, "#%02x%02x%02x", pixel[2], pixel[1], pixel[0]);
        capture->Result = text;
        cairo_surface_destroy(surface);
    }
    g_main_loop_quit(capture->Loop);
}

int Capture(const char* url) {
    if (!gtk_init_check(nullptr, nullptr))
        return 1;
    TCapture capture;
    capture.Loop = g_main_loop_new(nullptr, FALSE);
    WebKitWebContext* context = lum::gtk::CreateCaptureWebContext();
    auto* view =
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, nullptr));
    GtkWidget* window = gtk_offscreen_window_new();
    gtk_widget_set_size_request(GTK_WIDGET(view), 800, 600);
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
    gtk_widget_show_all(window);
    g_signal_connect(view, "load-failed",
                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                    gpointer data) -> gboolean {
                         auto* c = static_cast<TCapture*>(data);
                         c->Result = std::string("failed: ") + error->message;
                         c->Code = 3;
                         g_main_loop_quit(c->Loop);
                         return TRUE;
                     }),
                     &capture);
    g_signal_connect(
        view, "load-changed",
        G_CALLBACK(+[](WebKitWebView* v, WebKitLoadEvent event, gpointer data) {
            if (event == WEBKIT_LOAD_FINISHED && static_cast<TCapture*>(data)->Code == 0)
                webkit_web_view_get_snapshot(v, WEBKIT_SNAPSHOT_REGION_VISIBLE,
                                             WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr, Snapshotted,
                                             data);
        }),
        &capture);
    g_timeout_add_seconds(
        30,
        +[](gpointer data) -> gboolean {
            auto* c = static_cast<TCapture*>(data);
            c->Result = "failed: timed out";
            c->Code = 3;
            g_main_loop_quit(c->Loop);
            return G_SOURCE_REMOVE;
        },
        &capture);
    webkit_web_view_load_uri(view, url);
    g_main_loop_run(capture.Loop);
    std::printf("%s\n", capture.Result.c_str());
    gtk_widget_destroy(window);
    g_object_unref(context);
    return capture.Code;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "serve") == 0)
        return Serve(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc == 3 && std::strcmp(argv[1], "capture") == 0)
        return Capture(argv[2]);
    std::fprintf(stderr, "usage: %s serve PORTFILE [CERTFILE] | capture URL\n", argv[0]);
    return 2;
}
