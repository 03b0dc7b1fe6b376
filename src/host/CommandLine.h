// The screen-saver command line: argument splitting and the switch grammar
// that selects the mode and names the parent window. Never fails: anything
// unknown is configuration mode without a parent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lum {

enum class TScreenSaverMode : std::uint8_t { Normal = 0, Preview = 1, Password = 2, Config = 3 };

// Splits a whole command line into arguments, the program name first:
// blanks and control characters separate, double quotes group and are
// dropped.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// What the switches say before the parent handle is looked up or normalised.
struct TCommandLineRequest {
    TScreenSaverMode Mode = TScreenSaverMode::Config;
    std::int32_t Handle = 0;     // the handle argument read as an integer
    bool UseDesktop = false;     // /s: the desktop window is the parent
    bool UseForeground = false;  // /c without a handle: the foreground window
};

// Reads the arguments after the program name.
TCommandLineRequest ParseScreenSaverArgs(const std::vector<std::string>& args);

}  // namespace lum
