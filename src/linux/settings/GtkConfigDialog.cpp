#include "linux/settings/GtkConfigDialog.h"

#include <exception>
#include <utility>

#include "common/stdDialogs.h"
#include "linux/GtkApplication.h"
#include "linux/GtkMessageBoxes.h"
#include "linux/session/WebSessionCommands.h"
#include "settings/ConfigDlg.h"
#include "settings/SettingsStore.h"
#include "settings/SignInUrl.h"

// The dialog's window, its keys and its modal run (the controls are laid out
// in GtkConfigDialogLayout.cpp).

namespace lum::gtk {

namespace {

// The form of a line of the URL list, with three real uses of its options.
constexpr const char* kURLListTooltip =
    "1 行に 1 ページ。URL の後に、空白で区切ってオプションを書けます:\n"
    "https://status.example.com/ show=60 refresh=5\n"
    "https://news.example.org/today show=10 refresh=60 scroll=off\n"
    "https://intranet.example.co.jp/lunch days=mon-fri hours=11:00-13:30\n"
    "show=秒 refresh=分 scroll=on/off days=mon-fri hours=HH:MM-HH:MM\n"
    "zoom=150% wait=秒 hide=\"#cookies\" crop=\"#panel\" header=\"Name: value\"";

// The widgets' names: the names of the Windows dialog's controls.
constexpr const char* kControlNames[] = {
    "URLListBox",    "URLList",      "SignInBtn",   "SignOutBtn",  "Label1",
    "URLReloadTime", "Label4",       "URLShowTime", "ShowConfigs", "ShowURL",
    "ShowClock",     "EraseSection", "Label2",      "BackColor",   "Label3",
    "ForeColor",     "EnableScroll", "OKBtn",       "CancelBtn",
};
static_assert(std::size(kControlNames) == static_cast<std::size_t>(TConfigWidget::Count));

// The first non-blank URL of the list saved in the settings file, read
// quietly (the dialog has reported the file's problems when it loaded).
std::string ReadSavedFirstUrl(const std::string& settingsPath) {
    TIniRegistry registry(settingsPath, nullptr);
    TSettingsStore store(registry);
    std::vector<std::string> urls;
    store.LoadURLList(urls);
    for (const std::string& url : urls) {
        const std::string found = SignInUrlAt(url, 0, "");
        if (!found.empty())
            return found;
    }
    return "";
}

}  // namespace

TGtkConfigDialog::TGtkConfigDialog(const std::string& settingsPath, IMessageBoxes& messageBoxes)
    : FMessageBoxes(messageBoxes) {
    FWebSession.StartSignIn = [this](const std::string& url) { StartSignInProgram(url); };
    FWebSession.SignInProgram = SignInProgramPath();
    FWebSession.SavedFirstUrl = [settingsPath] { return ReadSavedFirstUrl(settingsPath); };
    FWebSession.DataDir = DefaultWebDataDir();
    FWebSession.LockPath = DefaultCaptureLockPath();
    if (!gdk_display_get_default())
        throw Exception("設定ダイアログを作成できません (ディスプレイがありません)");
    FWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(FWindow);
    MarkDialogWindow(FWindow);
    gtk_window_set_title(GTK_WINDOW(FWindow), "Lumenary設定");
    // The installed icon (share/icons/hicolor/*/apps/lumenary), as the desktop
    // entry shows it.
    gtk_window_set_icon_name(GTK_WINDOW(FWindow), "lumenary");
    gtk_window_set_type_hint(GTK_WINDOW(FWindow), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_resizable(GTK_WINDOW(FWindow), FALSE);
    gtk_window_set_modal(GTK_WINDOW(FWindow), TRUE);
    gtk_container_set_border_width(GTK_CONTAINER(FWindow), 8);
    CreateControls();
    gtk_widget_set_tooltip_text(Control(TConfigWidget::URLList), kURLListTooltip);
    // The settings live in a file, not in a registry.
    gtk_widget_set_tooltip_text(Control(TConfigWidget::EraseSection),
                                LinuxEraseQuestion(settingsPath).c_str());
    for (std::size_t i = 0; i < FControls.size(); ++i)
        gtk_widget_set_name(FControls[i], kControlNames[i]);
    // The close box cancels and leaves the window to its owner.
    g_signal_connect(FWindow, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) {
                         Guarded([&] { static_cast<TGtkConfigDialog*>(self)->EndModal(2); });
                         return TRUE;
                     }),
                     this);
    g_signal_connect(FWindow, "key-press-event", G_CALLBACK(&TGtkConfigDialog::OnKeyPress), this);
}

