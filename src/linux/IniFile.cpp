#include "linux/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "common/AsciiText.h"
#include "platform/Registry.h"

namespace lum::gtk {

namespace {

constexpr int kMaxKeptFiles = 99;

std::string TakeMessage(GError* error) {
    std::string message = error ? error->message : "";
    g_clear_error(&error);
    return message;
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Earlier versions wrote control characters other than tab, CR and LF as
// "\xHH", which GLib does not read: they become the characters themselves
// (\x00 ends the text, as every read of a value does).
void ReadHexEscapes(GKeyFile* doc, const char* group, const char* key) {
    g_autofree gchar* raw = g_key_file_get_value(doc, group, key, nullptr);
    if (!raw || !std::strstr(raw, "\\x"))
        return;
    std::string out;
    for (const char* p = raw; *p; ++p) {
        const int high = p[0] == '\\' && p[1] == 'x' ? g_ascii_xdigit_value(p[2]) : -1;
        const int low = high >= 0 ? g_ascii_xdigit_value(p[3]) : -1;
        if (low < 0) {
            out += *p;
            if (*p == '\\' && p[1])
                out += *++p;  // an escape GLib reads itself
            continue;
        }
        const char c = static_cast<char>(high * 16 + low);
        if (c == '\0')
            break;
        out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        p += 3;
    }
    g_key_file_set_value(doc, group, key, out.c_str());
}

// What is wrong with group's keys: one named twice or a value GLib cannot
// decode. Empty when nothing is.
std::string CheckKeys(GKeyFile* doc, const char* group) {
    gsize count = 0;
    g_auto(GStrv) keys = g_key_file_get_keys(doc, group, &count, nullptr);
    std::unordered_set<std::string> seen;
    for (gsize i = 0; i < count; ++i) {
        std::string folded = keys[i];
        std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
        if (!seen.insert(std::move(folded)).second)
            return "同じ名前の値が二度あります";
        ReadHexEscapes(doc, group, keys[i]);
        // GLib reports this case over an earlier report of its own.
        g_autofree gchar* raw = g_key_file_get_value(doc, group, keys[i], nullptr);
        const std::string_view text(raw ? raw : "");
        const std::size_t last = text.find_last_not_of('\\');
        if ((text.size() - (last == std::string_view::npos ? 0 : last + 1)) % 2 != 0)
            return "値が \"\\\" で終わっています";
        GError* error = nullptr;
        g_free(g_key_file_get_string(doc, group, keys[i], &error));
        if (error)
            return TakeMessage(error);
    }
    return {};
}

// Loads text into doc and checks what GLib leaves to its callers. Empty when
// the text is a settings file, else what is wrong.
std::string Load(std::string_view text, GKeyFile* doc) {
    GError* error = nullptr;
    if (!g_key_file_load_from_data(doc, text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS, &error))
        return TakeMessage(error);
    gsize count = 0;
    g_auto(GStrv) groups = g_key_file_get_groups(doc, &count);
    for (gsize i = 0; i < count; ++i) {
        const std::string_view name = Trim(groups[i]);
        const auto path = GroupPath(name);
        if (path.size() != static_cast<std::size_t>(std::count(name.begin(), name.end(), '\\')) + 1)
            return "セクション名が正しくありません";
        for (gsize k = 0; k < i; ++k) {
            const auto other = GroupPath(groups[k]);
            if (std::equal(path.begin(), path.end(), other.begin(), other.end(),
                           SameTextIgnoringCase))
                return "同じセクションが二度あります";
        }
        if (std::string problem = CheckKeys(doc, groups[i]); !problem.empty())
            return problem;
    }
    return {};
}

// The text as GLib reads it: without a byte order mark, with ";" comments as
// "#" comments, and without the blanks that end a line of a value (as the
// earlier reader trimmed them; an escaped "\s" stays). A CR that ends the
// last line without a line feed goes too: GLib would keep it in the value,
// write it back with a line break after it and then read it as a line end.
// Every line keeps its number.
std::string Normalise(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::string out;
    out.reserve(text.size());
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line(text.substr(start, end - start));
        const bool crlf = !line.empty() && line.back() == '\r';
        if (crlf)
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        const bool comment =
            first != std::string::npos && (line[first] == ';' || line[first] == '#');
        if (comment)
            line[first] = '#';
        const bool lastLine = end == text.size();
        for (;;) {
            const std::size_t last = line.find_last_not_of(" \t");
            if (!comment && last != std::string::npos && line[last] != '\\')
                line.erase(last + 1);
            if (!lastLine || line.empty() || line.back() != '\r')
                break;
            line.pop_back();  // a CR that ends the text, and the blanks before it
        }
        out += line;
        if (lastLine)
            break;
        out += crlf ? "\r\n" : "\n";
        start = end + 1;
    }
    return out;
}

// The offsets just past each line's end.
std::vector<std::size_t> LineEnds(std::string_view text) {
    std::vector<std::size_t> ends;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        ends.push_back(end == std::string_view::npos ? text.size() : end + 1);
        start = ends.back();
    }
    return ends;
}

std::string AtLine(std::size_t number, const std::string& problem) {
    return std::to_string(number) + " 行目: " + problem;
}

// The line where a text that does not load goes wrong: the first n such that
// its first n lines do not load either. GLib's messages name no line.
std::string FindFailingLine(std::string_view text, const std::vector<std::size_t>& ends) {
    std::size_t low = 1;
    std::size_t high = ends.size();
    std::string problem;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        TKeyFilePtr doc(g_key_file_new());
        std::string found = Load(text.substr(0, ends[middle - 1]), doc.get());
        if (found.empty()) {
            low = middle + 1;
        } else {
            high = middle;
            problem = std::move(found);
        }
    }
    if (problem.empty() || low == ends.size()) {
        TKeyFilePtr doc(g_key_file_new());
        problem = Load(text, doc.get());
    }
    return AtLine(low, problem);
}

