#include "linux/session/KeptPasswords.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "linux/session/WebDataFolder.h"
#include "platform/Types.h"

namespace lum::gtk {

namespace {

constexpr std::size_t kMaxField = 1024;
constexpr std::size_t kMaxLine = 4 * 1024;  // a line of five escaped fields
constexpr off_t kMaxFileBytes = 1024 * 1024;

bool IsProtocol(const std::string& text) {
    if (text.empty() || text.size() > 16 || !(text[0] >= 'a' && text[0] <= 'z'))
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

bool IsTextField(const std::string& text) {
    return text.size() <= kMaxField && text.find('\0') == std::string::npos &&
           g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

void Escape(const std::string& text, std::string& out) {
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '%') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The field with its %XX undone; false for a lone or malformed '%'.
bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text[0] == '0' ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

bool ParseLine(const std::string& line, TKeptPassword& item) {
    if (line.size() > kMaxLine)
        return false;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos || fields.size() > 5)
            break;
        start = tab + 1;
    }
    if (fields.size() != 5)
        return false;
    std::string realm;
    std::string user;
    if (!ParsePort(fields[2], item.Port) || !Unescape(fields[3], realm) ||
        !Unescape(fields[4], user))
        return false;
    item.Protocol = fields[0];
    item.Host = fields[1];
    item.Realm = realm;
    item.User = user;
    return IsKeepableKeptPassword(item);
}

std::string FilePath(const std::string& dir) {
    std::string path = dir;
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + kKeptPasswordsFile;
}

}  // namespace

bool IsKeepableKeptPassword(const TKeptPassword& item) {
    return IsProtocol(item.Protocol) && !item.Host.empty() &&
           CertificateHostName(item.Host) == item.Host && item.Port >= 1 && item.Port <= 65535 &&
           IsTextField(item.Realm) && IsTextField(item.User);
}

std::string FormatKeptPasswords(const std::vector<TKeptPassword>& items) {
    std::string text;
    for (const TKeptPassword& item : items) {
        text += item.Protocol + '\t' + item.Host + '\t' + std::to_string(item.Port) + '\t';
        Escape(item.Realm, text);
        text += '\t';
        Escape(item.User, text);
        text += '\n';
    }
    return text;
}

std::vector<TKeptPassword> ParseKeptPasswords(const std::string& text) {
    std::vector<TKeptPassword> items;
    std::set<TKeptPassword> seen;
    std::size_t start = 0;
    while (start < text.size() && items.size() < kMaxKeptPasswords) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        TKeptPassword item;
        if (ParseLine(line, item) && seen.insert(item).second)
            items.push_back(item);
        start = end + 1;
    }
    return items;
}

TKeptPasswordsFile LoadKeptPasswords(const std::string& dir) {
    TKeptPasswordsFile file;
    const std::string path = FilePath(dir);
    // O_NOFOLLOW: a link is refused, never read through; O_NONBLOCK: a pipe
    // put there does not hold the sign-out.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT)
            file.Error = path + " cannot be read: " + std::strerror(errno);
        return file;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        file.Error = path + " is not a plain file";
    else if (info.st_uid != ::getuid())
        file.Error = path + " belongs to another user";
    else if (info.st_size > kMaxFileBytes)
        file.Error = path + " is larger than 1 MiB";
    std::string text;
    if (file.Error.empty()) {
        char buffer[16 * 1024];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 &&
               text.size() <= static_cast<std::size_t>(kMaxFileBytes))
            text.append(buffer, static_cast<std::size_t>(got));
        if (got < 0)
            file.Error = path + " cannot be read: " + std::strerror(errno);
    }
    ::close(fd);
    if (file.Error.empty())
        file.Items = ParseKeptPasswords(text.substr(0, static_cast<std::size_t>(kMaxFileBytes)));
    return file;
}

void RecordKeptPassword(const std::string& dir, const TKeptPassword& item) {
    if (!IsKeepableKeptPassword(item))
        throw Exception("the password for '" + item.Host + "' cannot be recorded");
    const std::string folder = CreateWebDataDir(dir);
    // A refused file is not ours to keep: it is replaced by the record.
    std::vector<TKeptPassword> items = LoadKeptPasswords(folder).Items;
    if (std::find(items.begin(), items.end(), item) != items.end())
        return;
    items.push_back(item);
    if (items.size() > kMaxKeptPasswords)
        items.erase(items.begin(), items.end() - kMaxKeptPasswords);
    const std::string path = FilePath(folder);
    ReplacePrivateFile(path, FormatKeptPasswords(items), path);
}

std::vector<std::string> KeptPasswordHosts(const std::vector<TKeptPassword>& items) {
    std::set<std::string> hosts;
    for (const TKeptPassword& item : items)
        hosts.insert(item.Host);
    return {hosts.begin(), hosts.end()};
}

}  // namespace lum::gtk
