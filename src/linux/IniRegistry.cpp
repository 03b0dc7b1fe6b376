// The registry's key tree and values over the groups and keys of the
// settings file read in the current batch.
#include "linux/IniRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/AsciiText.h"
#include "linux/PosixFileSystem.h"

namespace lum::gtk {

namespace {

using TKeyPath = std::vector<std::string>;

const TKeyPath kBasePath = {"Software", "Orvane"};

bool StartsWith(const TKeyPath& path, const TKeyPath& prefix) {
    return prefix.size() <= path.size() &&
           std::equal(prefix.begin(), prefix.end(), path.begin(), SameTextIgnoringCase);
}

bool IsBaseOrAbove(const TKeyPath& path) {
    return StartsWith(kBasePath, path);
}

// The path below the base key, or nothing for the base key, the keys above
// it and keys elsewhere.
std::optional<TKeyPath> BelowBase(const TKeyPath& path) {
    if (path.size() <= kBasePath.size() || !StartsWith(path, kBasePath))
        return std::nullopt;
    return TKeyPath(path.begin() + kBasePath.size(), path.end());
}

std::string Join(const TKeyPath& path) {
    std::string joined;
    for (const std::string& name : path)
        joined += (joined.empty() ? "" : "\\") + name;
    return joined;
}

// UTF-8 without control characters, the given characters or blanks at
// either end.
bool IsPlainName(std::string_view name, const char* forbidden) {
    if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' ||
        name.back() == '\t' || !g_utf8_validate_len(name.data(), name.size(), nullptr))
        return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || std::strchr(forbidden, c))
            return false;
    }
    return true;
}

// Escapes make a text longer by one byte each at most.
std::size_t LineLength(const std::string& name, const std::string& text) {
    std::size_t length = name.size() + 2 + text.size();
    for (char c : text)
        length += c == '\\' || c == '\n' || c == '\r';
    return length;
}

}  // namespace

std::optional<TKeyPath> TIniRegistry::Resolve(TKey parent, const std::string& path) {
    if (FHandles.empty())
        Reload();
    TKeyPath full;
    if (parent != kCurrentUser) {
        const auto it = FHandles.find(parent);
        if (it == FHandles.end())
            return std::nullopt;
        full = it->second;
    }
    for (std::string& part : SplitRegistryPath(path))
        full.push_back(std::move(part));
    return full;
}

IRegistry::TKey TIniRegistry::NewHandle(TKeyPath path) {
    const TKey key = FNextHandle;
    FNextHandle += 4;
    FHandles[key] = std::move(path);
    return key;
}

std::string TIniRegistry::GroupOf(const TKeyPath& path) const {
    const auto below = BelowBase(path);
    if (!below)
        return {};
    g_auto(GStrv) groups = g_key_file_get_groups(FDoc.get(), nullptr);
    for (gchar** group = groups; *group; ++group) {
        const TKeyPath named = GroupPath(*group);
        if (named.size() == below->size() && StartsWith(named, *below))
            return *group;
    }
    return {};
}

std::string TIniRegistry::GroupOf(TKey key) const {
    const auto it = FHandles.find(key);
    return it == FHandles.end() ? std::string() : GroupOf(it->second);
}

// The base key and those above it always exist; a key below it exists when
// a group names it or a key beneath it.
bool TIniRegistry::Exists(const TKeyPath& path) const {
    return IsBaseOrAbove(path) || !GroupOf(path).empty() || !Subkeys(path).empty();
}

// The names of the keys right below path, in the order of their groups.
std::vector<std::string> TIniRegistry::Subkeys(const TKeyPath& path) const {
    if (IsBaseOrAbove(path))
        return path.size() < kBasePath.size() ? TKeyPath{kBasePath[path.size()]} : TKeyPath{};
    std::vector<std::string> names;
    const auto below = BelowBase(path);
    if (!below)
        return names;
    g_auto(GStrv) groups = g_key_file_get_groups(FDoc.get(), nullptr);
    for (gchar** group = groups; *group; ++group) {
        const TKeyPath named = GroupPath(*group);
        if (named.size() <= below->size() || !StartsWith(named, *below))
            continue;
        const std::string& name = named[below->size()];
        bool known = false;
        for (const std::string& other : names)
            known = known || SameTextIgnoringCase(other, name);
        if (!known)
            names.push_back(name);
    }
    return names;
}

void TIniRegistry::TKeyIndex::Add(std::string name) {
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    Folded.emplace(std::move(folded), Names.size());
    Names.push_back(std::move(name));
}

const TIniRegistry::TKeyIndex& TIniRegistry::Keys(const std::string& group) const {
    if (!FKeys || FKeys->Group != group) {
        FKeys.emplace();
        FKeys->Group = group;
        g_auto(GStrv) keys = g_key_file_get_keys(FDoc.get(), group.c_str(), nullptr, nullptr);
        for (gchar** key = keys; key && *key; ++key)
            FKeys->Add(*key);
    }
    return *FKeys;
}

