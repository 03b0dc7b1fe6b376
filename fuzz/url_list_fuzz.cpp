// Fuzzes the settings store against a registry built from the input: a URL
// list key holding values of arbitrary names, types and data (NULs, "=",
// backslashes, long texts). LoadURLList must give exactly the non-empty
// texts in enumeration order, or fail with the type error at the first
// value that is not a string, leaving the earlier entries as name=URL; the
// settings record and the dialog must show every readable URL (the dialog
// cut to the URL box's line limit) and name every unreadable value in one
// report; saving lines around the unreadable values must keep them as they
// are and load back as the lines; the scalar reads must follow the integer
// rule; SaveURLList must store lines that load back. No key handle may stay
// open. Any other outcome aborts.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "common/IntText.h"
#include "fakes/FakeConfigDialogView.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeRegistry.h"
#include "settings/ConfigDlg.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace {

using lum::fuzz::Check;
using lum::RegType::ExpandString;
using lum::RegType::String;

const std::string kSettingsKey = "Software\\Orvane\\Lumenary";
const std::string kURLKey = kSettingsKey + "\\URLList";

struct TValue {
    std::string Name;
    lum::TRegValue Value;
};

bool IsString(std::uint32_t type) {
    return type == String || type == ExpandString;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::uint32_t ConsumeType(FuzzedDataProvider& input) {
    static const std::uint32_t kTypes[] = {String,       String, String, String, String, String,
                                           ExpandString, 0,      3,      4,      7,      11};
    return input.PickValueInArray(kTypes);
}

// Text data, now and then behind a run of characters that brings it close
// to the URL box's line limit.
std::string ConsumeData(FuzzedDataProvider& input) {
    std::string data;
    if (input.ConsumeIntegralInRange(0, 7) == 0)
        data.assign(lum::kMaxURLLineChars - 20 + input.ConsumeIntegralInRange(0, 40), 'u');
    return data + input.ConsumeRandomLengthString(64);
}

// The values as the registry keeps them: a name that differs only in
// letter case from an earlier one replaces that value in its place.
std::vector<TValue> BuildURLList(FuzzedDataProvider& input, lum::fakes::TFakeRegistry& registry) {
    std::vector<TValue> values;
    const int count = input.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < count; ++i) {
        TValue value{input.ConsumeRandomLengthString(12), {ConsumeType(input), ConsumeData(input)}};
        registry.PutValue(kURLKey, value.Name, value.Value);
        bool replaced = false;
        for (TValue& existing : values) {
            if (Lower(existing.Name) == Lower(value.Name)) {
                existing.Value = value.Value;
                replaced = true;
            }
        }
        if (!replaced)
            values.push_back(std::move(value));
    }
    return values;
}

std::string TextOf(const lum::TRegValue& value) {
    return value.Text.substr(0, value.Text.find('\0'));
}

// What LoadURLList must append, and the failing value's name if any; what
// a load of every entry on its own must give.
struct TExpected {
    std::vector<std::string> URLs;
    std::vector<std::string> Entries;  // name=URL, as left by a failure
    std::vector<std::string> Names;
    std::optional<std::string> BadName;
    std::vector<std::string> AllURLs;  // every readable entry
    std::vector<std::string> AllNames;
    std::vector<std::string> BadNames;  // every unreadable entry
};

TExpected Expect(const std::vector<TValue>& values) {
    TExpected expected;
    for (const TValue& value : values) {
        if (!IsString(value.Value.Type)) {
            expected.BadNames.push_back(value.Name);
            if (!expected.BadName)
                expected.BadName = value.Name;
            continue;
        }
        const std::string text = TextOf(value.Value);
        if (text.empty())
            continue;
        expected.AllURLs.push_back(text);
        expected.AllNames.push_back(value.Name);
        if (expected.BadName)
            continue;
        expected.URLs.push_back(text);
        expected.Entries.push_back(value.Name + "=" + text);
        expected.Names.push_back(value.Name);
    }
    return expected;
}

// The type error of each unreadable entry, in order, as one report shows
// them; what() ends at a NUL in a name, as any C string does.
std::string ExpectedReport(const TExpected& expected) {
    std::string report;
    for (const std::string& name : expected.BadNames) {
        const std::string message = "'" + name + "' のデータ型が不正です";
        report += (report.empty() ? "" : "\n") + std::string(message.c_str());
    }
    return report;
}

