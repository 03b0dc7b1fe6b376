#include "fakes/FakeRegistry.h"

#include <algorithm>

#include "common/AsciiText.h"

namespace lum::fakes {

namespace {

// Subkeys are kept in the registry's order: by name, letter case aside.
bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) <
               static_cast<unsigned char>(AsciiLower(y));
    });
}

}  // namespace

TFakeRegistry::TFakeRegistry() : FRoot(std::make_shared<TNode>()) {}

TFakeRegistry::TNodePtr TFakeRegistry::NodeOf(TKey key) const {
    if (key == kCurrentUser)
        return FRoot;
    auto it = FHandles.find(key);
    if (it == FHandles.end() || it->second->Deleted)
        return nullptr;
    return it->second;
}

TFakeRegistry::TNodePtr TFakeRegistry::Find(const TNodePtr& from, const std::string& path) const {
    TNodePtr node = from;
    for (const std::string& part : SplitRegistryPath(path)) {
        if (!node)
            return nullptr;
        auto it = std::find_if(
            node->Children.begin(), node->Children.end(),
            [&](const TNodePtr& child) { return SameTextIgnoringCase(child->Name, part); });
        node = it == node->Children.end() ? nullptr : *it;
    }
    return node;
}

TFakeRegistry::TNodePtr TFakeRegistry::FindOrCreate(const TNodePtr& from, const std::string& path) {
    TNodePtr node = from;
    for (const std::string& part : SplitRegistryPath(path)) {
        auto it = std::find_if(
            node->Children.begin(), node->Children.end(),
            [&](const TNodePtr& child) { return SameTextIgnoringCase(child->Name, part); });
        if (it != node->Children.end()) {
            node = *it;
            continue;
        }
        auto child = std::make_shared<TNode>();
        child->Name = part;
        child->FullPath = node->FullPath.empty() ? part : node->FullPath + "\\" + part;
        auto pos = std::find_if(node->Children.begin(), node->Children.end(),
                                [&](const TNodePtr& c) { return LessIgnoringCase(part, c->Name); });
        node->Children.insert(pos, child);
        node = child;
    }
    return node;
}

IRegistry::TKey TFakeRegistry::NewHandle(TNodePtr node) {
    const TKey key = FNextHandle;
    FNextHandle += 4;
    FHandles[key] = std::move(node);
    return key;
}

IRegistry::TKey TFakeRegistry::CreateKey(TKey parent, const std::string& path) {
    ++CreateCalls;
    TNodePtr from = NodeOf(parent);
    if (!from || FailAllCreates)
        return 0;
    std::string target = from->FullPath;
    for (const std::string& part : SplitRegistryPath(path))
        target += (target.empty() ? "" : "\\") + part;
    for (const std::string& fail : FailCreatePaths) {
        if (SameTextIgnoringCase(fail, target))
            return 0;
    }
    return NewHandle(FindOrCreate(from, path));
}

IRegistry::TKey TFakeRegistry::OpenKey(TKey parent, const std::string& path) {
    TNodePtr from = NodeOf(parent);
    TNodePtr node = from ? Find(from, path) : nullptr;
    return node ? NewHandle(node) : 0;
}

void TFakeRegistry::CloseKey(TKey key) {
    FHandles.erase(key);
}

bool TFakeRegistry::QueryValue(TKey key, const std::string& name, TRegValue& value) {
    TNodePtr node = NodeOf(key);
    if (!node)
        return false;
    for (const auto& [valueName, stored] : node->Values) {
        if (!SameTextIgnoringCase(valueName, name))
            continue;
        value.Type = stored.Type;
        const bool isText = stored.Type == RegType::String || stored.Type == RegType::ExpandString;
        value.Text = isText ? stored.Text.substr(0, stored.Text.find('\0')) : std::string();
        return true;
    }
    return false;
}

bool TFakeRegistry::SetStringValue(TKey key, const std::string& name, const std::string& text) {
    ++SetCalls;
    TNodePtr node = NodeOf(key);
    if (!node || FailAllSets || FailSetNames.count(name))
        return false;
    for (auto& [valueName, stored] : node->Values) {
        if (SameTextIgnoringCase(valueName, name)) {
            stored = TRegValue{RegType::String, text};
            return true;
        }
    }
    node->Values.emplace_back(name, TRegValue{RegType::String, text});
    return true;
}

std::uint32_t TFakeRegistry::ValueCount(TKey key) {
    TNodePtr node = NodeOf(key);
    return node ? static_cast<std::uint32_t>(node->Values.size()) : 0;
}

bool TFakeRegistry::ValueName(TKey key, std::uint32_t index, std::string& name) {
    TNodePtr node = NodeOf(key);
    if (!node || FailValueNames || index >= node->Values.size())
        return false;
    name = node->Values[index].first;
    return true;
}

std::uint32_t TFakeRegistry::SubkeyCount(TKey key) {
    TNodePtr node = NodeOf(key);
    return node ? static_cast<std::uint32_t>(node->Children.size()) : 0;
}

bool TFakeRegistry::SubkeyName(TKey key, std::uint32_t index, std::string& name) {
    TNodePtr node = NodeOf(key);
    if (!node || FailSubkeyNames || index >= node->Children.size())
        return false;
    name = node->Children[index]->Name;
    return true;
}

bool TFakeRegistry::DeleteKey(TKey parent, const std::string& name) {
    ++DeleteCalls;
    TNodePtr from = NodeOf(parent);
    if (!from || FailDeletes || SplitRegistryPath(name).empty())
        return false;
    TNodePtr node = Find(from, name);
    if (!node || !node->Children.empty())
        return false;
    const auto slash = node->FullPath.find_last_of('\\');
    TNodePtr owner =
        slash == std::string::npos ? FRoot : Find(FRoot, node->FullPath.substr(0, slash));
    auto& siblings = owner->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    node->Deleted = true;
    return true;
}

bool TFakeRegistry::KeyExists(const std::string& path) const {
    return Find(FRoot, path) != nullptr;
}

void TFakeRegistry::PutValue(const std::string& path, const std::string& name, TRegValue value) {
    TNodePtr node = FindOrCreate(FRoot, path);
    for (auto& [valueName, stored] : node->Values) {
        if (SameTextIgnoringCase(valueName, name)) {
            stored = std::move(value);
            return;
        }
    }
    node->Values.emplace_back(name, std::move(value));
}

std::optional<TRegValue> TFakeRegistry::GetValue(const std::string& path,
                                                 const std::string& name) const {
    TNodePtr node = Find(FRoot, path);
    if (!node)
        return std::nullopt;
    for (const auto& [valueName, stored] : node->Values) {
        if (SameTextIgnoringCase(valueName, name))
            return stored;
    }
    return std::nullopt;
}

std::vector<std::string> TFakeRegistry::ValueNames(const std::string& path) const {
    std::vector<std::string> names;
    if (TNodePtr node = Find(FRoot, path)) {
        for (const auto& entry : node->Values)
            names.push_back(entry.first);
    }
    return names;
}

std::vector<std::string> TFakeRegistry::SubkeyNames(const std::string& path) const {
    std::vector<std::string> names;
    if (TNodePtr node = Find(FRoot, path)) {
        for (const auto& child : node->Children)
            names.push_back(child->Name);
    }
    return names;
}

bool TFakeRegistry::CommitChanges(std::string& error) {
    ++CommitCalls;
    if (FailCommits)
        error = CommitError;
    return !FailCommits;
}

}  // namespace lum::fakes
