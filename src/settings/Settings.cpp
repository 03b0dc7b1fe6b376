#include "settings/Settings.h"

#include <set>
#include <utility>

#include "settings/Colors.h"
#include "settings/SettingsStore.h"

namespace lum {

namespace {

constexpr std::array<const char*, kSettingCount> kSettingNames = {
    "RefreshTime", "URLShowTime", "ShowURL", "ShowClock", "EnableScroll", "BackColor", "ForeColor"};

std::size_t IndexOf(TSetting setting) {
    return static_cast<std::size_t>(setting);
}

std::size_t ColorSlot(TSetting setting) {
    return setting == TSetting::BackColor ? 0 : 1;
}

// Runs read; a read error is recorded as the setting's failure, and the
// setting keeps the default it had.
template <class F>
void ReadOnItsOwn(TSettingsLoad& load, TSetting setting, F read) {
    try {
        read();
    } catch (const Exception& e) {
        load.Failures[IndexOf(setting)] = e.what();
    }
}

void LoadScalars(TSettingsStore& store, TSettingsLoad& load) {
    const std::string& section = store.SettingsSection();
    TSettings& v = load.Values;
    auto readInt = [&](TSetting s, std::int32_t& field) {
        ReadOnItsOwn(load, s, [&] { field = store.ReadIntValue(section, SettingName(s), field); });
    };
    auto readBool = [&](TSetting s, bool& field) {
        ReadOnItsOwn(load, s, [&] { field = store.ReadBoolValue(section, SettingName(s), field); });
    };
    auto readColor = [&](TSetting s, TColor& field) {
        std::string& text = load.ColorTexts[ColorSlot(s)];
        text = ColorToText(field);
        ReadOnItsOwn(load, s, [&] {
            text = store.ReadTextValue(section, SettingName(s), text);
            field = TextToColor(text);
        });
    };
    readInt(TSetting::RefreshTime, v.RefreshTime);
    readInt(TSetting::URLShowTime, v.URLShowTime);
    readBool(TSetting::ShowURL, v.ShowURL);
    readBool(TSetting::ShowClock, v.ShowClock);
    readBool(TSetting::EnableScroll, v.EnableScroll);
    readColor(TSetting::BackColor, v.BackColor);
    readColor(TSetting::ForeColor, v.ForeColor);
}

// Every entry that reads counts, in enumeration order; an empty one is no
// URL, and one that fails is listed and left out.
void LoadURLs(TSettingsStore& store, TSettingsLoad& load) {
    const std::string section = store.URLListSection();
    load.URLListNames = store.ValueNames(section);
    for (const std::string& name : load.URLListNames) {
        try {
            std::string text = store.ReadTextValue(section, name, "");
            if (text.empty())
                continue;
            load.Values.URLs.push_back(std::move(text));
            load.URLNames.push_back(name);
        } catch (const Exception& e) {
            load.URLFailures.push_back(TURLFailure{name, e.what()});
        }
    }
}

}  // namespace

const char* SettingName(TSetting setting) {
    return kSettingNames[IndexOf(setting)];
}

TSettingTexts TSettings::Texts() const {
    auto boolText = [](bool value) { return std::string(value ? "1" : "0"); };
    return TSettingTexts{std::to_string(RefreshTime), std::to_string(URLShowTime),
                         boolText(ShowURL),           boolText(ShowClock),
                         boolText(EnableScroll),      ColorToText(BackColor),
                         ColorToText(ForeColor)};
}

void TSettings::Save(TSettingsStore& store) const {
    SaveSettingTexts(store, Texts());
    store.SaveURLList(URLs);
}

bool TSettingsLoad::Failed(TSetting setting) const {
    return Failures[IndexOf(setting)].has_value();
}

std::vector<std::string> TSettingsLoad::Messages() const {
    std::vector<std::string> messages;
    for (const auto& failure : Failures) {
        if (failure)
            messages.push_back(*failure);
    }
    for (const TURLFailure& failure : URLFailures)
        messages.push_back(failure.Message);
    return messages;
}

TSettingsLoad LoadSettings(TSettingsStore& store) {
    TSettingsLoad load;
    LoadScalars(store, load);
    LoadURLs(store, load);
    return load;
}

void SaveSettingTexts(TSettingsStore& store, const TSettingTexts& texts) {
    for (TSetting setting : kAllSettings) {
        if (const auto& text = texts[IndexOf(setting)])
            store.WriteTextValue(store.SettingsSection(), SettingName(setting), *text);
    }
}

// The store has no way to rewrite a value it cannot read (nor to delete a
// single value), so the key is never erased while it holds such an entry:
// the readable entries are overwritten in place instead. Overwriting keeps a
// value's place in the enumeration; new values come after all others.
void SaveURLListKeepingUnreadable(TSettingsStore& store,
                                  const std::vector<std::string>& lines,
                                  const TSettingsLoad& loaded) {
    if (loaded.URLFailures.empty()) {
        store.SaveURLList(lines);
        return;
    }
    std::set<std::string> unreadable;
    for (const TURLFailure& failure : loaded.URLFailures)
        unreadable.insert(failure.Name);
    std::vector<std::string> reusable;
    for (const std::string& name : loaded.URLListNames) {
        if (!unreadable.count(name))
            reusable.push_back(name);
    }
    const std::set<std::string> taken(loaded.URLListNames.begin(), loaded.URLListNames.end());
    const std::string section = store.URLListSection();
    std::size_t nextReused = 0;
    std::uint64_t nextNumber = 1;
    for (const std::string& line : lines) {
        std::string name;
        if (nextReused < reusable.size()) {
            name = reusable[nextReused++];
        } else {
            while (taken.count(std::to_string(nextNumber)))
                ++nextNumber;
            name = std::to_string(nextNumber++);
        }
        store.WriteTextValue(section, name, line);
    }
    for (; nextReused < reusable.size(); ++nextReused)
        store.WriteTextValue(section, reusable[nextReused], "");
}

}  // namespace lum
