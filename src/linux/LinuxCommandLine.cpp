#include "linux/LinuxCommandLine.h"

#include <string>
#include <string_view>

namespace lum::gtk {

namespace {

constexpr std::uint64_t kMaxXid = 0x1FFFFFFF;

// "--name" and "-name" are the same option; "" when arg is no option.
std::string_view OptionName(std::string_view arg) {
    if (arg.substr(0, 2) == "--")
        return arg.substr(2);
    if (arg.substr(0, 1) == "-" && arg.size() > 1)
        return arg.substr(1);
    return {};
}

struct TParser {
    TLinuxParseResult Result;
    int WindowOptions = 0;

    bool Fail(const std::string& message) {
        Result.Ok = false;
        Result.Error = message;
        return false;
    }

    bool SetWindowId(const std::string& value) {
        std::uint64_t id = 0;
        if (!ParseWindowId(value, id))
            return Fail("--window-id: '" + value + "' is not a window id (hex 0x... or decimal)");
        Result.Options.Mode = TLinuxWindowMode::lwForeign;
        Result.Options.WindowId = id;
        Result.Options.WindowSource = "--window-id";
        return true;
    }

    // Handles argv[i] (and its value); false on an error.
    bool Option(int argc, const char* const* argv, int& i) {
        const std::string_view arg = argv[i];
        const std::string_view name = OptionName(arg);
        if (name == "config") {
            Result.Options.Config = true;
        } else if (name == "sign-in") {
            // Web session: the optional URL is the next argument that is no option.
            Result.Options.SignIn = true;
            if (i + 1 < argc && argv[i + 1] && argv[i + 1][0] != '-')
                Result.Options.SignInUrl = argv[++i];
        } else if (name == "sign-out" || name == "yes") {
            (name == "yes" ? Result.Options.Yes : Result.Options.SignOut) = true;
        } else if (name == "help" || name == "h") {
            Result.Options.Help = true;
        } else if (name == "root" || name == "window" || name == "wall") {
            ++WindowOptions;
            Result.Options.Mode = name == "root"     ? TLinuxWindowMode::lwRoot
                                  : name == "window" ? TLinuxWindowMode::lwWindow
                                                     : TLinuxWindowMode::lwWall;
        } else if (name == "window-id") {
            ++WindowOptions;
            if (i + 1 >= argc || !argv[i + 1])
                return Fail("--window-id needs a window id");
            return SetWindowId(argv[++i]);
        } else if (name.substr(0, 10) == "window-id=") {
            ++WindowOptions;
            return SetWindowId(std::string(name.substr(10)));
        } else if (name.empty()) {
            return Fail("unexpected argument '" + std::string(arg) + "'");
        } else {
            return Fail("unknown option '" + std::string(arg) + "'");
        }
        return true;
    }
};

// Options that exclude each other fail the parse.
bool OptionsGoTogether(TParser& parser) {
    const TLinuxHostOptions& options = parser.Result.Options;
    if (parser.WindowOptions > 1) {
        parser.Fail("only one of --window, --window-id, --root and --wall may be given");
        return false;
    }
    // Web session options stand alone.
    if (options.SignIn + options.SignOut + options.Config > 1 ||
        ((options.SignIn || options.SignOut) && parser.WindowOptions > 0)) {
        parser.Fail("--sign-in, --sign-out, --config and the window options exclude each other");
        return false;
    }
    if (options.Yes && !options.SignOut) {
        parser.Fail("--yes goes with --sign-out only");
        return false;
    }
    return true;
}

// XScreenSaver names the window it made for the program in the
// environment; that window is where the program must draw.
void TakeXScreenSaverWindow(TParser& parser, const char* xscreensaverWindow) {
    if (!xscreensaverWindow || !*xscreensaverWindow)
        return;
    std::uint64_t id = 0;
    if (!ParseWindowId(xscreensaverWindow, id)) {
        parser.Fail(std::string("XSCREENSAVER_WINDOW: '") + xscreensaverWindow +
                    "' is not a window id");
        return;
    }
    TLinuxHostOptions& options = parser.Result.Options;
    options.Mode = TLinuxWindowMode::lwForeign;
    options.WindowId = id;
    options.WindowSource = "XSCREENSAVER_WINDOW";
}

}  // namespace

bool ParseWindowId(const std::string& text, std::uint64_t& id) {
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    if (digits.empty())
        return false;
    std::uint64_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return false;
        value = value * base + digit;
        if (value > kMaxXid)
            return false;  // checked at every digit, so the value never overflows
    }
    if (value == 0)
        return false;
    id = value;
    return true;
}

TLinuxParseResult ParseArgs(int argc, const char* const* argv, const char* xscreensaverWindow) {
    TParser parser;
    parser.Result.Ok = true;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) {
            parser.Fail("argument " + std::to_string(i) + " is missing");
            return parser.Result;
        }
        if (!parser.Option(argc, argv, i))
            return parser.Result;
    }
    if (!OptionsGoTogether(parser))
        return parser.Result;
    const TLinuxHostOptions& options = parser.Result.Options;
    if (options.Config || options.Help || options.SignIn || options.SignOut)
        return parser.Result;
    TakeXScreenSaverWindow(parser, xscreensaverWindow);
    return parser.Result;
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [--window | --window-id XID | --root | --wall | --config |\n"
           "        --sign-in [URL] | --sign-out [--yes]]\n"
           "Shows web pages, captured into pictures, one after the other.\n"
           "  (no option)       full-screen on every monitor; a key, click or mouse\n"
           "                    move ends it (X freezes, Z skips a page)\n"
           "  --window          in an ordinary 1024x768 window\n"
           "  --window-id XID   inside the X window XID (hex 0x... or decimal)\n"
           "  --root            on the root window\n"
           "  --wall            full-screen on every monitor, the pointer hidden; no\n"
           "                    input ends it, only SIGTERM, SIGINT or the session's end\n"
           "  --config          the settings dialog\n"
           "  --sign-in [URL]   a browser window on the kept web session, to sign in to\n"
           "                    sites (URL defaults to the first page of the list)\n"
           "  --sign-out        forget the kept web session, the trusted certificates\n"
           "                    and the passwords the sign-in let the keyring keep\n"
           "                    (asks first; --yes does not)\n"
           "  --help            this text\n"
           "XSCREENSAVER_WINDOW, when set, names the window to draw in.\n";
}

}  // namespace lum::gtk
