// In-memory registry for the portable tests: a key tree below
// HKEY_CURRENT_USER with values of any type kept in creation order, subkeys
// listed in name order as Windows does, handles that must be closed, and
// injectable failures of key creation, value setting, name enumeration and
// commits.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace lum::fakes {

class TFakeRegistry : public IRegistry {
  public:
    TFakeRegistry();

    TKey CurrentUser() override { return kCurrentUser; }
    TKey CreateKey(TKey parent, const std::string& path) override;
    TKey OpenKey(TKey parent, const std::string& path) override;
    void CloseKey(TKey key) override;
    bool QueryValue(TKey key, const std::string& name, TRegValue& value) override;
    bool SetStringValue(TKey key, const std::string& name, const std::string& text) override;
    std::uint32_t ValueCount(TKey key) override;
    bool ValueName(TKey key, std::uint32_t index, std::string& name) override;
    std::uint32_t SubkeyCount(TKey key) override;
    bool SubkeyName(TKey key, std::uint32_t index, std::string& name) override;
    bool DeleteKey(TKey parent, const std::string& name) override;
    // Applies nothing (every change is applied at once); fails with
    // CommitError while FailCommits is set.
    bool CommitChanges(std::string& error) override;

    // Helpers for tests. Paths are below HKEY_CURRENT_USER, separated by
    // "\", compared without regard to letter case, like names of values.
    bool KeyExists(const std::string& path) const;
    // Stores a value of any type (creating the key path); Text is the data.
    void PutValue(const std::string& path, const std::string& name, TRegValue value);
    std::optional<TRegValue> GetValue(const std::string& path, const std::string& name) const;
    std::vector<std::string> ValueNames(const std::string& path) const;  // creation order
    std::vector<std::string> SubkeyNames(const std::string& path) const;
    // Handles handed out and not closed yet (HKEY_CURRENT_USER not counted).
    std::size_t OpenHandleCount() const { return FHandles.size(); }

    // Injected failures. CreateKey fails for a target in FailCreatePaths
    // (full paths) or for every target; SetStringValue fails for a name in
    // FailSetNames or for every name.
    std::set<std::string> FailCreatePaths;
    bool FailAllCreates = false;
    std::set<std::string> FailSetNames;
    bool FailAllSets = false;
    bool FailValueNames = false;
    bool FailSubkeyNames = false;
    bool FailDeletes = false;
    bool FailCommits = false;
    std::string CommitError = "the changes cannot be stored";

    // Counts of calls that change the registry.
    int CreateCalls = 0;
    int SetCalls = 0;
    int DeleteCalls = 0;
    int CommitCalls = 0;

  private:
    static constexpr TKey kCurrentUser = 0x80000001u;

    struct TNode {
        std::string Name;
        std::string FullPath;
        std::vector<std::pair<std::string, TRegValue>> Values;  // creation order
        std::vector<std::shared_ptr<TNode>> Children;           // name order
        bool Deleted = false;
    };
    using TNodePtr = std::shared_ptr<TNode>;

    TNodePtr NodeOf(TKey key) const;
    TNodePtr Find(const TNodePtr& from, const std::string& path) const;
    TNodePtr FindOrCreate(const TNodePtr& from, const std::string& path);
    TKey NewHandle(TNodePtr node);

    TNodePtr FRoot;
    std::map<TKey, TNodePtr> FHandles;
    TKey FNextHandle = 0x1000;
};

}  // namespace lum::fakes
