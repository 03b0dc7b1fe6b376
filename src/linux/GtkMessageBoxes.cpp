#include "linux/GtkMessageBoxes.h"

namespace lum::gtk {

namespace {

constexpr const char* kDialogClass = "lumenary-dialog";

// The dialogs' text is 12 pixels high, as on Windows; the first installed
// Japanese face wins.
constexpr const char* kDialogCss =
    ".lumenary-dialog, .lumenary-dialog * {"
    " font-family: \"IPAPGothic\", \"IPA Pゴシック\", \"Noto Sans CJK JP\", \"Noto Sans JP\","
    " \"IPAGothic\", sans-serif; font-size: 12px; }";

GtkMessageType MessageType(std::uint32_t icon) {
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

// The box stays above the window the user was working in: the active one,
// else a shown modal one (the settings dialog).
GtkWindow* OwnerWindow() {
    GtkWindow* owner = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (!gtk_widget_get_visible(GTK_WIDGET(window)))
            continue;
        if (gtk_window_is_active(window)) {
            owner = window;
            break;
        }
        if (!owner && gtk_window_get_modal(window))
            owner = window;
    }
    g_list_free(windows);
    return owner;
}

// Windows separates lines with CR LF or a lone CR; GTK with LF.
std::string LineBreaksOfGtk(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            result += text[i];
            continue;
        }
        result += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
    }
    return result;
}

}  // namespace

std::string MnemonicCaption(std::string_view caption) {
    std::string result;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '_') {
            result += "__";
        } else if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                result += '&';
                ++i;
            } else {
                result += '_';
            }
        } else {
            result += caption[i];
        }
    }
    return result;
}

void MarkDialogWindow(GtkWidget* window) {
    static GtkCssProvider* provider = nullptr;
    if (!provider) {
        provider = gtk_css_provider_new();
        gtk_css_provider_load_from_data(provider, kDialogCss, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                                  GTK_STYLE_PROVIDER(provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_style_context_add_class(gtk_widget_get_style_context(window), kDialogClass);
}

void TGtkMessageBoxes::MessageBeep(std::uint32_t icon) {
    if (GdkDisplay* display = gdk_display_get_default(); display && icon != MsgIcon::None)
        gdk_display_beep(display);
}

bool TGtkMessageBoxes::ShowMessageBox(const TMessageBoxRequest& request) {
    if (!gdk_display_get_default())
        return false;
    const bool twoButtons = request.Buttons == TMsgButtons::AcceptCancel;
    GtkWidget* box =
        gtk_message_dialog_new(OwnerWindow(), GTK_DIALOG_MODAL, MessageType(request.Icon),
                               GTK_BUTTONS_NONE, "%s", LineBreaksOfGtk(request.Text).c_str());
    MarkDialogWindow(box);
    gtk_window_set_title(GTK_WINDOW(box), request.Caption.c_str());
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_add_button(GTK_DIALOG(box), MnemonicCaption(request.FirstButton).c_str(),
                          GTK_RESPONSE_ACCEPT);
    if (twoButtons) {
        gtk_dialog_add_button(GTK_DIALOG(box), MnemonicCaption(request.SecondButton).c_str(),
                              GTK_RESPONSE_CANCEL);
    }
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_ACCEPT);
    const gint answer = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return answer == GTK_RESPONSE_ACCEPT;
}

}  // namespace lum::gtk
