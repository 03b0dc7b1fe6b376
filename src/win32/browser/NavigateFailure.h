// What the WebBrowser control's NavigateError status code means for the
// page's card: an HTTP error status, or an INET_E / WinINet / certificate
// code the control reports when it got no page at all.
#pragma once

#include <cstdint>

#include "platform/WebView.h"

namespace lum::win32 {

// The failure for a NavigateError StatusCode: its kind, the HTTP status for
// an error status (400-599), and the code in hex as the detail.
TPageFailure NavigateFailure(std::int32_t statusCode);

}  // namespace lum::win32
