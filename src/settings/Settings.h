// Folder src/settings (lum_settings, in every program): the settings record
// and store, colours, the settings dialog's logic. It includes src/common.
//
// The screen saver's settings as one typed record: the value names and the
// defaults, and loading and saving them through the settings store. A load
// never fails as a whole: a setting that cannot be read keeps its default and
// is listed with its error text. Saving throws the store's write errors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace lum {

class TSettingsStore;

// The scalar settings, in the order they are read and written.
enum class TSetting {
    RefreshTime,
    URLShowTime,
    ShowURL,
    ShowClock,
    EnableScroll,
    BackColor,
    ForeColor
};
inline constexpr std::size_t kSettingCount = 7;
inline constexpr std::array<TSetting, kSettingCount> kAllSettings = {
    TSetting::RefreshTime,  TSetting::URLShowTime, TSetting::ShowURL,  TSetting::ShowClock,
    TSetting::EnableScroll, TSetting::BackColor,   TSetting::ForeColor};

// The value name of a setting in the settings key: "RefreshTime", ...
const char* SettingName(TSetting setting);

// Per scalar setting, the text to store; a setting without text is left as
// it is stored.
using TSettingTexts = std::array<std::optional<std::string>, kSettingCount>;

struct TSettings {
    std::int32_t RefreshTime = 1;        // minutes until the pages are captured again
    std::int32_t URLShowTime = 5;        // seconds a page stays on screen
    bool ShowURL = false;                // URL and capture date over the page
    bool ShowClock = false;              // current time over the page
    bool EnableScroll = true;            // scroll through pages taller than the screen
    TColor BackColor = SystemColor(15);  // clBtnFace
    TColor ForeColor = SystemColor(8);   // clWindowText
    std::vector<std::string> URLs;       // in stored order, empty entries left out

    // The stored text of every scalar setting: "5", "1", "clBtnFace", ...
    TSettingTexts Texts() const;
    // Writes every scalar setting, then replaces the URL list with URLs.
    void Save(TSettingsStore& store) const;

    bool operator==(const TSettings&) const = default;
};

// A URL list entry that could not be read.
struct TURLFailure {
    std::string Name;     // its value name
    std::string Message;  // the error text
};

// A load: the values (defaults where a setting failed) and what it met.
struct TSettingsLoad {
    TSettings Values;
    // Per scalar setting, the error text when it could not be read.
    std::array<std::optional<std::string>, kSettingCount> Failures;
    // The colour texts as read, BackColor then ForeColor (the default's
    // identifier when missing or unreadable).
    std::array<std::string, 2> ColorTexts;
    // The value name of each URL in Values.URLs.
    std::vector<std::string> URLNames;
    // Every value name of the URL list key, in enumeration order.
    std::vector<std::string> URLListNames;
    // The URL list entries that could not be read, in enumeration order.
    std::vector<TURLFailure> URLFailures;

    bool Failed(TSetting setting) const;
    // The error texts of every failure: the settings in their order, then
    // the URL list entries.
    std::vector<std::string> Messages() const;
};

// Reads every setting and every URL list entry on its own.
TSettingsLoad LoadSettings(TSettingsStore& store);

// Writes the texts in setting order, skipping settings without text. A
// failing write stops the save; the writes before it stay.
void SaveSettingTexts(TSettingsStore& store, const TSettingTexts& texts);

// Replaces the stored URL list with lines while keeping the entries the load
// could not read: those stay under their names, untouched. The lines go to
// the other entries of the load in their order, further lines to new names
// ("1", "2", ... not yet taken), and entries left over are emptied, which
// takes them out of the list. Without unreadable entries this is the plain
// replacement (key erased, lines saved as "1" to "N").
void SaveURLListKeepingUnreadable(TSettingsStore& store,
                                  const std::vector<std::string>& lines,
                                  const TSettingsLoad& loaded);

}  // namespace lum
