// The settings file behind the registry: where it is, each batch's fresh
// read of it and what was wrong with it, and the commit that replaces it in
// one step, keeping a file that could not be read.
#include "linux/IniRegistry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "linux/PosixFileSystem.h"

namespace lum::gtk {

void ReportToStandardError(const TIniProblem& problem) {
    std::fprintf(stderr, "lumenary: %s\n", problem.Message.c_str());
    std::fflush(stderr);
}

std::string SettingsPathFor(const char* xdgConfigHome, const char* home) {
    const std::string folder = xdgConfigHome && xdgConfigHome[0] == '/'
                                   ? std::string(xdgConfigHome)
                                   : HomeFolder(home) + "/.config";
    return folder + "/lumenary/lumenary.ini";
}

std::string DefaultSettingsPath() {
    return SettingsPathFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

TIniRegistry::TIniRegistry(std::string path, TIniProblemSink sink)
    : FPath(std::move(path)), FSink(std::move(sink)), FDoc(g_key_file_new()) {}

void TIniRegistry::Report(TIniProblem problem) {
    if (FLastReported && FLastReported->Kind == problem.Kind &&
        FLastReported->Message == problem.Message)
        return;
    FLastReported = problem;
    if (FSink)
        FSink(problem);
}

// A batch begins when its first key is opened: the file is read afresh, so
// each batch sees what the others saved, and changes not committed are gone.
void TIniRegistry::Reload() {
    FDoc.reset(g_key_file_new());
    FLoadProblem.reset();
    FMustKeepFile = false;
    FUnreadBytes.reset();
    FChanged = false;
    FKeys.reset();
    auto problem = [this](TIniProblemKind kind, const std::string& message,
                          const std::string& reason = {}) {
        FLoadProblem = TIniProblem{kind, FPath, "設定ファイル " + FPath + message, reason};
        FMustKeepFile = kind == TIniProblemKind::Unreadable || kind == TIniProblemKind::Malformed;
        Report(*FLoadProblem);
    };
    const std::string defaults = "既定の設定を使います。";
    const std::string keep =
        "設定を保存するときは、このファイルを " + FPath + ".bad として残します。";
    TIniFileRead read = ReadIniFile(FPath);
    if (read.Error == ENOENT)
        return problem(TIniProblemKind::Missing, " がありません。" + defaults);
    if (read.NotAFile) {
        const std::string reason =
            std::string("ファイルではありません") + (read.IsFolder ? " (フォルダー)" : "");
        return problem(TIniProblemKind::Unreadable, " は" + reason + "。" + defaults, reason);
    }
    if (read.Error != 0) {
        return problem(TIniProblemKind::Unreadable,
                       " を読めません (" + read.Message + ")。" + defaults + keep, read.Message);
    }
    if (read.Text.find_first_not_of(" \t\r\n") == std::string::npos)
        return problem(TIniProblemKind::Empty, " は空です。" + defaults);
    std::string parseError;
    TKeyFilePtr doc = ParseIni(read.Text, parseError);
    if (!doc) {
        problem(TIniProblemKind::Malformed,
                " の形式が正しくありません (" + parseError + ")。" + defaults + keep +
                    "URL 一覧は [Lumenary\\URLList] の下に「1=https://example.com/」の形で"
                    "一行に一つずつ書きます。",
                parseError);
        FUnreadBytes = std::move(read.Text);
        return;
    }
    FDoc = std::move(doc);
    FLastReported.reset();
}

bool TIniRegistry::CommitChanges(std::string& error) {
    if (!FChanged)
        return true;
    const std::string failed = "設定ファイル " + FPath + " に書き込めません (";
    const std::string unchanged = ")。ファイルはそのままです。";
    // A new file starts with a note on what it is.
    if (FLoadProblem)
        g_key_file_set_comment(FDoc.get(), nullptr, nullptr, " Lumenary の設定 (UTF-8)", nullptr);
    std::string text;
    if (!FormatIni(FDoc.get(), text)) {
        error = failed + "大きすぎます" + unchanged;
        return false;
    }
    if (FMustKeepFile && !KeepUnreadFile(error))
        return false;
    if (const std::string problem = ReplaceIniFile(FPath, text); !problem.empty()) {
        error = failed + problem + unchanged;
        return false;
    }
    FChanged = false;
    return true;
}

// The file that was not read is kept under a new name before it is
// replaced; when it cannot be kept, it is not replaced.
bool TIniRegistry::KeepUnreadFile(std::string& error) {
    std::string kept;
    const int result = KeepIniFileAside(FPath, FUnreadBytes ? &*FUnreadBytes : nullptr, kept);
    if (result == 0) {
        Report(TIniProblem{TIniProblemKind::KeptAside,
                           FPath,
                           "読めなかった設定ファイルを " + kept + " として残しました。",
                           {}});
    } else if (result != ENOENT) {  // ENOENT: gone meanwhile, nothing to keep
        error = "設定ファイル " + FPath + " を置き換えられません (" +
                (result == EISDIR ? "ファイルではありません" : g_strerror(result)) +
                ")。ファイルはそのままです。";
        return false;
    }
    FMustKeepFile = false;
    return true;
}

}  // namespace lum::gtk
