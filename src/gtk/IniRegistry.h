// The registry of the Linux program: the keys below HKEY_CURRENT_USER\Software\Orvane
// kept as sections of one settings file, string values as its lines. The
// file is read when a batch opens its first key and written after each change
// (temporary file, fsync, rename). A file that cannot be read or parsed gives
// no keys, is reported to the problem sink and is never rewritten by a read;
// the first change keeps it as "<file>.bad" (or ".bad.2", ...) before
// replacing it, and fails when it cannot be kept.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gtk/IniFile.h"
#include "platform/Registry.h"

namespace lum::gtk {

enum class TIniProblemKind {
    Missing,     // no file yet: the defaults apply
    Empty,       // a file without any text: the defaults apply
    Unreadable,  // cannot be opened or read, or is not a regular file
    Malformed,   // not a settings file (Message names the line)
    KeptAside,   // an unreadable or malformed file was kept under another name
    WriteFailed  // a change could not be written; the file is as it was
};

struct TIniProblem {
    TIniProblemKind Kind = TIniProblemKind::Missing;
    std::string Path;     // the settings file
    std::string Message;  // a whole sentence for the user, naming the file
    // True for what the user should be told about in a dialog: an unreadable
    // or malformed file, a file kept aside, a failed write.
    bool IsError() const {
        return Kind != TIniProblemKind::Missing && Kind != TIniProblemKind::Empty;
    }
};

using TIniProblemSink = std::function<void(const TIniProblem&)>;

// Writes "lumenary: <message>" on standard error.
void ReportToStandardError(const TIniProblem& problem);

// ${XDG_CONFIG_HOME:-~/.config}/lumenary/lumenary.ini from the environment;
// SettingsPathFor takes the two variables (nullptr when unset). A relative
// XDG_CONFIG_HOME is ignored, as the XDG rules say.
std::string DefaultSettingsPath();
std::string SettingsPathFor(const char* xdgConfigHome, const char* home);

class TIniRegistry : public IRegistry {
  public:
    // path: the settings file; its folder is created with the first write.
    // Problems go to sink (standard error by default), each one once until
    // another one or a good read comes between.
    explicit TIniRegistry(std::string path, TIniProblemSink sink = ReportToStandardError);

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

    const std::string& Path() const { return FPath; }
    // What the latest read found wrong (Missing, Empty, Unreadable or
    // Malformed), or nothing when the file was read.
    const std::optional<TIniProblem>& LoadProblem() const { return FLoadProblem; }

  private:
    using TKeyPath = std::vector<std::string>;  // key names below HKEY_CURRENT_USER
    static constexpr TKey kCurrentUser = 0x80000001u;

    void BeginBatch();
    void Reload();
    void Report(TIniProblem problem);
    std::optional<TKeyPath> PathOf(TKey key) const;
    TKey NewHandle(TKeyPath path);
    // The path below the base key, or nothing for the base key, the keys
    // above it and keys elsewhere.
    std::optional<TKeyPath> BelowBase(const TKeyPath& path) const;
    bool IsBaseOrAbove(const TKeyPath& path) const;
    bool Exists(const TKeyPath& path) const;
    TIniSection* SectionOf(const TKeyPath& below);
    std::vector<std::string> Subkeys(const TKeyPath& path) const;
    // Applies change to the document and writes it; on failure the document
    // is as before and false comes back.
    bool Change(const std::function<bool(TIniDocument&)>& change);
    bool KeepUnreadFile();
    bool WriteFile(const std::string& text);

    std::string FPath;
    TIniProblemSink FSink;
    TIniDocument FDoc;
    std::optional<TIniProblem> FLoadProblem;
    std::optional<TIniProblem> FLastReported;
    // The file on disk may hold settings that were not read: keep it before
    // replacing it.
    bool FMustKeepFile = false;
    std::map<TKey, TKeyPath> FHandles;
    TKey FNextHandle = 0x100;
};

}  // namespace lum::gtk
