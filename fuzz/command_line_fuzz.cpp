// Fuzzes the screen-saver command line: the argument splitting is compared
// with a reading of its rule as a quote toggle, arguments never hold a
// separator outside quotes or a quote at all, quoting the arguments again
// gives them back, and the switch grammar always yields one of the four
// modes with the handle its arguments name. Any other outcome aborts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/IntText.h"
#include "host/CommandLine.h"

namespace {

using lum::TScreenSaverMode;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool IsSeparator(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Blanks and control characters end an argument outside quotes; each quote
// switches quoting on or off and is dropped; "" alone is an empty argument.
std::vector<std::string> ReferenceSplit(std::string_view line) {
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inArg = true;
        } else if (!quoted && IsSeparator(c)) {
            if (inArg)
                args.push_back(arg);
            arg.clear();
            inArg = false;
        } else {
            arg += c;
            inArg = true;
        }
    }
    if (inArg)
        args.push_back(arg);
    return args;
}

void CheckSplit(std::string_view line, const std::vector<std::string>& args) {
    Check(args == ReferenceSplit(line));
    const bool hasQuote = line.find('"') != std::string_view::npos;
    std::string joined;
    for (const std::string& arg : args) {
        Check(arg.find('"') == std::string::npos);
        if (!hasQuote) {
            Check(!arg.empty());
            for (char c : arg)
                Check(!IsSeparator(c));
        }
        joined += "\"" + arg + "\" ";
    }
    // Each argument quoted and separated by one blank reads back unchanged.
    Check(lum::SplitCommandLine(joined) == args);
}

std::int32_t HandleOf(const std::string& text) {
    return lum::StrToIntDef(text, 0);
}

// What the switch grammar must make of the arguments after the program name.
void CheckRequest(const std::vector<std::string>& args, const lum::TCommandLineRequest& request) {
    const auto mode = static_cast<int>(request.Mode);
    Check(mode >= 0 && mode <= 3);
    char letter = 0;
    if (!args.empty() && args[0].size() >= 2 && (args[0][0] == '/' || args[0][0] == '-'))
        letter = args[0][1];
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const std::string second = args.size() > 1 ? args[1] : std::string();
    switch (letter) {
        case 'S':
            Check(request.Mode == TScreenSaverMode::Normal && request.UseDesktop &&
                  !request.UseForeground && request.Handle == 0);
            break;
        case 'P':
        case 'A':
            Check(request.Mode ==
                  (letter == 'P' ? TScreenSaverMode::Preview : TScreenSaverMode::Password));
            Check(request.Handle == HandleOf(second) && !request.UseDesktop &&
                  !request.UseForeground);
            break;
        case 'C': {
            const auto colon = args[0].find(':');
            const std::int32_t handle =
                colon == std::string::npos ? 0 : HandleOf(args[0].substr(colon + 1));
            Check(request.Mode == TScreenSaverMode::Config && request.Handle == handle);
            Check(request.UseForeground == (handle == 0) && !request.UseDesktop);
            break;
        }
        default:
            Check(request.Mode == TScreenSaverMode::Config && request.Handle == 0 &&
                  !request.UseDesktop && !request.UseForeground);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args = lum::SplitCommandLine(line);
    CheckSplit(line, args);
    if (!args.empty())
        args.erase(args.begin());  // the program name
    CheckRequest(args, lum::ParseScreenSaverArgs(args));
    // The grammar alone, on arguments the splitting could never produce
    // (blanks, quotes and control characters inside): the input cut at NULs.
    std::vector<std::string> raw;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find('\0', start), line.size());
        raw.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
    CheckRequest(raw, lum::ParseScreenSaverArgs(raw));
    return 0;
}