// The file a write replaces: the target of a symbolic link, so that a
// settings file linked from elsewhere stays linked.
std::string WriteTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    std::string target = real ? real : path;
    std::free(real);
    return target;
}

}  // namespace

std::vector<std::string> GroupPath(std::string_view group) {
    return SplitRegistryPath(std::string(Trim(group)));
}

TKeyFilePtr ParseIni(std::string_view original, std::string& error) {
    const std::string text = Normalise(original);
    const std::vector<std::size_t> ends = LineEnds(text);
    const gchar* bad = nullptr;
    if (!g_utf8_validate_len(text.data(), text.size(), &bad)) {
        const auto at = static_cast<std::size_t>(bad - text.data());
        error = AtLine(std::upper_bound(ends.begin(), ends.end(), at) - ends.begin() + 1,
                       "UTF-8 のテキストではありません");
        return nullptr;
    }
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (ends[i] - (i ? ends[i - 1] : 0) > kMaxIniLineBytes + 1) {
            error = AtLine(i + 1, "行が長すぎます");
            return nullptr;
        }
    }
    TKeyFilePtr doc(g_key_file_new());
    if (!Load(text, doc.get()).empty()) {
        error = FindFailingLine(text, ends);
        return nullptr;
    }
    return doc;
}

void SetIniString(GKeyFile* doc, const char* group, const char* key, const char* value) {
    g_key_file_set_string(doc, group, key, value);
    // GLib escapes a leading blank, not the blanks that end the value, which
    // a read trims: those are written as "\s" and "\t".
    g_autofree gchar* raw = g_key_file_get_value(doc, group, key, nullptr);
    std::string text = raw ? raw : "";
    const std::size_t kept = text.find_last_not_of(" \t") + 1;
    if (kept == text.size())
        return;
    std::string escaped = text.substr(0, kept);
    for (std::size_t i = kept; i < text.size(); ++i)
        escaped += text[i] == ' ' ? "\\s" : "\\t";
    g_key_file_set_value(doc, group, key, escaped.c_str());
}

bool FormatIni(GKeyFile* doc, std::string& text) {
    gsize length = 0;
    g_autofree gchar* data = g_key_file_to_data(doc, &length, nullptr);
    text.assign(data ? data : "", data ? length : 0);
    const std::vector<std::size_t> ends = LineEnds(text);
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (ends[i] - (i ? ends[i - 1] : 0) > kMaxIniLineBytes + 1)
            return false;
    }
    return text.size() <= kMaxIniFileBytes;
}

TIniFileRead ReadIniFile(const std::string& path) {
    TIniFileRead result;
    // Only a regular file is read: a FIFO in its place cannot hang the program.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        result.Error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        result.NotAFile = true;
        result.IsFolder = S_ISDIR(info.st_mode);
    } else if (static_cast<std::uint64_t>(info.st_size) > kMaxIniFileBytes) {
        result.Error = EFBIG;
    } else {
        gchar* text = nullptr;
        gsize length = 0;
        GError* error = nullptr;
        if (g_file_get_contents(path.c_str(), &text, &length, &error))
            result.Text.assign(text, length);
        else
            result.Error = EIO;
        g_free(text);
        result.Message = TakeMessage(error);
    }
    if (result.Error != 0 && result.Message.empty())
        result.Message = g_strerror(result.Error);
    return result;
}

int KeepIniFileAside(const std::string& path, const std::string* bytes, std::string& kept) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EISDIR;
    for (int n = 1; n <= kMaxKeptFiles; ++n) {
        kept = path + ".bad" + (n == 1 ? "" : "." + std::to_string(n));
        struct stat other {};
        if (::lstat(kept.c_str(), &other) == 0)
            continue;  // never over an earlier one
        // A hard link keeps a file whose bytes could not be read: the
        // replacement puts a new file in its place and leaves it alone.
        if (!bytes) {
            return ::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, kept.c_str(), AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        }
        return ReplaceIniFile(kept, *bytes).empty() ? 0 : EIO;
    }
    return EEXIST;
}

std::string ReplaceIniFile(const std::string& path, const std::string& text) {
    const std::string target = WriteTarget(path);
    g_autofree gchar* folder = g_path_get_dirname(target.c_str());
    if (g_mkdir_with_parents(folder, 0700) != 0)
        return g_strerror(errno);
    struct stat old {};
    int mode = 0600;
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        (old.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR))
        mode = static_cast<int>(old.st_mode & 07777);
    // A page's header option may carry a secret (a service account's
    // token): a file that names one is the owner's alone, whatever its mode
    // was.
    if (text.find("header=") != std::string::npos)
        mode &= 0700;
    GError* error = nullptr;
    // A temporary file beside the target, flushed to the disk and renamed
    // over it: the file is either the old one or the new one.
    const auto flags = static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT |
                                                          G_FILE_SET_CONTENTS_DURABLE);
    if (!g_file_set_contents_full(target.c_str(), text.data(), static_cast<gssize>(text.size()),
                                  flags, mode, &error))
        return TakeMessage(error);
    return {};
}

}  // namespace lum::gtk
