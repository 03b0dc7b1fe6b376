#include "gtk/IniRegistry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "gtk/IniStorage.h"

#include "common/AsciiText.h"

namespace lum::gtk {

namespace {

const char* const kBasePath[] = {"Software", "Orvane"};
constexpr std::size_t kBaseDepth = 2;

std::string SystemError(int error) {
    return std::strerror(error);
}

bool StartsWith(const std::vector<std::string>& path, const std::vector<std::string>& prefix) {
    if (prefix.size() > path.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (!SameTextIgnoringCase(path[i], prefix[i]))
            return false;
    }
    return true;
}

TIniSection* FindSection(TIniDocument& doc, const std::vector<std::string>& below) {
    for (TIniSection& section : doc.Sections) {
        if (section.Path.size() == below.size() && StartsWith(section.Path, below))
            return &section;
    }
    return nullptr;
}

bool IsWhiteSpace(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

void ReportToStandardError(const TIniProblem& problem) {
    std::fprintf(stderr, "lumenary: %s\n", problem.Message.c_str());
    std::fflush(stderr);
}

std::string SettingsPathFor(const char* xdgConfigHome, const char* home) {
    std::string folder;
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        folder = xdgConfigHome;
    else
        folder = std::string(home && home[0] ? home : ".") + "/.config";
    return folder + "/lumenary/lumenary.ini";
}

std::string DefaultSettingsPath() {
    return SettingsPathFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

TIniRegistry::TIniRegistry(std::string path, TIniProblemSink sink)
    : FPath(std::move(path)), FSink(std::move(sink)) {}

void TIniRegistry::Report(TIniProblem problem) {
    if (FLastReported && FLastReported->Kind == problem.Kind &&
        FLastReported->Message == problem.Message)
        return;
    FLastReported = problem;
    if (FSink)
        FSink(problem);
}

// A batch begins when the first key is opened: the file is read afresh, so
// each batch sees what the others saved.
void TIniRegistry::BeginBatch() {
    if (FHandles.empty())
        Reload();
}

void TIniRegistry::Reload() {
    FDoc = TIniDocument{};
    FLoadProblem.reset();
    FMustKeepFile = false;
    auto problem = [this](TIniProblemKind kind, const std::string& message) {
        FLoadProblem = TIniProblem{kind, FPath, "設定ファイル " + FPath + message};
        FMustKeepFile = kind == TIniProblemKind::Unreadable || kind == TIniProblemKind::Malformed;
        Report(*FLoadProblem);
    };
    const char* const defaults = "既定の設定を使います。";
    const std::string keep =
        "設定を保存するときは、このファイルを " + FPath + ".bad として残します。";
    const TIniFileRead read = ReadIniFile(FPath);
    if (read.Error == ENOENT)
        return problem(TIniProblemKind::Missing, " がありません。" + std::string(defaults));
    if (read.NotAFile) {
        return problem(TIniProblemKind::Unreadable, std::string(" はファイルではありません") +
                                                        (read.IsFolder ? " (フォルダー)" : "") +
                                                        "。" + defaults);
    }
    if (read.Error != 0) {
        return problem(TIniProblemKind::Unreadable,
                       " を読めません (" + SystemError(read.Error) + ")。" + defaults + keep);
    }
    const std::string& text = read.Text;
    if (IsWhiteSpace(text))
        return problem(TIniProblemKind::Empty, " は空です。" + std::string(defaults));
    std::string parseError;
    if (!ParseIni(text, FDoc, parseError)) {
        return problem(TIniProblemKind::Malformed,
                       " の形式が正しくありません (" + parseError + ")。" + defaults + keep);
    }
    FLastReported.reset();
}

std::optional<TIniRegistry::TKeyPath> TIniRegistry::PathOf(TKey key) const {
    if (key == kCurrentUser)
        return TKeyPath{};
    const auto it = FHandles.find(key);
    if (it == FHandles.end())
        return std::nullopt;
    return it->second;
}

IRegistry::TKey TIniRegistry::NewHandle(TKeyPath path) {
    const TKey key = FNextHandle;
    FNextHandle += 4;
    FHandles[key] = std::move(path);
    return key;
}

bool TIniRegistry::IsBaseOrAbove(const TKeyPath& path) const {
    if (path.size() > kBaseDepth)
        return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (!SameTextIgnoringCase(path[i], kBasePath[i]))
            return false;
    }
    return true;
}

std::optional<TIniRegistry::TKeyPath> TIniRegistry::BelowBase(const TKeyPath& path) const {
    if (path.size() <= kBaseDepth || !IsBaseOrAbove(TKeyPath(path.begin(), path.begin() + 2)))
        return std::nullopt;
    return TKeyPath(path.begin() + kBaseDepth, path.end());
}

// The base key and those above it always exist; a key below it exists when
// a section names it or a key beneath it.
bool TIniRegistry::Exists(const TKeyPath& path) const {
    if (IsBaseOrAbove(path))
        return true;
    const auto below = BelowBase(path);
    if (!below)
        return false;
    for (const TIniSection& section : FDoc.Sections) {
        if (StartsWith(section.Path, *below))
            return true;
    }
    return false;
}

TIniSection* TIniRegistry::SectionOf(const TKeyPath& below) {
    return FindSection(FDoc, below);
}

// The names of the keys right below path, in the order of their sections.
std::vector<std::string> TIniRegistry::Subkeys(const TKeyPath& path) const {
    std::vector<std::string> names;
    TKeyPath below;
    if (IsBaseOrAbove(path)) {
        if (path.size() < kBaseDepth)
            return {kBasePath[path.size()]};
    } else if (auto inside = BelowBase(path)) {
        below = std::move(*inside);
    } else {
        return names;
    }
    for (const TIniSection& section : FDoc.Sections) {
        if (section.Path.size() <= below.size() || !StartsWith(section.Path, below))
            continue;
        const std::string& name = section.Path[below.size()];
        bool known = false;
        for (const std::string& other : names)
            known = known || SameTextIgnoringCase(other, name);
        if (!known)
            names.push_back(name);
    }
    return names;
}

IRegistry::TKey TIniRegistry::CreateKey(TKey parent, const std::string& path) {
    BeginBatch();
    auto full = PathOf(parent);
    if (!full)
        return 0;
    for (std::string& part : SplitRegistryPath(path))
        full->push_back(std::move(part));
    if (Exists(*full))
        return NewHandle(std::move(*full));
    const auto below = BelowBase(*full);
    if (!below)
        return 0;
    // Every missing key on the way becomes a section of its own, as the
    // registry creates each of them.
    const bool created = Change([&below](TIniDocument& doc) {
        for (std::size_t depth = 1; depth <= below->size(); ++depth) {
            const TKeyPath part(below->begin(), below->begin() + depth);
            if (!IsStorableKeyName(part.back()))
                return false;
            bool found = false;
            for (const TIniSection& section : doc.Sections)
                found = found || (section.Path.size() == depth && StartsWith(section.Path, part));
            if (!found)
                doc.Sections.push_back(TIniSection{part, {}, {}, true});
        }
        return true;
    });
    return created ? NewHandle(std::move(*full)) : 0;
}

IRegistry::TKey TIniRegistry::OpenKey(TKey parent, const std::string& path) {
    BeginBatch();
    auto full = PathOf(parent);
    if (!full)
        return 0;
    for (std::string& part : SplitRegistryPath(path))
        full->push_back(std::move(part));
    return Exists(*full) ? NewHandle(std::move(*full)) : 0;
}

void TIniRegistry::CloseKey(TKey key) {
    FHandles.erase(key);
}

bool TIniRegistry::QueryValue(TKey key, const std::string& name, TRegValue& value) {
    const auto path = PathOf(key);
    const auto below = path ? BelowBase(*path) : std::nullopt;
    TIniSection* section = below ? SectionOf(*below) : nullptr;
    if (!section)
        return false;
    for (const TIniValue& stored : section->Values) {
        if (SameTextIgnoringCase(stored.Name, name)) {
            value.Type = RegType::String;
            value.Text = stored.Text.substr(0, stored.Text.find('\0'));
            return true;
        }
    }
    return false;
}

bool TIniRegistry::SetStringValue(TKey key, const std::string& name, const std::string& text) {
    const auto path = PathOf(key);
    const auto below = path ? BelowBase(*path) : std::nullopt;
    if (!below || !Exists(*path))
        return false;
    std::string line;
    if (!FormatValueLine(name, text, line))
        return false;
    return Change([&](TIniDocument& doc) {
        TIniSection* section = FindSection(doc, *below);
        if (!section) {
            doc.Sections.push_back(TIniSection{*below, {}, {}, true});
            section = &doc.Sections.back();
        }
        section->Changed = true;
        for (TIniValue& stored : section->Values) {
            if (SameTextIgnoringCase(stored.Name, name)) {
                stored.Text = text;
                return true;
            }
        }
        section->Values.push_back(TIniValue{name, text});
        return true;
    });
}

std::uint32_t TIniRegistry::ValueCount(TKey key) {
    const auto path = PathOf(key);
    const auto below = path ? BelowBase(*path) : std::nullopt;
    const TIniSection* section = below ? SectionOf(*below) : nullptr;
    return section ? static_cast<std::uint32_t>(section->Values.size()) : 0;
}

bool TIniRegistry::ValueName(TKey key, std::uint32_t index, std::string& name) {
    const auto path = PathOf(key);
    const auto below = path ? BelowBase(*path) : std::nullopt;
    const TIniSection* section = below ? SectionOf(*below) : nullptr;
    if (!section || index >= section->Values.size())
        return false;
    name = section->Values[index].Name;
    return true;
}

std::uint32_t TIniRegistry::SubkeyCount(TKey key) {
    const auto path = PathOf(key);
    return path && Exists(*path) ? static_cast<std::uint32_t>(Subkeys(*path).size()) : 0;
}

bool TIniRegistry::SubkeyName(TKey key, std::uint32_t index, std::string& name) {
    const auto path = PathOf(key);
    if (!path || !Exists(*path))
        return false;
    const auto names = Subkeys(*path);
    if (index >= names.size())
        return false;
    name = names[index];
    return true;
}

bool TIniRegistry::DeleteKey(TKey parent, const std::string& name) {
    BeginBatch();
    auto full = PathOf(parent);
    const auto parts = SplitRegistryPath(name);
    if (!full || parts.empty())
        return false;
    full->insert(full->end(), parts.begin(), parts.end());
    const auto below = BelowBase(*full);
    if (!below || !Exists(*full) || !Subkeys(*full).empty())
        return false;
    return Change([&below](TIniDocument& doc) {
        for (auto it = doc.Sections.begin(); it != doc.Sections.end(); ++it) {
            if (it->Path.size() == below->size() && StartsWith(it->Path, *below)) {
                doc.Sections.erase(it);
                return true;
            }
        }
        return false;
    });
}

bool TIniRegistry::Change(const std::function<bool(TIniDocument&)>& change) {
    TIniDocument changed = FDoc;
    if (!change(changed))
        return false;
    if (changed.Preamble.empty() && FDoc.Sections.empty() && FDoc.Preamble.empty()) {
        changed.Preamble = {
            "; Lumenary の設定 (UTF-8)。\"\\\" で始まる文字: \\\\ \\n \\r \\t \\s(空白) "
            "\\= \\; \\# \\[ \\xHH"};
    }
    // A file that the next read would refuse is not written.
    const std::string text = FormatIni(changed);
    if (text.size() > kMaxIniFileBytes)
        return false;
    if (FMustKeepFile && !KeepUnreadFile())
        return false;
    if (!WriteFile(text))
        return false;
    FDoc = std::move(changed);
    return true;
}

// The file that was not read is kept under a new name before it is
// replaced; when it cannot be kept, it is not replaced.
bool TIniRegistry::KeepUnreadFile() {
    std::string kept;
    const int error = KeepIniFileAside(FPath, kept);
    if (error == 0) {
        Report(TIniProblem{TIniProblemKind::KeptAside, FPath,
                           "読めなかった設定ファイルを " + kept + " として残しました。"});
    } else if (error != ENOENT) {  // ENOENT: gone meanwhile, nothing to keep
        Report(TIniProblem{TIniProblemKind::WriteFailed, FPath,
                           "設定ファイル " + FPath + " を置き換えられません (" +
                               (error == EISDIR ? "ファイルではありません" : SystemError(error)) +
                               ")。ファイルはそのままです。"});
        return false;
    }
    FMustKeepFile = false;
    return true;
}

bool TIniRegistry::WriteFile(const std::string& text) {
    const int error = ReplaceIniFile(FPath, text);
    if (error != 0) {
        Report(TIniProblem{TIniProblemKind::WriteFailed, FPath,
                           "設定ファイル " + FPath + " に書き込めません (" + SystemError(error) +
                               ")。ファイルはそのままです。"});
    }
    return error == 0;
}

}  // namespace lum::gtk
