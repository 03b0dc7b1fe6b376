// The desktop keyring (the Secret Service on the session bus, through
// libsecret) as the sign-out needs it: removing the passwords WebKit kept for
// the sign-in window, and nothing else. Every wait is time-limited; failures
// are results, never exceptions.
#pragma once

#include <string>
#include <vector>

#include "linux/session/KeptPasswords.h"

namespace lum::gtk {

// The label WebKitGTK gives every password it keeps.
inline constexpr const char* kWebKitPasswordLabel = "WebKitGTK password";

// Whether a session bus is there to ask, without starting one: an address in
// DBUS_SESSION_BUS_ADDRESS or the socket $XDG_RUNTIME_DIR/bus.
bool SessionBusKnown();

// Whether the Secret Service runs, or can be started, on the session bus,
// asked within timeoutMs.
bool KeyringRuns(int timeoutMs);

struct TKeyringClearing {
    bool Reached = false;              // the keyring answered (or nothing was to be asked)
    std::vector<std::string> Removed;  // hosts of the items removed, sorted, each once
    std::vector<std::string> Missing;  // hosts none of whose items were there any more
    std::string Error;                 // why not all could be asked or removed
};

// Removes from the keyring each item labelled kWebKitPasswordLabel whose
// attributes are those of one of items (and whose schema, if it names one, is
// the network-password schema WebKit uses). A locked item is not unlocked:
// it is an error. Gives up on any step that takes longer than timeoutMs.
TKeyringClearing ClearKeptPasswords(const std::vector<TKeptPassword>& items, int timeoutMs);

}  // namespace lum::gtk
