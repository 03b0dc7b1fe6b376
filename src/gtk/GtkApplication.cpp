#include "gtk/GtkApplication.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>

namespace lum::gtk {

namespace {

bool gQuitAsked = false;
std::function<void()>* gOnSignal = nullptr;

gboolean OnQuitSignal(gpointer) {
    if (gOnSignal && *gOnSignal)
        (*gOnSignal)();
    else
        QuitMainLoop();
    return G_SOURCE_CONTINUE;
}

GtkMessageType MessageTypeOf(std::uint32_t icon) {
    switch (icon) {
        case MsgIcon::Hand:
            return GTK_MESSAGE_ERROR;
        case MsgIcon::Question:
            return GTK_MESSAGE_QUESTION;
        case MsgIcon::Exclamation:
            return GTK_MESSAGE_WARNING;
        case MsgIcon::Asterisk:
            return GTK_MESSAGE_INFO;
        default:
            return GTK_MESSAGE_OTHER;
    }
}

void WriteToStderr(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.empty() ? "lumenary" : caption.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace

void RunMainLoop() {
    if (!gQuitAsked)
        gtk_main();
    gQuitAsked = false;
}

void QuitMainLoop() {
    if (gtk_main_level() > 0)
        gtk_main_quit();
    else
        gQuitAsked = true;
}

void InstallQuitSignals(std::function<void()> onSignal) {
    static std::function<void()> handler;
    static bool installed = false;
    handler = std::move(onSignal);
    gOnSignal = &handler;
    if (installed)
        return;
    installed = true;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        g_unix_signal_add(signal, &OnQuitSignal, nullptr);
}

std::string MnemonicOf(const std::string& caption) {
    std::string result;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (c == '_') {
            result += "__";
        } else if (c == '&' && i + 1 < caption.size() && caption[i + 1] == '&') {
            result += '&';
            ++i;
        } else {
            result += c == '&' ? '_' : c;
        }
    }
    return result;
}

void TGtkMessageBoxes::MessageBeep(std::uint32_t) {
    if (!AllowDialogs)
        return;
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_display_beep(display);
}

bool TGtkMessageBoxes::ShowMessageBox(const TMessageBoxRequest& request) {
    if (!AllowDialogs || !gdk_display_get_default()) {
        WriteToStderr(request.Caption, request.Text);
        return false;
    }
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageTypeOf(request.Icon),
                               GTK_BUTTONS_NONE, "%s", request.Text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), request.Caption.c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    const std::string first = request.FirstButton.empty() ? "OK" : request.FirstButton;
    gtk_dialog_add_button(GTK_DIALOG(dialog), MnemonicOf(first).c_str(), GTK_RESPONSE_ACCEPT);
    if (request.Buttons == TMsgButtons::AcceptCancel)
        gtk_dialog_add_button(GTK_DIALOG(dialog), MnemonicOf(request.SecondButton).c_str(),
                              GTK_RESPONSE_CANCEL);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_ACCEPT;
}

TGtkApplicationPlatform::~TGtkApplicationPlatform() {
    if (FIdle)
        g_source_remove(FIdle);
    RunDeferred();
}

void TGtkApplicationPlatform::ShowErrorReport(const std::string& title,
                                              const std::string& message) {
    TMessageBoxRequest request;
    request.Text = message;
    request.Caption = title;
    request.Icon = MsgIcon::Hand;
    request.FirstButton = "OK";
    FBoxes.ShowMessageBox(request);
}

void TGtkApplicationPlatform::PostDeferred(std::function<void()> action) {
    FQueue.push_back(std::move(action));
    if (!FIdle)
        FIdle = g_idle_add_full(G_PRIORITY_DEFAULT, &Idle, this, nullptr);
}

int TGtkApplicationPlatform::Idle(void* self) {
    auto* platform = static_cast<TGtkApplicationPlatform*>(self);
    platform->FIdle = 0;
    platform->RunDeferred();
    return G_SOURCE_REMOVE;
}

void TGtkApplicationPlatform::RunDeferred() {
    while (!FQueue.empty()) {
        auto action = std::move(FQueue.front());
        FQueue.pop_front();
        try {
            action();
        } catch (const std::exception& e) {
            // After the program's end there is no application left to report to.
            try {
                Application().ShowException(e);
            } catch (...) {
                WriteToStderr("lumenary", e.what());
            }
        }
    }
}

}  // namespace lum::gtk
