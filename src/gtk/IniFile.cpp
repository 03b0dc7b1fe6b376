#include "gtk/IniFile.h"

#include <optional>
#include <utility>

#include "common/AsciiText.h"

namespace lum::gtk {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Length of the UTF-8 sequence at text[i], 0 when it is not one (overlong
// forms, surrogates and values beyond U+10FFFF included).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

const char kHex[] = "0123456789ABCDEF";

// One character of a name or text in its escaped form.
void AppendEscaped(std::string& out, char c, bool escapeBlank) {
    switch (c) {
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += escapeBlank ? "\\t" : "\t";
            return;
        case ' ':
            out += escapeBlank ? "\\s" : " ";
            return;
        default:
            break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte)) {
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
        return;
    }
    out += c;
}

// Blanks at either end are escaped, the others are not.
std::string Escape(std::string_view text, bool isName) {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1]))
        --last;
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isName && (c == '=' || (i == 0 && (c == ';' || c == '#' || c == '[')))) {
            out += '\\';
            out += c;
            continue;
        }
        AppendEscaped(out, c, i < first || i >= last);
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The character an escape letter stands for, or -1 for \x and 0 for none.
int EscapedChar(char letter) {
    switch (letter) {
        case '\\':
            return '\\';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 's':
            return ' ';
        case '=':
        case ';':
        case '#':
        case '[':
            return letter;
        case 'x':
            return -1;
        default:
            return 0;
    }
}

// Decodes raw (a name or text as written), dropping the blanks at either end
// that are not escaped. nullopt for a bad escape.
std::optional<std::string> Unescape(std::string_view raw) {
    std::string out;
    std::size_t keep = 0;  // length of out up to its last escaped or non-blank character
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            if (IsBlank(raw[i]) && keep == 0 && out.empty())
                continue;  // a leading blank
            out += raw[i];
            if (!IsBlank(raw[i]))
                keep = out.size();
            continue;
        }
        if (++i >= raw.size())
            return std::nullopt;
        int c = EscapedChar(raw[i]);
        if (c == -1) {
            const int high = i + 1 < raw.size() ? HexDigit(raw[i + 1]) : -1;
            const int low = i + 2 < raw.size() ? HexDigit(raw[i + 2]) : -1;
            // Only control characters are written so.
            if (high < 0 || low < 0 || !IsControl(static_cast<unsigned char>(high * 16 + low)))
                return std::nullopt;
            c = high * 16 + low;
            i += 2;
        } else if (c == 0) {
            return std::nullopt;
        }
        out += static_cast<char>(c);
        keep = out.size();
    }
    out.resize(keep);
    return out;
}

// The position of the first "=" that is not escaped, or npos.
std::size_t FindSeparator(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '=')
            return i;
    }
    return std::string_view::npos;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The key names of a section header's inside, split at "\".
bool SplitKeyPath(std::string_view inside, std::vector<std::string>& path) {
    inside = Trim(inside);
    std::size_t start = 0;
    while (true) {
        const std::size_t end = inside.find('\\', start);
        const std::string_view name = inside.substr(start, end - start);
        if (!IsStorableKeyName(name))
            return false;
        path.emplace_back(name);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

bool SamePath(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!SameTextIgnoringCase(a[i], b[i]))
            return false;
    }
    return true;
}

class TParser {
  public:
    explicit TParser(TIniDocument& doc) : FDoc(doc) {}
    // Empty when the line is fine, else what is wrong with it.
    std::string Line(std::string_view line);

  private:
    std::string Header(std::string_view line, std::string_view trimmed);
    std::string Value(std::string_view line);
    TIniDocument& FDoc;
};

std::string TParser::Line(std::string_view line) {
    if (line.size() > kMaxIniLineBytes)
        return "行が長すぎます";
    if (!IsUtf8(line))
        return "UTF-8 のテキストではありません";
    for (char c : line) {
        if (IsControl(static_cast<unsigned char>(c)) && c != '\t')
            return "制御文字があります";
    }
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[')
        return Header(line, trimmed);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
        auto& lines = FDoc.Sections.empty() ? FDoc.Preamble : FDoc.Sections.back().Lines;
        lines.emplace_back(line);
        return {};
    }
    return Value(line);
}

