// The command line of the Linux program: which window it draws in (the one
// XScreenSaver names in XSCREENSAVER_WINDOW, --window-id XID, --root, an
// ordinary window with --window, a display wall with --wall, else
// full-screen on every monitor), --config, --help and
// the web session's --sign-in [URL] and --sign-out [--yes].
// Garbage is reported as a result with a clear message, never thrown.
#pragma once

#include <cstdint>
#include <string>

namespace lum::gtk {

enum class TLinuxWindowMode {
    lwFullScreen,  // no window option: every monitor; input ends it
    lwWall,        // --wall: every monitor; input never ends it
    lwWindow,      // --window: an ordinary 1024 x 768 window
    lwForeign,     // XSCREENSAVER_WINDOW or --window-id: another program's window
    lwRoot,        // --root: the root window
};

struct TLinuxHostOptions {
    TLinuxWindowMode Mode = TLinuxWindowMode::lwFullScreen;
    std::uint64_t WindowId = 0;  // lwForeign only
    std::string WindowSource;    // lwForeign: "XSCREENSAVER_WINDOW" or "--window-id"
    bool Config = false;         // --config: the settings dialog instead of a run
    bool Help = false;           // --help: print the usage and end
    // Web session (gtk/WebSessionCommands): --sign-in [URL], --sign-out [--yes].
    bool SignIn = false;
    std::string SignInUrl;  // empty: the first URL of the settings
    bool SignOut = false;
    bool Yes = false;  // --sign-out without asking
};

struct TLinuxParseResult {
    bool Ok = false;
    TLinuxHostOptions Options;
    std::string Error;  // when !Ok: one line saying what is wrong
};

// The exit code for a command line that cannot be understood.
inline constexpr int kUsageExitCode = 2;

// Options may be written with one or two dashes ("-root" as XScreenSaver's
// program lists write it); "--window-id=XID" works too. xscreensaverWindow is
// the environment variable's value (nullptr or empty when unset); it wins
// over every window option. Conflicting window options are an error.
TLinuxParseResult ParseArgs(int argc, const char* const* argv, const char* xscreensaverWindow);

// An X window id in hex ("0x1a00005") or decimal, 1 to 0x1FFFFFFF (an X
// resource id has 29 bits); false for anything else.
bool ParseWindowId(const std::string& text, std::uint64_t& id);

// The usage text, one option a line, for standard error or --help.
std::string UsageText(const std::string& program);

}  // namespace lum::gtk
