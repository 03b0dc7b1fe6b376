// The record of the passwords the sign-in window let WebKit keep in the desktop
// keyring: what names each keyring item (no secret), one a line in the web
// folder's "passwords" file, so a sign-out forgets exactly those. Bad lines are
// skipped; a file that is no plain file of the user's is refused (a result).
#pragma once

#include <string>
#include <tuple>
#include <vector>

namespace lum::gtk {

inline constexpr const char* kKeptPasswordsFile = "passwords";

// The attributes WebKit gives a password it keeps ("server", "port",
// "protocol", "domain" and "user" of the item labelled "WebKitGTK password").
struct TKeptPassword {
    std::string Protocol;  // "http", "https"
    std::string Host;      // lower case
    int Port = 0;          // 1..65535
    std::string Realm;
    std::string User;

    auto Key() const { return std::tie(Protocol, Host, Port, Realm, User); }
    bool operator==(const TKeptPassword& other) const { return Key() == other.Key(); }
    bool operator<(const TKeptPassword& other) const { return Key() < other.Key(); }
};

// At most this many items are kept and read; further ones are dropped.
inline constexpr std::size_t kMaxKeptPasswords = 500;

// The item as the file's fields would hold it, or false when it cannot be
// kept (a host that is no host name, a port out of range, a realm or user
// over 1024 bytes, not UTF-8 or holding a NUL).
bool IsKeepableKeptPassword(const TKeptPassword& item);

// The file's text: one item a line, fields separated by tabs, '%', tabs,
// line ends and other control bytes written %XX.
std::string FormatKeptPasswords(const std::vector<TKeptPassword>& items);

// The items of a file's text, in order, each once. A line that is too long,
// has the wrong number of fields or a field that is not keepable is skipped.
std::vector<TKeptPassword> ParseKeptPasswords(const std::string& text);

struct TKeptPasswordsFile {
    std::vector<TKeptPassword> Items;
    std::string Error;  // why the file was refused; empty when read or absent
};

// The items of dir's file; none when it is absent. A link, a non-file, a
// file of another user or one over 1 MiB is refused with the reason.
TKeptPasswordsFile LoadKeptPasswords(const std::string& dir);

// Adds item to dir's file (made 0600 and replaced whole, never half written)
// unless it is there. Throws lum::Exception when it cannot be written or the
// item is not keepable.
void RecordKeptPassword(const std::string& dir, const TKeptPassword& item);

// The hosts of items, sorted, each once.
std::vector<std::string> KeptPasswordHosts(const std::vector<TKeptPassword>& items);

}  // namespace lum::gtk
