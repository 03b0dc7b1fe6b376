#include "settings/SettingsStore.h"

#include <iterator>
#include <utility>

#include "common/IntText.h"
#include "platform/Types.h"

namespace lum {

namespace {

// Closes a key on every path out of the code that opened it.
class TKeyGuard {
  public:
    TKeyGuard(IRegistry& registry, IRegistry::TKey key) : FRegistry(registry), FKey(key) {}
    ~TKeyGuard() {
        if (FKey)
            FRegistry.CloseKey(FKey);
    }
    TKeyGuard(const TKeyGuard&) = delete;
    TKeyGuard& operator=(const TKeyGuard&) = delete;
    IRegistry::TKey Get() const { return FKey; }

  private:
    IRegistry& FRegistry;
    IRegistry::TKey FKey;
};

bool IsStringType(std::uint32_t type) {
    return type == RegType::String || type == RegType::ExpandString;
}

// True and the text when the value exists below base\section; a value of a
// type other than a string makes the read fail. Without a base key (it could
// be neither opened nor created) nothing exists.
bool ReadStoredText(IRegistry& registry,
                    IRegistry::TKey base,
                    const std::string& section,
                    const std::string& name,
                    std::string& text) {
    if (!base)
        return false;
    TKeyGuard key(registry, registry.OpenKey(base, section));
    if (!key.Get())
        return false;
    TRegValue value;
    if (!registry.QueryValue(key.Get(), name, value))
        return false;
    if (!IsStringType(value.Type))
        throw Exception("'" + name + "' のデータ型が不正です");
    text = std::move(value.Text);
    return true;
}

// Deletes name below parent with all its subkeys, the last subkey first so
// that the indexes of the remaining ones stay valid. Nothing is reported.
void EraseKeyBelow(IRegistry& registry, IRegistry::TKey parent, const std::string& name) {
    {
        TKeyGuard key(registry, registry.OpenKey(parent, name));
        if (key.Get()) {
            for (std::uint32_t index = registry.SubkeyCount(key.Get()); index-- > 0;) {
                std::string subkey;
                // An empty name would open the key itself again.
                if (registry.SubkeyName(key.Get(), index, subkey) && !subkey.empty()) {
                    EraseKeyBelow(registry, key.Get(), subkey);
                }
            }
        }
    }
    registry.DeleteKey(parent, name);
}

}  // namespace

TSettingsStore::TSettingsStore(IRegistry& registry, std::string section)
    : FRegistry(registry),
      FSection(std::move(section)),
      FBase(registry.CreateKey(registry.CurrentUser(), kBaseKey)) {}

TSettingsStore::~TSettingsStore() {
    if (FBase)
        FRegistry.CloseKey(FBase);
}

// Without a base key every read gives its default, every write fails as if
// its key could not be created, and erasing does nothing.

std::string TSettingsStore::ReadTextValue(const std::string& section,
                                          const std::string& name,
                                          const std::string& def) {
    std::string text;
    return ReadStoredText(FRegistry, FBase, section, name, text) ? text : def;
}

std::int32_t TSettingsStore::ReadIntValue(const std::string& section,
                                          const std::string& name,
                                          std::int32_t def) {
    // Text that is not a whole number, the empty text included, gives the
    // default just as a missing value does.
    std::string text;
    if (!ReadStoredText(FRegistry, FBase, section, name, text))
        return def;
    return StrToIntDef(text, def, THexPrefixes::DollarOr0x);
}

bool TSettingsStore::ReadBoolValue(const std::string& section, const std::string& name, bool def) {
    return ReadIntValue(section, name, def ? 1 : 0) != 0;
}

void TSettingsStore::WriteTextValue(const std::string& section,
                                    const std::string& name,
                                    const std::string& text) {
    TKeyGuard key(FRegistry, FBase ? FRegistry.CreateKey(FBase, section) : 0);
    if (!key.Get())
        throw Exception("キー " + section + " の作成に失敗しました");
    if (!FRegistry.SetStringValue(key.Get(), name, text)) {
        throw Exception("'" + name + "' の設定に失敗しました");
    }
}

void TSettingsStore::WriteIntValue(const std::string& section,
                                   const std::string& name,
                                   std::int32_t value) {
    WriteTextValue(section, name, std::to_string(value));
}

void TSettingsStore::WriteBoolValue(const std::string& section,
                                    const std::string& name,
                                    bool value) {
    WriteTextValue(section, name, value ? "1" : "0");
}

void TSettingsStore::EraseKey(const std::string& section) {
    if (FBase)
        EraseKeyBelow(FRegistry, FBase, section);
}

std::vector<std::string> TSettingsStore::ValueNames(const std::string& section) {
    std::vector<std::string> names;
    if (!FBase)
        return names;
    TKeyGuard key(FRegistry, FRegistry.OpenKey(FBase, section));
    if (!key.Get())
        return names;
    const std::uint32_t count = FRegistry.ValueCount(key.Get());
    for (std::uint32_t index = 0; index < count; ++index) {
        std::string name;
        if (FRegistry.ValueName(key.Get(), index, name))
            names.push_back(std::move(name));
    }
    return names;
}

void TSettingsStore::LoadURLList(std::vector<std::string>& target,
                                 std::vector<std::string>* names) {
    const std::string section = URLListSection();
    std::vector<std::string> valueNames = ValueNames(section);
    // Entries are first appended as name "=" URL and reduced to the URL
    // once all are read; a read that fails leaves the earlier ones whole.
    const std::size_t first = target.size();
    std::vector<std::string> loadedNames;
    for (std::string& name : valueNames) {
        std::string text = ReadTextValue(section, name, "");
        if (text.empty())
            continue;
        target.push_back(name + "=" + text);
        loadedNames.push_back(std::move(name));
    }
    // The cut lies after the entry's own name, so a URL holding "=" stays
    // whole even when a hand-made value name holds one too.
    for (std::size_t i = 0; i < loadedNames.size(); ++i) {
        target[first + i].erase(0, loadedNames[i].size() + 1);
    }
    if (names)
        names->insert(names->end(), std::make_move_iterator(loadedNames.begin()),
                      std::make_move_iterator(loadedNames.end()));
}

void TSettingsStore::SaveURLList(const std::vector<std::string>& lines) {
    const std::string section = URLListSection();
    EraseKey(section);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        WriteTextValue(section, std::to_string(i + 1), lines[i]);
    }
}

void TSettingsStore::Commit() {
    std::string error;
    if (!FRegistry.CommitChanges(error))
        throw Exception(error);
}

}  // namespace lum
