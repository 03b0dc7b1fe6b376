// The web session's commands of `lumenary`: --sign-in opens the sign-in
// window (the program "lumenary-sign-in" beside this one, which alone links
// the browser engine) and --sign-out forgets the kept session after asking.
// Failures are told on standard error and in the exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "linux/LinuxCommandLine.h"
#include "linux/session/WebDataFolder.h"

namespace lum::gtk {

inline constexpr const char* kSignInProgramName = "lumenary-sign-in";

// The first URL of the settings' list; empty when there is none.
std::string DefaultSignInUrl();

// The sign-in program beside the running one.
std::string SignInProgramPath();

// The capture lock of the environment, which a capture and the sign-in
// window hold while they use the kept session.
std::string DefaultCaptureLockPath();

// The longest a sign-out waits for the desktop keyring, in all.
inline constexpr int kKeyringTimeoutMs = 5000;
// How long a sign-out from the command line waits for a capture pass under
// way (or a sign-in window) to give the session back.
inline constexpr std::uint32_t kSignOutWaitMs = 120000;

// What a sign-out found and did.
struct TSignOutResult {
    enum TState { NothingKept, InUse, Declined, Removed };
    TState State = NothingKept;
    TWebDataRemoval Removal;  // what was found, or for Removed what went
};

// The sign-out of --sign-out and of the settings dialog: finds what dir
// holds, refuses while the lock at lockPath is held (after waiting up to
// waitMs for it, calling waiting once if it waits), asks (when ask is set)
// with what would go, then removes the passwords recorded in it from the
// desktop keyring (within kKeyringTimeoutMs), the folder, and the pictures
// of the page cache at cacheDir (taken signed in; empty: none). Never throws
// for the folder or the keyring.
TSignOutResult SignOutSession(const std::string& dir,
                              const std::string& lockPath,
                              const std::function<bool(const TWebDataRemoval& found)>& ask,
                              const std::string& cacheDir,
                              std::uint32_t waitMs = 0,
                              const std::function<void()>& waiting = {});

// The texts of a sign-out in the program's language: what it removes (or
// removed) from dir, what the keyring did not do (empty when it did all),
// and the question asked before, which --sign-out and the settings dialog
// share.
std::string SignOutRemovalText(const std::string& dir, const TWebDataRemoval& removal);
std::string SignOutKeyringText(const TWebDataRemoval& removal);
std::string SignOutQuestion(const std::string& dir, const TWebDataRemoval& found);

// Runs --sign-in or --sign-out; -1 when options ask for neither.
int RunWebSessionCommand(const TLinuxHostOptions& options);

// --sign-out: asks SignOutQuestion (in the program's message box where a
// display opens, else on standard input, answered "y" or "yes") unless yes, then removes dir and says what it
// removed on standard output. Refuses while a capture runs. 0 when removed
// or nothing was there, 1 when refused or not all could be removed (the
// keyring's passwords included).
int SignOut(const std::string& dir, bool yes);

}  // namespace lum::gtk
