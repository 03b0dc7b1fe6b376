#include "host/CommandLine.h"

#include "common/IntText.h"

namespace lum {

namespace {

bool IsSeparator(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (true) {
        while (i < commandLine.size() && IsSeparator(commandLine[i]))
            ++i;
        if (i >= commandLine.size())
            break;
        std::string arg;
        while (i < commandLine.size() && !IsSeparator(commandLine[i])) {
            if (commandLine[i] == '"') {
                ++i;
                while (i < commandLine.size() && commandLine[i] != '"')
                    arg += commandLine[i++];
                if (i < commandLine.size())
                    ++i;  // the closing quote
            } else {
                arg += commandLine[i++];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

TCommandLineRequest ParseScreenSaverArgs(const std::vector<std::string>& args) {
    TCommandLineRequest request;
    if (args.empty())
        return request;
    const std::string& a1 = args[0];
    if (a1.empty() || (a1[0] != '/' && a1[0] != '-'))
        return request;
    char letter = a1.size() > 1 ? a1[1] : '\0';
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const std::string a2 = args.size() > 1 ? args[1] : std::string();
    switch (letter) {
        case 'S':
            request.Mode = TScreenSaverMode::Normal;
            request.UseDesktop = true;
            break;
        case 'P':
            request.Mode = TScreenSaverMode::Preview;
            request.Handle = StrToIntDef(a2, 0);
            break;
        case 'A':
            request.Mode = TScreenSaverMode::Password;
            request.Handle = StrToIntDef(a2, 0);
            break;
        case 'C': {
            // The handle follows the first ":" of the switch itself; without
            // one the whole switch is read, which is never a number.
            const auto colon = a1.find(':');
            request.Handle = StrToIntDef(colon == std::string::npos ? a1 : a1.substr(colon + 1), 0);
            request.UseForeground = request.Handle == 0;
            break;
        }
        default:
            break;
    }
    return request;
}

}  // namespace lum
