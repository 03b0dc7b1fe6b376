#include "linux/session/WebSessionCommands.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "common/stdDialogs.h"
#include "linux/GtkMessageBoxes.h"
#include "linux/IniRegistry.h"
#include "linux/PosixFileSystem.h"
#include "linux/capture/CaptureLock.h"
#include "linux/session/KeptPasswords.h"
#include "linux/session/SecretKeyring.h"
#include "linux/session/WebDataFolder.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "slideshow/PageCache.h"

namespace lum::gtk {

namespace {

std::string SiblingProgram(const char* name) {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    const std::string self =
        length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : "";
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + name;
}

int SignIn(const std::string& url) {
    const std::string program = SiblingProgram(kSignInProgramName);
    std::vector<const char*> args{program.c_str()};
    if (!url.empty())
        args.push_back(url.c_str());
    args.push_back(nullptr);
    ::execv(program.c_str(), const_cast<char* const*>(args.data()));
    std::fprintf(stderr, "lumenary: the sign-in program %s cannot be started: %s\n",
                 program.c_str(), std::strerror(errno));
    return 1;
}

// The box of the settings dialog's sign-out button: the same question, the
// same buttons (はい, いいえ: Esc and the close box answer no).
bool AskInDialog(const std::string& question) {
    TGtkMessageBoxes boxes;
    const bool yes = AskYesNo(boxes, question, mtConfirmation, 0);
    while (gtk_events_pending())
        gtk_main_iteration();
    return yes;
}

bool AskOnStandardInput(const std::string& question) {
    std::fprintf(stderr, "%s\nサインアウトしますか? [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? "、" : "") + items[i];
    return text;
}

}  // namespace

std::string SignOutRemovalText(const std::string& dir, const TWebDataRemoval& removal) {
    std::string text = "保存されたWebセッション: " + dir + "\n(ファイル " +
                       std::to_string(removal.Files) + " 個: Cookie、サイトのデータ、キャッシュ)";
    if (!removal.Trusted.empty())
        text += "\n信頼した証明書: " + Listed(removal.Trusted);
    if (!removal.Passwords.empty() && removal.KeyringError.empty())
        text += "\nキーリングに記憶したパスワード: " + Listed(removal.Passwords);
    if (!removal.RecordError.empty())
        text += "\n記憶したパスワードの記録を読めませんでした: " + removal.RecordError;
    return text;
}

std::string SignOutKeyringText(const TWebDataRemoval& removal) {
    std::string text;
    if (!removal.PasswordsGone.empty())
        text += "\nキーリングには次のパスワードがもうありませんでした: " +
                Listed(removal.PasswordsGone);
    if (!removal.KeyringError.empty()) {
        text += (removal.KeyringReached ? "\nキーリングが削除を拒みました: "
                                        : "\nキーリングに接続できませんでした: ") +
                removal.KeyringError;
        if (!removal.Passwords.empty())
            text += "\n次のパスワードはキーリングに残っています（「WebKitGTK password」の項目）: " +
                    Listed(removal.Passwords);
    }
    return text;
}

std::string SignOutQuestion(const std::string& dir, const TWebDataRemoval& found) {
    return "すべてのサイトからサインアウトします。次のものを削除します。\n" +
           SignOutRemovalText(dir, found) +
           "\n\n表示するページには、あとで改めてサインインが必要です。";
}

std::string DefaultSignInUrl() {
    TIniRegistry registry(DefaultSettingsPath());
    TSettingsStore store(registry);
    const TSettingsLoad loaded = LoadSettings(store);
    return loaded.Values.URLs.empty() ? std::string() : loaded.Values.URLs.front();
}

std::string SignInProgramPath() {
    return SiblingProgram(kSignInProgramName);
}

std::string DefaultCaptureLockPath() {
    return CaptureLockPath(std::getenv("XDG_RUNTIME_DIR"),
                           CacheDirPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME")));
}

TSignOutResult SignOutSession(const std::string& dir,
                              const std::string& lockPath,
                              const std::function<bool(const TWebDataRemoval& found)>& ask,
                              const std::string& cacheDir,
                              std::uint32_t waitMs,
                              const std::function<void()>& waiting) {
    TSignOutResult result;
    result.Removal = SurveyWebData(dir);
    if (!result.Removal.Existed)
        return result;
    // A capture has the session open; removing it under the capture would
    // leave it half written. The lock is kept until the removal is done.
    TCaptureLock lock(lockPath);
    if (!lock.AcquireWithin(waitMs, waiting)) {
        result.State = TSignOutResult::InUse;
        return result;
    }
    if (ask && !ask(result.Removal)) {
        result.State = TSignOutResult::Declined;
        return result;
    }
    result.State = TSignOutResult::Removed;
    // The record names the keyring's items; it goes with the folder, so the
    // keyring is asked first.
    const TKeptPasswordsFile record = LoadKeptPasswords(dir);
    const TKeyringClearing clearing = ClearKeptPasswords(record.Items, kKeyringTimeoutMs);
    result.Removal = RemoveWebData(dir);
    // The pictures were taken signed in: they must not stay on show.
    if (!cacheDir.empty()) {
        TPosixFileSystem files;
        RemovePagesFrom(files, cacheDir, 0);
    }
    result.Removal.RecordError = record.Error;
    result.Removal.KeyringError = clearing.Error;
    result.Removal.KeyringReached = clearing.Reached;
    result.Removal.PasswordsGone = clearing.Missing;
    result.Removal.Passwords = clearing.Removed;
    if (!clearing.Error.empty()) {  // those left in the keyring
        result.Removal.Passwords.clear();
        for (const std::string& host : KeptPasswordHosts(record.Items)) {
            if (!std::binary_search(clearing.Removed.begin(), clearing.Removed.end(), host))
                result.Removal.Passwords.push_back(host);
        }
    }
    return result;
}

int SignOut(const std::string& dir, bool yes) {
    const std::string lockPath = DefaultCaptureLockPath();
    std::function<bool(const TWebDataRemoval&)> ask;
    if (!yes) {
        ask = [&dir](const TWebDataRemoval& found) {
            const std::string question = SignOutQuestion(dir, found);
            if (gtk_init_check(nullptr, nullptr))
                return AskInDialog(question);
            const char* display = std::getenv("DISPLAY");
            if (display && *display)
                std::fprintf(stderr, "lumenary: the display %s cannot be opened; asking here\n",
                             display);
            return AskOnStandardInput(question);
        };
    }
    const std::string cacheDir = CacheDirPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    const auto waiting = [] {
        std::fprintf(stderr,
                     "lumenary: a capture pass or the sign-in window is using the session; "
                     "waiting for it to end (at most %u s)\n",
                     static_cast<unsigned>(kSignOutWaitMs / 1000));
    };
    const TSignOutResult result =
        SignOutSession(dir, lockPath, ask, cacheDir, kSignOutWaitMs, waiting);
    switch (result.State) {
        case TSignOutResult::NothingKept:
            std::printf("%s\n", DescribeRemoval(dir, result.Removal, false).c_str());
            return 0;
        case TSignOutResult::InUse:
            std::fprintf(stderr,
                         "lumenary: a capture or the sign-in window is still using the session "
                         "after %u s (%s is held); sign out when it has ended\n",
                         static_cast<unsigned>(kSignOutWaitMs / 1000), lockPath.c_str());
            return 1;
        case TSignOutResult::Declined:
            std::printf("Nothing removed.\n");
            return 1;
        case TSignOutResult::Removed:
            break;
    }
    std::printf("%s\n", DescribeRemoval(dir, result.Removal, true).c_str());
    std::printf("The pictures captured with it (in %s) are removed.\n", cacheDir.c_str());
    return result.Removal.Error.empty() && result.Removal.KeyringError.empty() ? 0 : 1;
}

int RunWebSessionCommand(const TLinuxHostOptions& options) {
    if (options.SignIn)
        return SignIn(options.SignInUrl);
    if (options.SignOut)
        return SignOut(DefaultWebDataDir(), options.Yes);
    return -1;
}

}  // namespace lum::gtk
