// The registry of the Linux program: the keys below HKEY_CURRENT_USER\Software\Orvane
// kept as groups of one settings file (IniFile.h), string values as its
// keys. A batch (from the first key opened to the last one closed) reads the
// file afresh; its changes stay in memory until CommitChanges writes them in
// one atomic replacement, and are dropped otherwise. A file that cannot be
// read or parsed gives no keys, is reported to the problem sink and is never
// rewritten by a read; the first commit keeps it as "<file>.bad" (or
// ".bad.2", ...) before replacing it, and fails when it cannot be kept.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "linux/IniFile.h"
#include "platform/Registry.h"

namespace lum::gtk {

enum class TIniProblemKind {
    Missing,     // no file yet: the defaults apply
    Empty,       // a file without any text: the defaults apply
    Unreadable,  // cannot be opened or read, too large, or not a regular file
    Malformed,   // not a settings file (Message names the line)
    KeptAside    // an unreadable or malformed file was kept under another name
};

struct TIniProblem {
    TIniProblemKind Kind = TIniProblemKind::Missing;
    std::string Path;     // the settings file
    std::string Message;  // a whole sentence for the user, naming the file
    std::string Reason;   // why, in a few words (the line of a malformed file)
    // True for what the user should be told about in a dialog: an unreadable
    // or malformed file, a file kept aside.
    bool IsError() const {
        return Kind != TIniProblemKind::Missing && Kind != TIniProblemKind::Empty;
    }
};

using TIniProblemSink = std::function<void(const TIniProblem&)>;

// Writes "lumenary: <message>" on standard error.
void ReportToStandardError(const TIniProblem& problem);

// ${XDG_CONFIG_HOME:-~/.config}/lumenary/lumenary.ini from the environment;
// SettingsPathFor takes the two variables (nullptr when unset). A relative
// XDG_CONFIG_HOME is ignored, as the XDG rules say; without HOME the home
// folder is the account's, as for the cache (HomeFolder).
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
    // Fails for a name the file cannot hold (empty, with "=", "[", "]" or
    // control characters, blanks at its ends, a leading "#" or ";"), a text
    // that is not UTF-8 (it ends at a NUL, as reads do) or a line over the
    // limit.
    bool SetStringValue(TKey key, const std::string& name, const std::string& text) override;
    std::uint32_t ValueCount(TKey key) override;
    bool ValueName(TKey key, std::uint32_t index, std::string& name) override;
    std::uint32_t SubkeyCount(TKey key) override;
    bool SubkeyName(TKey key, std::uint32_t index, std::string& name) override;
    bool DeleteKey(TKey parent, const std::string& name) override;
    bool CommitChanges(std::string& error) override;

    const std::string& Path() const { return FPath; }
    // What the latest read found wrong (Missing, Empty, Unreadable or
    // Malformed), or nothing when the file was read.
    const std::optional<TIniProblem>& LoadProblem() const { return FLoadProblem; }

  private:
    using TKeyPath = std::vector<std::string>;  // key names below HKEY_CURRENT_USER
    static constexpr TKey kCurrentUser = 0x80000001u;

    void Reload();
    void Report(TIniProblem problem);
    std::optional<TKeyPath> Resolve(TKey parent, const std::string& path);
    TKey NewHandle(TKeyPath path);
    // The group of a key below the base key; empty when there is none.
    std::string GroupOf(TKey key) const;
    std::string GroupOf(const TKeyPath& path) const;
    bool Exists(const TKeyPath& path) const;
    std::vector<std::string> Subkeys(const TKeyPath& path) const;
    // The names of group's values in file order, and by their folded case.
    struct TKeyIndex {
        std::string Group;
        std::vector<std::string> Names;
        std::unordered_map<std::string, std::size_t> Folded;
        void Add(std::string name);
    };
    const TKeyIndex& Keys(const std::string& group) const;
    // name as group spells it, or empty when it has no such value.
    std::string StoredName(const std::string& group, const std::string& name) const;
    bool KeepUnreadFile(std::string& error);

    std::string FPath;
    TIniProblemSink FSink;
    TKeyFilePtr FDoc;
    std::optional<TIniProblem> FLoadProblem;
    std::optional<TIniProblem> FLastReported;
    // The file on disk holds settings that were not read: it is kept before
    // it is replaced, as a copy of FUnreadBytes when they are known.
    bool FMustKeepFile = false;
    std::optional<std::string> FUnreadBytes;
    bool FChanged = false;
    mutable std::optional<TKeyIndex> FKeys;  // of the group asked last
    std::map<TKey, TKeyPath> FHandles;
    TKey FNextHandle = 0x100;
};

}  // namespace lum::gtk
