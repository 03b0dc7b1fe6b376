// The one letter-case rule of names the system compares without regard to
// case (registry keys and values, colour identifiers, file masks on Windows):
// only the ASCII letters A-Z fold, every other byte compares as it is.
#pragma once

#include <string_view>

namespace lum {

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

}  // namespace lum
