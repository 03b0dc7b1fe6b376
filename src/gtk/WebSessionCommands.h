// The web session's commands of `lumenary`: --sign-in opens the sign-in
// window (the program "lumenary-sign-in" beside this one, which alone links
// the browser engine) and --sign-out forgets the kept session after asking.
// Failures are told on standard error and in the exit code.
#pragma once

#include <string>

#include "gtk/LinuxCommandLine.h"

namespace lum::gtk {

inline constexpr const char* kSignInProgramName = "lumenary-sign-in";

// The first URL of the settings' list; empty when there is none.
std::string DefaultSignInUrl();

// Runs --sign-in or --sign-out; -1 when options ask for neither.
int RunWebSessionCommand(const TLinuxHostOptions& options);

// --sign-out: asks (a GTK dialog where a display opens, else a line on
// standard input, "y" or "yes") unless yes, then removes dir and says what it
// removed on standard output. Refuses while a capture runs. 0 when removed
// or nothing was there, 1 when refused or not all could be removed.
int SignOut(const std::string& dir, bool yes);

}  // namespace lum::gtk
