#include "engine/WebKitTestServer.h"

#include <cairo.h>
#include <gio/gio.h>
#include <glib/gstdio.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lum {

namespace {

void Reply(SoupServerMessage* msg, unsigned status, const char* type, const std::string& body) {
    soup_server_message_set_status(msg, status, nullptr);
    soup_server_message_set_response(msg, type, SOUP_MEMORY_COPY, body.data(), body.size());
}

std::string ReadPage(const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos)
        return "";
    std::ifstream in(std::string(LUM_SOURCE_DIR) + "/tests/pages/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::string MakePng() {
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, TWebKitTestServer::kImageWidth, TWebKitTestServer::kImageHeight);
    cairo_t* cr = cairo_create(surface);
    const unsigned c = TWebKitTestServer::kImageColor;
    cairo_set_source_rgb(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         (c & 0xFF) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(surface, AppendPng, &png);
    cairo_surface_destroy(surface);
    return png;
}

// A certificate for 127.0.0.1 that no authority signed, made by openssl in a
// folder of its own that is gone again afterwards.
GTlsCertificate* MakeSelfSignedCertificate() {
    gchar* dir = g_dir_make_tmp("lumenary-tls-XXXXXX", nullptr);
    if (!dir)
        throw std::runtime_error("test server: no temporary folder");
    const std::string cert = std::string(dir) + "/cert.pem";
    const std::string key = std::string(dir) + "/key.pem";
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 "
        "-subj /CN=127.0.0.1 -keyout " +
        key + " -out " + cert;
    gint status = -1;
    GError* error = nullptr;
    gchar* said = nullptr;  // openssl's progress, on standard error
    g_spawn_command_line_sync(command.c_str(), nullptr, &said, &status, &error);
    g_free(said);
    g_clear_error(&error);
    GTlsCertificate* certificate =
        g_tls_certificate_new_from_files(cert.c_str(), key.c_str(), &error);
    const std::string why = error ? error->message : "";
    g_clear_error(&error);
    g_remove(cert.c_str());
    g_remove(key.c_str());
    g_rmdir(dir);
    g_free(dir);
    if (!certificate)
        throw std::runtime_error("test server: no certificate from openssl: " + why);
    return certificate;
}

gboolean AnswerLater(gpointer msg) {
    soup_server_message_unpause(static_cast<SoupServerMessage*>(msg));
    g_object_unref(msg);
    return G_SOURCE_REMOVE;
}

}  // namespace

