// The settings store: the screen saver's settings and URL list as string
// values under HKEY_CURRENT_USER\Software\Orvane\<section>. Each user opens
// a store for one batch of reads or writes; writes are stored by Commit.
// Read failures (a value of the wrong registry type) and write failures
// throw lum::Exception with the messages the users show; missing keys and
// values give the defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace lum {

// The base key below HKEY_CURRENT_USER; sections are paths relative to it.
inline constexpr const char* kBaseKey = "Software\\Orvane\\";
// The settings section is the application title; the URL list lies below it.
inline constexpr const char* kApplicationTitle = "Lumenary";
inline constexpr const char* kURLListSuffix = "\\URLList";

class TSettingsStore {
  public:
    // Opens the base key, creating it when missing (also for reads). The
    // section defaults to the application title.
    explicit TSettingsStore(IRegistry& registry, std::string section = kApplicationTitle);
    ~TSettingsStore();
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;

    const std::string& SettingsSection() const { return FSection; }
    std::string URLListSection() const { return FSection + kURLListSuffix; }

    std::int32_t ReadIntValue(const std::string& section,
                              const std::string& name,
                              std::int32_t def);
    bool ReadBoolValue(const std::string& section, const std::string& name, bool def);
    std::string ReadTextValue(const std::string& section,
                              const std::string& name,
                              const std::string& def);
    void WriteIntValue(const std::string& section, const std::string& name, std::int32_t value);
    void WriteBoolValue(const std::string& section, const std::string& name, bool value);
    void WriteTextValue(const std::string& section,
                        const std::string& name,
                        const std::string& text);
    void EraseKey(const std::string& section);
    // The names of the values of section, in enumeration order; none when
    // the key is missing. A name that cannot be read is left out.
    std::vector<std::string> ValueNames(const std::string& section);

    // Appends the stored URLs, one bare URL per entry, in enumeration order,
    // empty values left out. On a failure part-way the entries appended so
    // far keep their unreduced form name "=" URL. When names is given, the
    // value name of each appended URL is appended to it, in the same order.
    void LoadURLList(std::vector<std::string>& target, std::vector<std::string>* names = nullptr);
    // Replaces the stored list with the lines, numbered "1" to "N".
    void SaveURLList(const std::vector<std::string>& lines);
    // Stores the writes and erasures of this store: the Windows registry has
    // applied each one already, the settings file is replaced once with all
    // of them. A store closed without it stores nothing more. Throws the
    // registry's message when they cannot be stored; the settings file is
    // then as it was.
    void Commit();

  private:
    IRegistry& FRegistry;
    std::string FSection;
    IRegistry::TKey FBase;
};

}  // namespace lum
