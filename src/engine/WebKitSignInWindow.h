// The sign-in window: an ordinary browser window (address entry, back,
// forward, reload) on the kept web session, where the user signs in to the
// sites the capture shows. Pop-ups of a sign-in flow open as further windows
// of the same session; an untrusted certificate can be trusted per host.
#pragma once

#include <string>

namespace lum::gtk {

inline constexpr int kSignInWindowWidth = 1024;
inline constexpr int kSignInWindowHeight = 768;

// Opens a window at url on the store in dir (a CreateWebDataDir folder) and
// runs GTK's main loop until the last window of the session is closed (close
// box or Ctrl+W); then writes what the sites stored and returns 0. GTK must
// be initialised.
int RunSignInWindows(const std::string& dir, const std::string& url);

// What the address entry's text becomes as a URL: as it is when it names a
// scheme ("https://...", "about:blank"), else "https://" + the text; empty
// for blank text.
std::string AddressToUrl(const std::string& text);

}  // namespace lum::gtk