TWebKitTestServer::TWebKitTestServer(bool secure) : FSecure(secure) {
    GTlsCertificate* certificate = secure ? MakeSelfSignedCertificate() : nullptr;
    FServer = secure ? soup_server_new("tls-certificate", certificate, nullptr)
                     : soup_server_new(nullptr, nullptr);
    if (certificate)
        g_object_unref(certificate);
    soup_server_add_handler(FServer, nullptr, &TWebKitTestServer::Handle, this, nullptr);
    GError* error = nullptr;
    const auto options = static_cast<SoupServerListenOptions>(
        SOUP_SERVER_LISTEN_IPV4_ONLY | (secure ? SOUP_SERVER_LISTEN_HTTPS : 0));
    if (!soup_server_listen_local(FServer, 0, options, &error)) {
        const std::string message = error ? error->message : "?";
        g_clear_error(&error);
        g_object_unref(FServer);
        throw std::runtime_error("test server: " + message);
    }
    GSList* uris = soup_server_get_uris(FServer);
    FPort = static_cast<unsigned>(g_uri_get_port(static_cast<GUri*>(uris->data)));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

TWebKitTestServer::~TWebKitTestServer() {
    // Held answers end with the server's connections.
    soup_server_disconnect(FServer);
    g_object_unref(FServer);
}

std::string TWebKitTestServer::Url(const std::string& path) const {
    return (FSecure ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(FPort) + path;
}

std::string TWebKitTestServer::ClosedPortUrl() {
    // Take a free port and give it back: nothing listens there afterwards.
    GSocket* socket =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* any = g_inet_socket_address_new(loopback, 0);
    g_socket_bind(socket, any, TRUE, nullptr);
    GSocketAddress* bound = g_socket_get_local_address(socket, nullptr);
    const guint16 port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
    g_object_unref(bound);
    g_object_unref(any);
    g_object_unref(loopback);
    g_socket_close(socket, nullptr);
    g_object_unref(socket);
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

void TWebKitTestServer::Handle(SoupServer*,
                               SoupServerMessage* msg,
                               const char* path,
                               GHashTable* query,
                               gpointer self) {
    static_cast<TWebKitTestServer*>(self)->Answer(msg, path ? path : "", query);
}

void TWebKitTestServer::Answer(SoupServerMessage* msg, const std::string& path, GHashTable* query) {
    const char* kHtml = "text/html; charset=utf-8";
    if (path.rfind("/pages/", 0) == 0) {
        const std::string page = ReadPage(path.substr(7));
        if (page.empty())
            Reply(msg, 404, kHtml, "<p>no such page</p>");
        else
            Reply(msg, 200, kHtml, page);
    } else if (path.rfind("/status/", 0) == 0) {
        const unsigned status = static_cast<unsigned>(std::stoul("0" + path.substr(8)));
        Reply(msg, status, kHtml, "<h1>Status " + std::to_string(status) + "</h1>");
    } else if (path == "/login") {
        Reply(msg, 401, kHtml, "<h1>Sign in first</h1>");
        soup_message_headers_append(soup_server_message_get_response_headers(msg),
                                    "WWW-Authenticate", "Basic realm=\"Test\"");
    } else if (path == "/attachment") {
        Reply(msg, 200, kHtml, "<p>saved, not shown</p>");
        soup_message_headers_append(soup_server_message_get_response_headers(msg),
                                    "Content-Disposition", "attachment; filename=\"page.html\"");
    } else if (path == "/binary") {
        Reply(msg, 200, "application/octet-stream", std::string(4096, '\x01'));
    } else if (path == "/document.pdf") {
        Reply(msg, 200, "application/pdf",
              "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
              "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
              "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 200]>>endobj\n"
              "trailer<</Root 1 0 R>>\n%%EOF\n");
    } else if (path == "/image.png") {
        Reply(msg, 200, "image/png", MakePng());
    } else if (path == "/slow-image.png") {
        const char* ms =
            query ? static_cast<const char*>(g_hash_table_lookup(query, "ms")) : nullptr;
        Reply(msg, 200, "image/png", MakePng());
        soup_server_message_pause(msg);
        g_timeout_add(static_cast<guint>(std::stoul(ms ? ms : "0")), AnswerLater,
                      g_object_ref(msg));
    } else if (path == "/hold") {
        soup_server_message_pause(msg);  // until the server goes
    } else if (path == "/slow") {
        const char* ms =
            query ? static_cast<const char*>(g_hash_table_lookup(query, "ms")) : nullptr;
        Reply(msg, 200, kHtml,
              "<!DOCTYPE html><html><body style='margin:0'>"
              "<div style='height:1234px;background:#00ff00'></div></body></html>");
        soup_server_message_pause(msg);
        g_timeout_add(static_cast<guint>(std::stoul(ms ? ms : "0")), AnswerLater,
                      g_object_ref(msg));
    } else if (path == "/stuck.html") {
        Reply(msg, 200, kHtml,
              "<!DOCTYPE html><html><body style='margin:0'>"
              "<div style='height:300px;background:#00ff00'></div>"
              "<img src='/hold' width='10' height='10'></body></html>");
    } else if (path == "/keyed") {
        const char* key =
            soup_message_headers_get_one(soup_server_message_get_request_headers(msg), kKeyHeader);
        const char* body =
            query ? static_cast<const char*>(g_hash_table_lookup(query, "body")) : nullptr;
        if (key && std::string(key) == kKeyValue)
            Reply(msg, 200, kHtml,
                  std::string("<!DOCTYPE html><html><body style='margin:0;background:#00c800'>") +
                      (body ? body : "") + "</body></html>");
        else
            Reply(msg, 403, kHtml, "<h1>Forbidden without the key</h1>");
    } else if (path == "/html") {
        const char* body =
            query ? static_cast<const char*>(g_hash_table_lookup(query, "body")) : nullptr;
        Reply(msg, 200, kHtml,
              std::string("<!DOCTYPE html><html><body>") + (body ? body : "") + "</body></html>");
    } else {
        Reply(msg, 404, kHtml, "<p>not found</p>");
    }
}

}  // namespace lum
