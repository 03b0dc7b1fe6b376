// The settings file in GLib's key file format: groups named by key paths
// ("[Lumenary]", "[Lumenary\URLList]"), "name=text" lines with the escapes
// \s \n \t \r \\, read whole, kept aside and replaced in one atomic step.
// Nothing here throws: failures come back as messages or errno values.
#pragma once

#include <glib.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lum::gtk {

// Longer lines, and larger files, are not settings files.
inline constexpr std::size_t kMaxIniLineBytes = 64 * 1024;
inline constexpr std::size_t kMaxIniFileBytes = 16 * 1024 * 1024;

struct TKeyFileFree {
    void operator()(GKeyFile* doc) const { g_key_file_free(doc); }
};
using TKeyFilePtr = std::unique_ptr<GKeyFile, TKeyFileFree>;

// g_key_file_set_string, with the blanks that end the value escaped so that
// a read (which trims a line's ending blanks) gives the value back whole.
void SetIniString(GKeyFile* doc, const char* group, const char* key, const char* value);

// The document of text, or nullptr and error ("3 行目: ...") when text is
// not a settings file: bytes that are not UTF-8 text, a line over the limit,
// a line GLib refuses, a group or value named twice (letter case ignored),
// an empty key name in a group name, a value that cannot be decoded. A
// byte order mark and ";" comments (written by earlier versions) are
// read, and so are their "\xHH" escapes of control characters.
TKeyFilePtr ParseIni(std::string_view text, std::string& error);
// The text of doc; false when a line or the whole exceeds the limits.
bool FormatIni(GKeyFile* doc, std::string& text);
// The key path a group names: the name without blanks at its ends, split
// at "\".
std::vector<std::string> GroupPath(std::string_view group);

struct TIniFileRead {
    int Error = 0;          // ENOENT when there is no file, EFBIG when too large
    bool NotAFile = false;  // something else stands in its place
    bool IsFolder = false;
    std::string Text;
    std::string Message;  // what went wrong, for the user
};

// Reads a regular file of at most kMaxIniFileBytes whole; anything else in
// its place (a FIFO included) is not opened.
TIniFileRead ReadIniFile(const std::string& path);
// Keeps the file as path ".bad", else ".bad.2" ... ".bad.99", never over an
// earlier one: a new file holding bytes when they are known, else a hard
// link of the file path names (a symbolic link followed). kept gets the
// name. ENOENT when there is no file, EISDIR when it is not a regular file.
int KeepIniFileAside(const std::string& path, const std::string* bytes, std::string& kept);
// Replaces the file with text in one atomic step (its folder made when
// missing, mode 0700): the target of a symbolic link is replaced and the
// link kept. The file keeps its mode when its owner could read and write
// it, else gets 0600. Empty on success, else what went wrong.
std::string ReplaceIniFile(const std::string& path, const std::string& text);

}  // namespace lum::gtk
