// What a load error of WebKit means to the user: the kind of failure that an
// engine error (a GError's domain and code) or a refused answer comes to.
// Pure functions of their arguments; they never fail.
#pragma once

#include <glib.h>

#include <string>

#include "platform/WebView.h"

typedef struct _WebKitResponsePolicyDecision WebKitResponsePolicyDecision;

namespace lum {

// The kind of failure an error of a load means: a name that cannot be
// resolved, a connection refused or impossible, a time-out, an untrusted
// certificate, a kind of content that is not shown; anything else is pfOther.
TPageFailureKind FailureKindOf(GQuark domain, int code);

// The failure of a load that ended with error: its kind, and the engine's
// own message as the detail.
TPageFailure FailureOf(const GError* error);

// The failure of a page the server answered with an error status (400 or
// more), with the status's usual words in the detail.
TPageFailure StatusFailure(unsigned status);

// Why an answer to the page's own address cannot become a picture, if it
// cannot: an error status, or a download (an attachment, or content that
// WebKit cannot show, which a browser would save). False when WebKit shows it.
bool ResponseFailure(WebKitResponsePolicyDecision* decision, TPageFailure& failure);

// The failure of a load of requested that WebKit ended with an empty page and
// no error: what it does with an address on a port it never connects to.
TPageFailure BlankInsteadFailure(const std::string& requested);

// "scheme://host:port" of url (the port as given, or -1), "" when it has no host.
std::string SiteOf(const std::string& url);

// The words for what is wrong with a certificate (GTlsCertificateFlags).
std::string CertificateProblems(unsigned errors);

}  // namespace lum
