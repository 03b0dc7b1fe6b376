#include <sys/wait.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/stdDialogs.h"
#include "linux/GtkApplication.h"
#include "linux/session/WebSessionCommands.h"
#include "linux/settings/GtkConfigDialog.h"
#include "platform/Types.h"
#include "settings/SignInUrl.h"

// The sign-in and sign-out buttons under the URL list: the sign-in window
// is a program of its own (it alone links the browser engine), started for
// the URL under the text cursor while the dialog stays open; the sign-out
// is the one of `lumenary --sign-out`, asked and reported in boxes.

namespace lum::gtk {


void StartProgram(const std::string& program,
                  const std::string& url,
                  std::function<void(const std::string& how)> failed) {
    const gchar* argv[] = {program.c_str(), url.c_str(), nullptr};
    GError* error = nullptr;
    GPid pid = 0;
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an
    // intermediate child that ends at once, leaving nothing to wait for;
    // with it the program is our child until this process ends, and the
    // watch below collects it.
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr,
                       failed ? G_SPAWN_DO_NOT_REAP_CHILD : G_SPAWN_DEFAULT, nullptr, nullptr, &pid,
                       &error)) {
        const std::string reason = error ? error->message : "";
        g_clear_error(&error);
        throw Exception("サインインのウィンドウを開けません。\n" + program + ": " + reason);
    }
    if (!failed)
        return;
    using TFailed = std::function<void(const std::string&)>;
    g_child_watch_add_full(
        G_PRIORITY_DEFAULT, pid,
        +[](GPid child, gint status, gpointer data) {
            g_spawn_close_pid(child);
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                return;
            (*static_cast<TFailed*>(data))(WIFEXITED(status)
                                               ? "終了コード " + std::to_string(WEXITSTATUS(status))
                                               : "シグナル " + std::to_string(WTERMSIG(status)));
        },
        new TFailed(std::move(failed)), +[](gpointer data) { delete static_cast<TFailed*>(data); });
}

void TGtkConfigDialog::StartSignInProgram(const std::string& url) {
    const std::string program = FWebSession.SignInProgram;
    std::weak_ptr<bool> alive = FAlive;
    StartProgram(program, url, [this, alive, program](const std::string& how) {
        // The program has told its reason on standard error.
        if (!alive.expired())
            ShowMsg(FMessageBoxes,
                    "サインインのウィンドウが異常終了しました (" + how + ")。\n" + program, mtError,
                    0);
    });
}

GtkWidget* TGtkConfigDialog::CreateSessionButtons() {
    Slot(TConfigWidget::SignInBtn) = gtk_button_new_with_label(kSignInCaption);
    Slot(TConfigWidget::SignOutBtn) = gtk_button_new_with_label(kSignOutCaption);
    gtk_widget_set_tooltip_text(Control(TConfigWidget::SignInBtn),
                                "カーソルのある行のURLをサインイン用のウィンドウで開きます。"
                                "サインインした状態は、スクリーンセーバーが使います。");
    gtk_widget_set_tooltip_text(Control(TConfigWidget::SignOutBtn),
                                "保存されたサインインの状態、信頼した証明書と、"
                                "キーリングに記憶したパスワードを削除します。");
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_halign(row, GTK_ALIGN_START);
    gtk_container_add(GTK_CONTAINER(row), Control(TConfigWidget::SignInBtn));
    gtk_container_add(GTK_CONTAINER(row), Control(TConfigWidget::SignOutBtn));
    g_signal_connect(Control(TConfigWidget::SignInBtn), "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer self) {
                         Guarded([&] { static_cast<TGtkConfigDialog*>(self)->SignInClick(); });
                     }),
                     this);
    g_signal_connect(Control(TConfigWidget::SignOutBtn), "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer self) {
                         Guarded([&] { static_cast<TGtkConfigDialog*>(self)->SignOutClick(); });
                     }),
                     this);
    return row;
}

std::string TGtkConfigDialog::CursorLineUrl() {
    GtkTextBuffer* buffer =
        gtk_text_view_get_buffer(GTK_TEXT_VIEW(Control(TConfigWidget::URLList)));
    GtkTextIter cursor;
    gtk_text_buffer_get_iter_at_mark(buffer, &cursor, gtk_text_buffer_get_insert(buffer));
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* raw = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    const std::string text = raw;
    g_free(raw);
    // The saved list is read only when the box holds no URL.
    const std::string inBox = SignInUrlAt(text, gtk_text_iter_get_line(&cursor), "");
    if (!inBox.empty() || !FWebSession.SavedFirstUrl)
        return inBox;
    return FWebSession.SavedFirstUrl();
}

void TGtkConfigDialog::SignInClick() {
    try {
        const std::string url = CursorLineUrl();
        if (url.empty()) {
            ShowMsg(FMessageBoxes,
                    "サインインするURLがありません。\n"
                    "URLリストにページのURLを書いて、その行にカーソルを置いてください。",
                    mtWarning, 0);
            return;
        }
        // The sign-in program takes a leading "-" for an option.
        if (url[0] == '-') {
            ShowMsg(FMessageBoxes, "「" + url + "」はURLではありません。", mtWarning, 0);
            return;
        }
        if (FWebSession.StartSignIn)
            FWebSession.StartSignIn(url);
    } catch (const std::exception& e) {
        ShowMsg(FMessageBoxes, e.what(), mtError, 0);
    }
}

void TGtkConfigDialog::SignOutClick() {
    try {
        ReportSignOut();
    } catch (const std::exception& e) {
        ShowMsg(FMessageBoxes, e.what(), mtError, 0);
    }
}

void TGtkConfigDialog::ReportSignOut() {
    const std::string& dir = FWebSession.DataDir;
    auto ask = [this, &dir](const TWebDataRemoval& found) {
        return AskYesNo(FMessageBoxes, SignOutQuestion(dir, found), mtConfirmation, 0);
    };
    const TSignOutResult result =
        SignOutSession(dir, FWebSession.LockPath, ask, FWebSession.CacheDir);
    switch (result.State) {
        case TSignOutResult::NothingKept:
            ShowMsg(FMessageBoxes,
                    "保存されたサインインの状態はありません。\n(" + dir + " はありません)",
                    mtInformation, 0);
            return;
        case TSignOutResult::InUse:
            ShowMsg(FMessageBoxes,
                    "キャプチャーかサインインのウィンドウがWebセッションを使っています。\n"
                    "終わってからサインアウトしてください。\n(" +
                        FWebSession.LockPath + ")",
                    mtWarning, 0);
            return;
        case TSignOutResult::Declined:
            return;
        case TSignOutResult::Removed:
            break;
    }
    const std::string keyring = SignOutKeyringText(result.Removal);
    if (result.Removal.Error.empty()) {
        ShowMsg(FMessageBoxes,
                "サインアウトしました。削除したもの:\n" + SignOutRemovalText(dir, result.Removal) + keyring,
                result.Removal.KeyringError.empty() ? mtInformation : mtWarning, 0);
    } else {
        ShowMsg(FMessageBoxes,
                "一部を削除できませんでした: " + result.Removal.Error + "\n削除したもの:\n" +
                    SignOutRemovalText(dir, result.Removal) + keyring,
                mtWarning, 0);
    }
}

}  // namespace lum::gtk