void CheckStoreLoad(lum::fakes::TFakeRegistry& registry,
                    const TExpected& expected,
                    bool prefilled) {
    std::vector<std::string> target;
    if (prefilled)
        target.push_back("kept=as it was");
    {
        lum::TSettingsStore store(registry);
        try {
            store.LoadURLList(target);
            Check(!expected.BadName);
            std::vector<std::string> want(prefilled ? 1 : 0, "kept=as it was");
            want.insert(want.end(), expected.URLs.begin(), expected.URLs.end());
            Check(target == want);
        } catch (const lum::Exception& error) {
            Check(expected.BadName.has_value());
            // what() ends at a NUL in the name, as any C string does.
            const std::string message = "'" + *expected.BadName + "' のデータ型が不正です";
            Check(std::strcmp(error.what(), message.c_str()) == 0);
            std::vector<std::string> want(prefilled ? 1 : 0, "kept=as it was");
            want.insert(want.end(), expected.Entries.begin(), expected.Entries.end());
            Check(target == want);
        }
    }
    Check(registry.OpenHandleCount() == 0);
}

// The URLs as the dialog must show them when every name and URL is valid
// UTF-8: as much of each URL as fits behind its name and "=".
std::vector<std::string> ExpectedCuts(const TExpected& expected) {
    std::vector<std::string> cuts;
    for (std::size_t i = 0; i < expected.AllURLs.size(); ++i) {
        const std::size_t prefix = lum::fuzz::Utf16Length(expected.AllNames[i]).value_or(0) + 1;
        const std::size_t room = lum::kMaxURLLineChars - std::min(prefix, lum::kMaxURLLineChars);
        cuts.emplace_back(lum::fuzz::Utf16Prefix(expected.AllURLs[i], room));
    }
    return cuts;
}

bool AllValidText(const TExpected& expected) {
    for (std::size_t i = 0; i < expected.AllURLs.size(); ++i) {
        if (!lum::fuzz::Utf16Length(expected.AllNames[i]) ||
            !lum::fuzz::Utf16Length(expected.AllURLs[i]))
            return false;
    }
    return true;
}

// The dialog shows each URL as far as name "=" URL fits in the box's line.
void CheckDialogLoad(lum::fakes::TFakeRegistry& registry, const TExpected& expected) {
    lum::fakes::TFakeApplicationPlatform platform;
    lum::TApplication application(platform);
    lum::SetApplication(&application);
    lum::fakes::TFakeFileSystem files;
    lum::fakes::TFakeMessageBoxes boxes;
    auto view = std::make_unique<lum::fakes::TFakeConfigDialogView>();
    auto& box = *view;
    {
        lum::TLumenaryConfigDlg dialog(nullptr, registry, files, boxes, "C:\\Cache\\",
                                       std::move(view));
        if (expected.BadName) {
            Check(platform.Reports.size() == 1);
            Check(platform.Reports[0] == ExpectedReport(expected));
        } else {
            Check(platform.Reports.empty());
        }
        Check(box.URLBox == lum::JoinURLLines(ExpectedCuts(expected)) || !AllValidText(expected));
        Check(box.URLBox.size() <= lum::JoinURLLines(expected.AllURLs).size());
    }
    lum::SetApplication(nullptr);
    Check(registry.OpenHandleCount() == 0);
}