TGtkConfigDialog::~TGtkConfigDialog() {
    gtk_widget_destroy(FWindow);
    g_object_unref(FWindow);
}

// Esc cancels. Enter on a check box or a closed chooser presses OK, as in a
// Windows dialog (GTK would toggle the box or open the list).
gboolean TGtkConfigDialog::OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data) {
    return Guarded<gboolean>(FALSE, [&]() -> gboolean { return KeyPressed(widget, event, data); });
}

gboolean TGtkConfigDialog::KeyPressed(GtkWidget* widget, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<TGtkConfigDialog*>(data);
    if (event->keyval == GDK_KEY_Escape) {
        self->EndModal(2);
        return TRUE;
    }
    const bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
    if (enter && focus && (GTK_IS_CHECK_BUTTON(focus) || GTK_IS_COMBO_BOX(focus))) {
        self->EndModal(1);
        return TRUE;
    }
    return FALSE;
}

void TGtkConfigDialog::EndModal(int result) {
    // A save that fails (and was reported) keeps the dialog open with what
    // it shows.
    bool saved = result != 1 || !FEvents.OKBtnClick;
    if (!saved)
        Guarded([this, &saved] { saved = FEvents.OKBtnClick(); });
    if (saved)
        FModalResult = result;
}

int TGtkConfigDialog::ShowModal() {
    FModalResult = 0;
    gtk_widget_show_all(FWindow);
    gtk_window_present(GTK_WINDOW(FWindow));
    if (!FFocusSet) {
        FFocusSet = true;
        // The first control of the Tab order, with the caret at the start.
        GtkWidget* text = Control(TConfigWidget::URLList);
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(text));
        GtkTextIter start;
        gtk_text_buffer_get_start_iter(buffer, &start);
        gtk_text_buffer_place_cursor(buffer, &start);
        gtk_widget_grab_focus(text);
    }
    while (FModalResult == 0)
        g_main_context_iteration(nullptr, TRUE);
    gtk_widget_hide(FWindow);
    return FModalResult;
}

THandle TGtkConfigDialog::Handle() {
    return reinterpret_cast<THandle>(FWindow);
}

TRect TGtkConfigDialog::BoundsRect() {
    gint left = 0, top = 0, width = 0, height = 0;
    gtk_window_get_position(GTK_WINDOW(FWindow), &left, &top);
    gtk_window_get_size(GTK_WINDOW(FWindow), &width, &height);
    return TRect{left, top, left + width, top + height};
}

void TGtkConfigDialog::SetBounds(const TRect& bounds) {
    gtk_window_move(GTK_WINDOW(FWindow), bounds.Left, bounds.Top);
    gint width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(FWindow), &width, &height);
    if (width != bounds.Width() || height != bounds.Height())
        gtk_window_resize(GTK_WINDOW(FWindow), bounds.Width(), bounds.Height());
}

void TGtkConfigDialog::SetVisible(bool visible) {
    if (visible)
        gtk_widget_show_all(FWindow);
    else
        gtk_widget_hide(FWindow);
}

TSize TGtkConfigDialog::ScreenSize() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area{0, 0, 0, 0};
    if (monitor)
        gdk_monitor_get_geometry(monitor, &area);
    return TSize{area.width, area.height};
}

void TGtkConfigDialog::SetEvents(TConfigDialogEvents events) {
    FEvents = std::move(events);
}

std::string LinuxEraseQuestion(const std::string& settingsPath) {
    return "このスクリーンセーバーの設定を、すべて削除します。\n設定ファイル: " + settingsPath;
}

std::unique_ptr<TCustomForm> CreateLumenaryConfigDlg(TComponent* owner,
                                                     TIniRegistry& registry,
                                                     IFileSystem& fileSystem,
                                                     IMessageBoxes& messageBoxes,
                                                     const std::string& cacheDir) {
    TConfigDlgTexts texts;
    texts.EraseQuestion = LinuxEraseQuestion(registry.Path());
    auto view = std::make_unique<TGtkConfigDialog>(registry.Path(), messageBoxes);
    view->WebSession().CacheDir = cacheDir;
    return std::make_unique<TLumenaryConfigDlg>(owner, registry, fileSystem, messageBoxes, cacheDir,
                                                std::move(view), std::move(texts));
}

TIniProblemSink DialogProblemSink(IMessageBoxes& messageBoxes) {
    return [&messageBoxes](const TIniProblem& problem) {
        ReportToStandardError(problem);
        if (!problem.IsError())
            return;
        const TMsgDlgType type =
            problem.Kind == TIniProblemKind::KeptAside ? mtInformation : mtWarning;
        ShowMsg(messageBoxes, problem.Message, type, 0);
    };
}

}  // namespace lum::gtk
