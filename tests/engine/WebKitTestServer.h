// A web server on 127.0.0.1 inside the test's own GLib main loop: the pages of
// tests/pages and the hostile answers the capture must survive (error
// statuses, downloads, an image, answers that never come or never end).
#pragma once

#include <libsoup/soup.h>

#include <string>

namespace lum {

class TWebKitTestServer {
  public:
    // A plain server, or (secure) one that answers only HTTPS, with a
    // certificate of its own that no authority signed (made by openssl).
    explicit TWebKitTestServer(bool secure = false);
    ~TWebKitTestServer();
    TWebKitTestServer(const TWebKitTestServer&) = delete;
    TWebKitTestServer& operator=(const TWebKitTestServer&) = delete;

    // "http://127.0.0.1:<port>" + path ("https:" for a secure one). Paths:
    //   /pages/<file>     a file of tests/pages
    //   /status/<n>       HTTP status n with a small HTML body
    //   /login            asks for HTTP authentication, which it never accepts (401)
    //   /attachment       an HTML body sent as an attachment (a download)
    //   /binary           application/octet-stream
    //   /image.png        a PNG picture of kImageSize in kImageColor
    //   /slow-image.png?ms=n  the same picture, answered after n milliseconds
    //   /document.pdf     a PDF document of one empty page
    //   /hold             never answers
    //   /slow?ms=n        a small page, answered after n milliseconds
    //   /stuck.html       a page whose picture never finishes loading
    //   /html?body=...    an HTML page with the given body (URL-encoded)
    //   /keyed?body=...   a green page with the given body for a request with
    //                     the header kKeyHeader: kKeyValue, else 403
    std::string Url(const std::string& path) const;
    // A URL of this machine on which nothing listens.
    static std::string ClosedPortUrl();

    static constexpr int kImageWidth = 300;
    static constexpr int kImageHeight = 200;
    static constexpr unsigned kImageColor = 0x3366CC;
    static constexpr const char* kKeyHeader = "X-Lumenary-Key";
    static constexpr const char* kKeyValue = "open sesame: 42";

  private:
    static void Handle(SoupServer*,
                       SoupServerMessage* msg,
                       const char* path,
                       GHashTable* query,
                       gpointer self);
    void Answer(SoupServerMessage* msg, const std::string& path, GHashTable* query);

    SoupServer* FServer = nullptr;
    unsigned FPort = 0;
    bool FSecure = false;
};

}  // namespace lum