// The settings record loads every readable entry; lines saved around the
// unreadable ones leave those as they were and load back in order.
void CheckRecordLoadAndSaveAround(lum::fakes::TFakeRegistry& registry,
                                  const std::vector<TValue>& values,
                                  const TExpected& expected,
                                  FuzzedDataProvider& input) {
    std::vector<std::string> lines(input.ConsumeIntegralInRange(0, 12));
    for (std::string& line : lines)
        line = input.ConsumeRandomLengthString(16);
    {
        lum::TSettingsStore store(registry);
        const lum::TSettingsLoad loaded = lum::LoadSettings(store);
        Check(loaded.Values.URLs == expected.AllURLs);
        Check(loaded.URLNames == expected.AllNames);
        Check(loaded.URLFailures.size() == expected.BadNames.size());
        lum::SaveURLListKeepingUnreadable(store, lines, loaded);
    }
    for (const TValue& value : values) {
        if (IsString(value.Value.Type))
            continue;
        const auto kept = registry.GetValue(kURLKey, value.Name);
        Check(kept && kept->Type == value.Value.Type && kept->Text == value.Value.Text);
    }
    std::vector<std::string> nonEmpty;
    for (const std::string& line : lines) {
        const std::string text = line.substr(0, line.find('\0'));
        if (!text.empty())
            nonEmpty.push_back(text);
    }
    lum::TSettingsStore store(registry);
    Check(lum::LoadSettings(store).Values.URLs == nonEmpty);
}

// A value's text read as an integer, a Boolean and a text.
void CheckScalarReads(FuzzedDataProvider& input) {
    lum::fakes::TFakeRegistry registry;
    const lum::TRegValue value{ConsumeType(input), input.ConsumeRandomLengthString(24)};
    registry.PutValue(kSettingsKey, "RefreshTime", value);
    {
        lum::TSettingsStore store(registry);
        const std::string text = TextOf(value);
        const std::string bad = "'RefreshTime' のデータ型が不正です";
        auto failsWithType = [&](auto read) {
            try {
                read();
            } catch (const lum::Exception& error) {
                return error.what() == bad;
            }
            return false;
        };
        if (IsString(value.Type)) {
            const auto number = lum::StrToIntDef(text, 1, lum::THexPrefixes::DollarOr0x);
            Check(store.ReadIntValue("Lumenary", "RefreshTime", 1) == number);
            Check(store.ReadIntValue("Lumenary", "refreshtime", -3) ==
                  lum::StrToIntDef(text, -3, lum::THexPrefixes::DollarOr0x));
            Check(store.ReadBoolValue("Lumenary", "RefreshTime", true) ==
                  (lum::StrToIntDef(text, 1, lum::THexPrefixes::DollarOr0x) != 0));
            Check(store.ReadTextValue("Lumenary", "RefreshTime", "d") == text);
        } else {
            Check(failsWithType([&] { store.ReadIntValue("Lumenary", "RefreshTime", 1); }));
            Check(failsWithType([&] { store.ReadBoolValue("Lumenary", "RefreshTime", true); }));
            Check(failsWithType([&] { store.ReadTextValue("Lumenary", "RefreshTime", ""); }));
        }
        Check(store.ReadIntValue("Lumenary", "Missing", 42) == 42);
    }
    Check(registry.OpenHandleCount() == 0);
}

// Lines saved by the dialog come back, the empty ones left out.
void CheckSaveAndLoad(FuzzedDataProvider& input) {
    lum::fakes::TFakeRegistry registry;
    std::vector<std::string> lines(input.ConsumeIntegralInRange(0, 12));
    for (std::string& line : lines)
        line = input.ConsumeRandomLengthString(16);
    std::vector<std::string> loaded;
    {
        lum::TSettingsStore store(registry);
        store.SaveURLList(lines);
        store.LoadURLList(loaded);
    }
    Check(registry.KeyExists(kURLKey) == !lines.empty());
    const std::vector<std::string> names = registry.ValueNames(kURLKey);
    Check(names.size() == lines.size());
    std::vector<std::string> nonEmpty;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Check(names[i] == std::to_string(i + 1));
        Check(registry.GetValue(kURLKey, names[i])->Text == lines[i]);
        const std::string text = lines[i].substr(0, lines[i].find('\0'));
        if (!text.empty())
            nonEmpty.push_back(text);
    }
    Check(loaded == nonEmpty);
    Check(registry.OpenHandleCount() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    lum::fakes::TFakeRegistry registry;
    const bool prefilled = input.ConsumeBool();
    const std::vector<TValue> values = BuildURLList(input, registry);
    const TExpected expected = Expect(values);
    CheckStoreLoad(registry, expected, prefilled);
    CheckDialogLoad(registry, expected);
    CheckRecordLoadAndSaveAround(registry, values, expected, input);
    CheckScalarReads(input);
    CheckSaveAndLoad(input);
    return 0;
}
