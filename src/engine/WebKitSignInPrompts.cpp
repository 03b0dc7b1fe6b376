#include "engine/WebKitSignInPrompts.h"

#include <algorithm>
#include <exception>
#include <string>

#include "linux/GtkApplication.h"
#include "linux/session/KeptPasswords.h"
#include "linux/session/SecretKeyring.h"

namespace lum::gtk {

namespace {

constexpr gint kTrustResponse = 1;

std::string Reasons(GTlsCertificateFlags errors) {
    struct TReason {
        GTlsCertificateFlags Flag;
        const char* Text;
    };
    static const TReason reasons[] = {
        {G_TLS_CERTIFICATE_UNKNOWN_CA, "発行元が信頼されていません"},
        {G_TLS_CERTIFICATE_BAD_IDENTITY, "証明書のホスト名がサイトと一致しません"},
        {G_TLS_CERTIFICATE_NOT_ACTIVATED, "証明書の有効期間がまだ始まっていません"},
        {G_TLS_CERTIFICATE_EXPIRED, "証明書の有効期限が切れています"},
        {G_TLS_CERTIFICATE_REVOKED, "証明書は失効しています"},
        {G_TLS_CERTIFICATE_INSECURE, "証明書の暗号方式が安全ではありません"},
    };
    std::string text;
    for (const TReason& reason : reasons) {
        if (errors & reason.Flag)
            text += (text.empty() ? "" : "、") + std::string(reason.Text);
    }
    return text.empty() ? "証明書を検証できません" : text;
}

struct TCredentialPrompt {
    WebKitAuthenticationRequest* Request;
    std::string Dir;
    GtkWidget* User;
    GtkWidget* Password;
    GtkWidget* Remember;
};

// Notes in the web folder which keyring item WebKit keeps the password in,
// so a sign-out can remove it. A failure is told, and the sign-in goes on.
void RecordRememberedPassword(const TCredentialPrompt& prompt) {
    WebKitAuthenticationRequest* request = prompt.Request;
    TKeptPassword item;
    if (WebKitSecurityOrigin* origin = webkit_authentication_request_get_security_origin(request)) {
        if (const gchar* protocol = webkit_security_origin_get_protocol(origin))
            item.Protocol = protocol;
        webkit_security_origin_unref(origin);
    }
    gchar* host = g_ascii_strdown(webkit_authentication_request_get_host(request), -1);
    item.Host = host;
    g_free(host);
    item.Port = static_cast<int>(webkit_authentication_request_get_port(request));
    const gchar* realm = webkit_authentication_request_get_realm(request);
    item.Realm = realm ? realm : "";
    item.User = gtk_entry_get_text(GTK_ENTRY(prompt.User));
    try {
        RecordKeptPassword(prompt.Dir, item);
    } catch (const std::exception& e) {
        g_printerr("lumenary: a sign-out cannot forget the password kept for %s: %s\n",
                   item.Host.c_str(), e.what());
    }
}

// Answers the request with what the dialog holds (ok) or cancels it.
void AnswerRequest(const TCredentialPrompt& prompt, bool ok) {
    if (!ok) {
        webkit_authentication_request_cancel(prompt.Request);
        return;
    }
    const bool remember = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(prompt.Remember)) &&
                          webkit_authentication_request_can_save_credentials(prompt.Request);
    WebKitCredential* credential = webkit_credential_new(
        gtk_entry_get_text(GTK_ENTRY(prompt.User)), gtk_entry_get_text(GTK_ENTRY(prompt.Password)),
        remember ? WEBKIT_CREDENTIAL_PERSISTENCE_PERMANENT
                 : WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
    webkit_authentication_request_authenticate(prompt.Request, credential);
    webkit_credential_free(credential);
    if (remember)
        RecordRememberedPassword(prompt);
}

// The dialog goes whatever happens; a request it failed to answer is
// cancelled, so the page does not wait for it.
void CredentialResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto* prompt = static_cast<TCredentialPrompt*>(data);
    if (!Guarded(false, [&] {
            AnswerRequest(*prompt, response == GTK_RESPONSE_OK);
            return true;
        }))
        webkit_authentication_request_cancel(prompt->Request);
    g_object_unref(prompt->Request);
    delete prompt;
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

GtkWidget* LabelledEntry(GtkGrid* grid, int row, const char* label, bool secret) {
    GtkWidget* text = gtk_label_new_with_mnemonic(label);
    gtk_widget_set_halign(text, GTK_ALIGN_END);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_visibility(GTK_ENTRY(entry), !secret);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_widget_set_hexpand(entry, TRUE);
    gtk_label_set_mnemonic_widget(GTK_LABEL(text), entry);
    gtk_grid_attach(grid, text, 0, row, 1, 1);
    gtk_grid_attach(grid, entry, 1, row, 1, 1);
    return entry;
}

// The dialog's grid, with the line that says which site asks.
GtkWidget* CredentialGrid(WebKitAuthenticationRequest* request) {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 6);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
    const gchar* realm = webkit_authentication_request_get_realm(request);
    const std::string intro = std::string(webkit_authentication_request_get_host(request)) +
                              (realm && *realm ? "（" + std::string(realm) + "）" : "") +
                              " がユーザー名とパスワードを求めています。";
    gtk_grid_attach(GTK_GRID(grid), gtk_label_new(intro.c_str()), 0, 0, 2, 1);
    return grid;
}

// The user name and password entries, with the user name WebKit proposes.
void AddCredentialEntries(GtkGrid* grid, TCredentialPrompt& prompt) {
    prompt.User = LabelledEntry(grid, 1, "ユーザー名(_U):", false);
    prompt.Password = LabelledEntry(grid, 2, "パスワード(_P):", true);
    if (WebKitCredential* proposed =
            webkit_authentication_request_get_proposed_credential(prompt.Request)) {
        if (const gchar* user = webkit_credential_get_username(proposed))
            gtk_entry_set_text(GTK_ENTRY(prompt.User), user);
        webkit_credential_free(proposed);
    }
}

// The "remember" box, and where no keyring runs a note that the password is
// forgotten when the window closes.
void AddRememberBox(GtkGrid* grid, TCredentialPrompt& prompt) {
    WebKitAuthenticationRequest* request = prompt.Request;
    // WebKit offers to save whenever it was built with libsecret, even where
    // no keyring would keep the password.
    const bool canSave =
        webkit_authentication_request_can_save_credentials(request) && KeyringRuns(2000);
    webkit_authentication_request_set_can_save_credentials(request, canSave);
    prompt.Remember = gtk_check_button_new_with_mnemonic("パスワードを記憶する(_R)");
    gtk_widget_set_sensitive(prompt.Remember, canSave);
    gtk_grid_attach(grid, prompt.Remember, 1, 3, 1, 1);
    if (!canSave) {
        GtkWidget* note = gtk_label_new(
            "デスクトップのキーリングが動いていないため、パスワードはこのウィンドウを閉じると"
            "忘れられます。");
        gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
        g_printerr(
            "lumenary: no desktop keyring runs; the password for %s is forgotten when "
            "the window closes\n",
            webkit_authentication_request_get_host(request));
        gtk_grid_attach(grid, note, 0, 4, 2, 1);
    }
}

}  // namespace

