#include "gtk/CaptureProtocol.h"

#include <charconv>

namespace lum::gtk {

std::string EscapeLineText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeLineText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            default:
                out += text[i];  // "\\" and anything else: the character itself
        }
    }
    return out;
}

std::vector<std::string> SplitLine(const std::string& line, std::size_t count) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (count > 0 && words.size() + 1 < count) {
        const std::size_t blank = line.find(' ', start);
        if (blank == std::string::npos)
            break;
        words.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    if (count > 0 && start <= line.size())
        words.push_back(line.substr(start));
    return words;
}

std::int64_t ParseCount(const std::string& word, std::int64_t limit) {
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < 0 || value > limit)
        return -1;
    return value;
}

}  // namespace lum::gtk
