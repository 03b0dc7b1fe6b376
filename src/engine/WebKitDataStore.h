// The kept web session in WebKit: one persistent website-data store (site
// data, cache and an SQLite cookie file under the web data folder) and the
// certificates the user trusted, for the sign-in window and the capture.
// Nothing here shows a dialog; failures fall back or are results.
#pragma once

#include <string>

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _GTlsCertificate GTlsCertificate;

namespace lum::gtk {

// A new web context on the store in dir (a CreateWebDataDir folder): site
// data in dir/data, cache in dir/cache, cookies in dir/cookies.sqlite, and
// every certificate of dir/certificates allowed for its own host only. TLS
// errors are never ignored otherwise. The caller owns the reference.
WebKitWebContext* CreateWebContextAt(const std::string& dir);

// The capture's context: CreateWebContextAt of the user's web data folder
// (made 0700 when missing). When the folder cannot be made, says why on
// standard error and gives an ephemeral context, so the capture still runs.
// Only one capture program uses the store at a time: the capture lock
// (gtk/CaptureLock) that the program holds before it starts one covers it.
WebKitWebContext* CreateCaptureWebContext();

// The certificate's SHA-256 fingerprint, "AB:CD:..." (95 characters); empty
// when it has no DER data.
std::string CertificateFingerprint(GTlsCertificate* certificate);

// Keeps certificate as trusted for host (dir/certificates/<host>.pem) and
// allows it for host on context (may be nullptr). False with error set when
// the host name or the file is refused.
bool TrustCertificate(WebKitWebContext* context,
                      const std::string& dir,
                      const std::string& host,
                      GTlsCertificate* certificate,
                      std::string& error);

}  // namespace lum::gtk
