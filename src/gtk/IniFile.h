// The text of the settings file: sections named by key paths ("[Lumenary]",
// "[Lumenary\URLList]"), "name=text" lines with backslash escapes, comments and
// untouched sections kept line for line. Parsing never throws: a text that is
// not such a file is refused with a message naming its line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lum::gtk {

// Longer lines, and larger files, are not settings files.
inline constexpr std::size_t kMaxIniLineBytes = 64 * 1024;
inline constexpr std::size_t kMaxIniFileBytes = 16 * 1024 * 1024;

struct TIniValue {
    std::string Name;
    std::string Text;
};

struct TIniSection {
    std::vector<std::string> Path;  // key names below the base key, as written
    std::vector<TIniValue> Values;  // file order, which is creation order
    // The block as read: its header, values, comments and blank lines. A
    // section that was not changed is written back exactly so.
    std::vector<std::string> Lines;
    bool Changed = false;
};

struct TIniDocument {
    std::vector<std::string> Preamble;  // lines before the first section
    std::vector<TIniSection> Sections;  // file order
};

// Fills doc from text; false and error ("3 行目: ...") when text is not a
// settings file: bytes that are not UTF-8 text, a line over the limit, a
// line that is neither section, value, comment nor blank, a bad escape, a
// section or value name given twice, a value before the first section.
bool ParseIni(std::string_view text, TIniDocument& doc, std::string& error);
// The file text: unchanged sections as read, changed ones anew, each line
// ending in LF.
std::string FormatIni(const TIniDocument& doc);
// The lines of a changed section: header, its comments, then its values;
// false when a name or text cannot be stored.
bool FormatSection(const TIniSection& section, std::vector<std::string>& lines);

// Escapes: \\ \n \r \t \s (blank) \= \; \# \[ and \xHH for the other control
// characters, NUL included. A name escapes "=", a leading ";", "#" or "[", and blanks at
// either end; a text escapes its blanks at either end.
std::string EscapeIniName(std::string_view name);
std::string EscapeIniText(std::string_view text);
// The line "name=text" of a value; false when it cannot be stored: a name
// or text that is not UTF-8, or a line over kMaxIniLineBytes.
bool FormatValueLine(std::string_view name, std::string_view text, std::string& line);
// A key name: UTF-8 without control characters, "\", or blanks at its ends.
bool IsStorableKeyName(std::string_view name);

}  // namespace lum::gtk
