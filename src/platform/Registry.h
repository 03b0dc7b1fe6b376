// The registry as the settings store and the password check need it: keys
// opened by path below a parent, string values, enumeration by index,
// deletion of a key without subkeys, and the commit of a batch of changes.
// Failures are results (0 or false).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lum {

// Registry value types (the Windows values).
namespace RegType {
constexpr std::uint32_t None = 0;
constexpr std::uint32_t String = 1;        // REG_SZ
constexpr std::uint32_t ExpandString = 2;  // REG_EXPAND_SZ
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t DWord = 4;
}  // namespace RegType

struct TRegValue {
    std::uint32_t Type = RegType::None;
    // For string types: the text up to the first NUL of the data, UTF-8.
    std::string Text;
};

// The key names of a path below a parent ("Software\\Orvane\\Lumenary"):
// split at "\", empty names (a doubled or trailing "\") left out, as the
// registry does.
inline std::vector<std::string> SplitRegistryPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

class IRegistry {
  public:
    using TKey = std::uintptr_t;  // 0: no key
    virtual ~IRegistry() = default;

    // HKEY_CURRENT_USER; never closed.
    virtual TKey CurrentUser() = 0;
    // Opens or creates path below parent with full access; 0 on failure.
    virtual TKey CreateKey(TKey parent, const std::string& path) = 0;
    // Opens an existing key with full access; 0 when missing or on failure.
    virtual TKey OpenKey(TKey parent, const std::string& path) = 0;
    virtual void CloseKey(TKey key) = 0;
    // False when the value does not exist (or cannot be read).
    virtual bool QueryValue(TKey key, const std::string& name, TRegValue& value) = 0;
    // Sets a REG_SZ value; false on failure.
    virtual bool SetStringValue(TKey key, const std::string& name, const std::string& text) = 0;
    virtual std::uint32_t ValueCount(TKey key) = 0;
    // Name of the value at index (enumeration order); false when unreadable.
    virtual bool ValueName(TKey key, std::uint32_t index, std::string& name) = 0;
    virtual std::uint32_t SubkeyCount(TKey key) = 0;
    virtual bool SubkeyName(TKey key, std::uint32_t index, std::string& name) = 0;
    // Deletes the subkey name of parent, which must have no subkeys.
    virtual bool DeleteKey(TKey parent, const std::string& name) = 0;
    // The changes made while keys are open form one batch. A registry that
    // applies each change at once (the Windows one) has nothing to do here;
    // one kept in a file writes the batch's changes in one go, and drops
    // them when its last key is closed without this. False, with a message
    // for the user in error, when they cannot be stored: nothing of the
    // batch is then.
    virtual bool CommitChanges(std::string& error) {
        (void)error;
        return true;
    }
};

}  // namespace lum