std::string UntrustedCertificateText(const std::string& host,
                                     const std::string& fingerprint,
                                     GTlsCertificateFlags errors) {
    return "このサイト（" + host + "）の証明書は信頼されていません：" + Reasons(errors) +
           "。\nSHA-256 フィンガープリント: " + fingerprint +
           "\n社内サーバーの証明書であることを管理者に確かめた場合に限り、このホストについて"
           "信頼してください。信頼した証明書はサインインとキャプチャに使われます。";
}

std::string UrlHost(const std::string& url) {
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!uri)
        return {};
    const gchar* host = g_uri_get_host(uri);
    std::string text = host ? host : "";
    g_uri_unref(uri);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
    return text;
}

TCertificateBar::TCertificateBar() {
    FBar = gtk_info_bar_new();
    gtk_info_bar_set_message_type(GTK_INFO_BAR(FBar), GTK_MESSAGE_WARNING);
    FLabel = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(FLabel), TRUE);
    gtk_label_set_selectable(GTK_LABEL(FLabel), TRUE);
    gtk_label_set_xalign(GTK_LABEL(FLabel), 0);
    gtk_widget_set_hexpand(FLabel, TRUE);
    gtk_label_set_width_chars(GTK_LABEL(FLabel), 50);
    gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(FBar))), FLabel);
    gtk_widget_show(FLabel);  // the bar itself is kept out of the window's show_all
    FTrust = gtk_info_bar_add_button(GTK_INFO_BAR(FBar), "信頼する(_T)", kTrustResponse);
    gtk_info_bar_add_button(GTK_INFO_BAR(FBar), "信頼しない(_N)", GTK_RESPONSE_CANCEL);
    g_signal_connect(FBar, "response", G_CALLBACK(Response), this);
    gtk_widget_set_no_show_all(FBar, TRUE);
}

void TCertificateBar::Show(const std::string& text,
                           const std::string& host,
                           std::function<void()> onTrust) {
    gtk_label_set_text(GTK_LABEL(FLabel), text.c_str());
    std::string button;
    for (const char c : host)
        button += c == '_' ? std::string("__") : std::string(1, c);
    button += " について信頼する(_T)";  // Alt+T
    gtk_button_set_label(GTK_BUTTON(FTrust), button.c_str());
    gtk_button_set_use_underline(GTK_BUTTON(FTrust), TRUE);
    FOnTrust = std::move(onTrust);
    gtk_widget_show(FBar);
}

void TCertificateBar::Hide() {
    gtk_widget_hide(FBar);
    FOnTrust = nullptr;
}

void TCertificateBar::Response(GtkInfoBar*, gint response, gpointer self) {
    Guarded([&] {
        auto* bar = static_cast<TCertificateBar*>(self);
        std::function<void()> trust = std::move(bar->FOnTrust);
        bar->Hide();
        if (response == kTrustResponse && trust)
            trust();
    });
}

void AskCredentials(GtkWindow* parent,
                    WebKitAuthenticationRequest* request,
                    const std::string& dir) {
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        "認証が必要です", parent,
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        "キャンセル", GTK_RESPONSE_CANCEL, "サインイン", GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* grid = CredentialGrid(request);
    auto* prompt = new TCredentialPrompt{request, dir, nullptr, nullptr, nullptr};
    g_object_ref(request);
    AddCredentialEntries(GTK_GRID(grid), *prompt);
    AddRememberBox(GTK_GRID(grid), *prompt);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid);
    g_signal_connect(dialog, "response", G_CALLBACK(CredentialResponse), prompt);
    gtk_widget_show_all(dialog);
}

}  // namespace lum::gtk