std::string TIniRegistry::StoredName(const std::string& group, const std::string& name) const {
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    const TKeyIndex& keys = Keys(group);
    const auto it = keys.Folded.find(folded);
    return it == keys.Folded.end() ? std::string() : keys.Names[it->second];
}

IRegistry::TKey TIniRegistry::CreateKey(TKey parent, const std::string& path) {
    auto full = Resolve(parent, path);
    if (!full)
        return 0;
    if (Exists(*full))
        return NewHandle(std::move(*full));
    const auto below = BelowBase(*full);
    if (!below)
        return 0;
    for (const std::string& name : *below) {
        if (!IsPlainName(name, "\\[]"))
            return 0;
    }
    // Every missing key on the way becomes a group of its own, as the
    // registry creates each of them. GLib makes a group only with a value.
    for (std::size_t depth = 1; depth <= below->size(); ++depth) {
        TKeyPath part(full->begin(), full->begin() + kBasePath.size() + depth);
        if (!GroupOf(part).empty())
            continue;
        const std::string group = Join(TKeyPath(below->begin(), below->begin() + depth));
        g_key_file_set_value(FDoc.get(), group.c_str(), "x", "");
        g_key_file_remove_key(FDoc.get(), group.c_str(), "x", nullptr);
    }
    FChanged = true;
    return NewHandle(std::move(*full));
}

IRegistry::TKey TIniRegistry::OpenKey(TKey parent, const std::string& path) {
    auto full = Resolve(parent, path);
    return full && Exists(*full) ? NewHandle(std::move(*full)) : 0;
}

void TIniRegistry::CloseKey(TKey key) {
    FHandles.erase(key);
}

bool TIniRegistry::QueryValue(TKey key, const std::string& name, TRegValue& value) {
    const std::string group = GroupOf(key);
    const std::string stored = group.empty() ? std::string() : StoredName(group, name);
    if (stored.empty())
        return false;
    g_autofree gchar* text =
        g_key_file_get_string(FDoc.get(), group.c_str(), stored.c_str(), nullptr);
    if (!text)
        return false;
    value.Type = RegType::String;
    value.Text = text;
    return true;
}

bool TIniRegistry::SetStringValue(TKey key, const std::string& name, const std::string& text) {
    const auto it = FHandles.find(key);
    const auto below = it == FHandles.end() ? std::nullopt : BelowBase(it->second);
    // A value's text ends at its first NUL, whatever the registry holds.
    const std::string stored = text.substr(0, text.find('\0'));
    if (!below || !Exists(it->second) || !IsPlainName(name, "=[]") || name[0] == '#' ||
        name[0] == ';' || !g_utf8_validate_len(stored.data(), stored.size(), nullptr) ||
        LineLength(name, stored) > kMaxIniLineBytes)
        return false;
    std::string group = GroupOf(it->second);
    if (group.empty())
        group = Join(*below);
    const std::string spelled = StoredName(group, name);
    SetIniString(FDoc.get(), group.c_str(), (spelled.empty() ? name : spelled).c_str(),
                 stored.c_str());
    if (spelled.empty())
        FKeys->Add(name);  // StoredName indexed the group
    FChanged = true;
    return true;
}

std::uint32_t TIniRegistry::ValueCount(TKey key) {
    const std::string group = GroupOf(key);
    return group.empty() ? 0 : static_cast<std::uint32_t>(Keys(group).Names.size());
}

bool TIniRegistry::ValueName(TKey key, std::uint32_t index, std::string& name) {
    const std::string group = GroupOf(key);
    if (group.empty() || index >= Keys(group).Names.size())
        return false;
    name = Keys(group).Names[index];
    return true;
}

std::uint32_t TIniRegistry::SubkeyCount(TKey key) {
    const auto it = FHandles.find(key);
    return it == FHandles.end() ? 0 : static_cast<std::uint32_t>(Subkeys(it->second).size());
}

bool TIniRegistry::SubkeyName(TKey key, std::uint32_t index, std::string& name) {
    const auto it = FHandles.find(key);
    if (it == FHandles.end())
        return false;
    const auto names = Subkeys(it->second);
    if (index >= names.size())
        return false;
    name = names[index];
    return true;
}

bool TIniRegistry::DeleteKey(TKey parent, const std::string& name) {
    const auto full = SplitRegistryPath(name).empty() ? std::nullopt : Resolve(parent, name);
    if (!full || !BelowBase(*full) || !Subkeys(*full).empty())
        return false;
    const std::string group = GroupOf(*full);
    if (group.empty() || !g_key_file_remove_group(FDoc.get(), group.c_str(), nullptr))
        return false;
    FKeys.reset();
    FChanged = true;
    return true;
}

}  // namespace lum::gtk
