#include "settings/SignInUrl.h"

#include <vector>

namespace lum {

namespace {

constexpr const char* kBlanks = " \t\r\n";

std::string Trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(kBlanks) + 1 - begin);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

}  // namespace

std::string SignInUrlAt(const std::string& text, int line, const std::string& saved) {
    const std::vector<std::string> lines = Lines(text);
    if (line >= 0 && static_cast<std::size_t>(line) < lines.size()) {
        const std::string url = Trimmed(lines[static_cast<std::size_t>(line)]);
        if (!url.empty())
            return url;
    }
    for (const std::string& each : lines) {
        const std::string url = Trimmed(each);
        if (!url.empty())
            return url;
    }
    return Trimmed(saved);
}

std::string SignInWindowTitle(const std::string& page) {
    return page.empty() ? std::string(kSignInWindowName) : page + " - " + kSignInWindowName;
}

}  // namespace lum