std::string TParser::Header(std::string_view line, std::string_view trimmed) {
    if (trimmed.back() != ']' || trimmed.size() < 2)
        return "セクション名が ] で終わっていません";
    TIniSection section;
    if (!SplitKeyPath(trimmed.substr(1, trimmed.size() - 2), section.Path))
        return "セクション名が正しくありません";
    for (const TIniSection& other : FDoc.Sections) {
        if (SamePath(other.Path, section.Path))
            return "同じセクションが二度あります";
    }
    section.Lines.emplace_back(line);
    FDoc.Sections.push_back(std::move(section));
    return {};
}

std::string TParser::Value(std::string_view line) {
    if (FDoc.Sections.empty())
        return "セクションの前に値があります";
    const std::size_t separator = FindSeparator(line);
    if (separator == std::string_view::npos)
        return "\"=\" がありません";
    auto name = Unescape(line.substr(0, separator));
    auto text = Unescape(line.substr(separator + 1));
    if (!name || !text)
        return "\"\\\" の使い方が正しくありません";
    TIniSection& section = FDoc.Sections.back();
    for (const TIniValue& other : section.Values) {
        if (SameTextIgnoringCase(other.Name, *name))
            return "同じ名前の値が二度あります";
    }
    section.Values.push_back(TIniValue{std::move(*name), std::move(*text)});
    section.Lines.emplace_back(line);
    return {};
}

}  // namespace

bool ParseIni(std::string_view text, TIniDocument& doc, std::string& error) {
    doc = TIniDocument{};
    if (text.size() > kMaxIniFileBytes) {
        error = "ファイルが大きすぎます";
        return false;
    }
    // A byte order mark some editors put first is not part of the text.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    TParser parser(doc);
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);  // a file saved with CR LF line ends
        const std::string problem = parser.Line(line);
        if (!problem.empty()) {
            error = std::to_string(number) + " 行目: " + problem;
            doc = TIniDocument{};
            return false;
        }
    }
    return true;
}

bool FormatSection(const TIniSection& section, std::vector<std::string>& lines) {
    std::string header = "[";
    for (std::size_t i = 0; i < section.Path.size(); ++i) {
        if (!IsStorableKeyName(section.Path[i]))
            return false;
        header += (i ? "\\" : "") + section.Path[i];
    }
    lines.push_back(header + "]");
    for (std::size_t i = 1; i < section.Lines.size(); ++i) {
        const std::string_view trimmed = Trim(section.Lines[i]);
        if (!trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#'))
            lines.push_back(section.Lines[i]);
    }
    for (const TIniValue& value : section.Values) {
        std::string line;
        if (!FormatValueLine(value.Name, value.Text, line))
            return false;
        lines.push_back(std::move(line));
    }
    return true;
}

std::string FormatIni(const TIniDocument& doc) {
    std::string text;
    auto append = [&text](const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            text += line;
            text += '\n';
        }
    };
    append(doc.Preamble);
    for (const TIniSection& section : doc.Sections) {
        if (!section.Changed) {
            append(section.Lines);
            continue;
        }
        std::vector<std::string> lines;
        FormatSection(section, lines);
        append(lines);
    }
    return text;
}

std::string EscapeIniName(std::string_view name) {
    return Escape(name, true);
}

std::string EscapeIniText(std::string_view text) {
    return Escape(text, false);
}

bool FormatValueLine(std::string_view name, std::string_view text, std::string& line) {
    if (!IsUtf8(name) || !IsUtf8(text))
        return false;
    line = EscapeIniName(name) + "=" + EscapeIniText(text);
    return line.size() <= kMaxIniLineBytes;
}

bool IsStorableKeyName(std::string_view name) {
    if (name.empty() || name != Trim(name) || !IsUtf8(name))
        return false;
    for (char c : name) {
        if (c == '\\' || IsControl(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

}  // namespace lum::gtk
