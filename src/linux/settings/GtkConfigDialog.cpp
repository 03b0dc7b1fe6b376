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

// The dialog's window, layout and modal run. GTK lays the controls out by
// their natural sizes (its spin buttons and choosers are wider than the
// Windows ones), keeping the Windows arrangement and Tab order.

namespace lum::gtk {

namespace {

constexpr int kURLBoxWidth = 293;
constexpr int kURLBoxHeight = 189;
constexpr int kSpacing = 6;

// The widgets' names: the names of the Windows dialog's controls.
constexpr const char* kControlNames[] = {
    "URLListBox",    "URLList",      "SignInBtn",   "SignOutBtn",  "Label1",
    "URLReloadTime", "Label4",       "URLShowTime", "ShowConfigs", "ShowURL",
    "ShowClock",     "EraseSection", "Label2",      "BackColor",   "Label3",
    "ForeColor",     "EnableScroll", "OKBtn",       "CancelBtn",
};
static_assert(std::size(kControlNames) == static_cast<std::size_t>(TConfigWidget::Count));

GtkWidget* MnemonicLabel(const char* caption) {
    GtkWidget* label = gtk_label_new_with_mnemonic(MnemonicCaption(caption).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

// The access keys of the time labels lead nowhere: GTK would otherwise
// look for a focusable parent.
gboolean SwallowMnemonic(GtkWidget*, gboolean, gpointer) {
    return TRUE;
}

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

GtkWidget* TGtkConfigDialog::CreateURLBox() {
    GtkWidget* text = gtk_text_view_new();
    Slot(TConfigWidget::URLList) = text;
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(text), GTK_WRAP_NONE);
    // Tab leaves the box; Enter breaks the line.
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(text), FALSE);
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    // A horizontal scroll bar only, as the Windows box has.
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_ALWAYS,
                                   GTK_POLICY_EXTERNAL);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scroller, kURLBoxWidth, kURLBoxHeight);
    gtk_container_add(GTK_CONTAINER(scroller), text);
    GtkWidget* frame = gtk_frame_new("URLリスト(一行に一つ)");
    Slot(TConfigWidget::URLListBox) = frame;
    gtk_container_add(GTK_CONTAINER(frame), scroller);
    return frame;
}

GtkWidget* TGtkConfigDialog::CreateShowConfigs() {
    GtkWidget* frame = gtk_frame_new("表示");
    Slot(TConfigWidget::ShowConfigs) = frame;
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 2);
    Slot(TConfigWidget::ShowURL) =
        gtk_check_button_new_with_mnemonic(MnemonicCaption("表示中URL(&U)").c_str());
    Slot(TConfigWidget::ShowClock) =
        gtk_check_button_new_with_mnemonic(MnemonicCaption("現在時刻(&C)").c_str());
    gtk_container_add(GTK_CONTAINER(box), Control(TConfigWidget::ShowURL));
    gtk_container_add(GTK_CONTAINER(box), Control(TConfigWidget::ShowClock));
    gtk_container_add(GTK_CONTAINER(frame), box);
    return frame;
}

void TGtkConfigDialog::CreateControls() {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), kSpacing);
    gtk_grid_set_column_spacing(GTK_GRID(grid), kSpacing);
    gtk_container_add(GTK_CONTAINER(FWindow), grid);
    GtkGrid* g = GTK_GRID(grid);
    gtk_grid_attach(g, CreateURLBox(), 0, 0, 3, 1);
    GtkWidget* session = CreateSessionButtons();
    gtk_grid_attach(g, session, 0, 1, 3, 1);

    Slot(TConfigWidget::Label1) = MnemonicLabel("再読込までの時間(分/&M)：");
    Slot(TConfigWidget::Label4) = MnemonicLabel("1ページの表示時間(秒/&S)：");
    for (TConfigWidget label : {TConfigWidget::Label1, TConfigWidget::Label4})
        g_signal_connect(Control(label), "mnemonic-activate", G_CALLBACK(&SwallowMnemonic),
                         nullptr);
    gtk_grid_attach(g, Control(TConfigWidget::Label1), 0, 2, 1, 1);
    gtk_grid_attach(g, CreateSpin(TConfigWidget::URLReloadTime), 1, 2, 1, 1);
    gtk_grid_attach(g, Control(TConfigWidget::Label4), 0, 3, 1, 1);
    gtk_grid_attach(g, CreateSpin(TConfigWidget::URLShowTime), 1, 3, 1, 1);

    Slot(TConfigWidget::Label2) = MnemonicLabel("背景色(&B)：");
    Slot(TConfigWidget::Label3) = MnemonicLabel("文字色(&F)：");
    gtk_grid_attach(g, Control(TConfigWidget::Label2), 0, 4, 1, 1);
    gtk_grid_attach(g, CreateChooser(TConfigWidget::BackColor), 1, 4, 1, 1);
    gtk_grid_attach(g, Control(TConfigWidget::Label3), 0, 5, 1, 1);
    gtk_grid_attach(g, CreateChooser(TConfigWidget::ForeColor), 1, 5, 1, 1);
    gtk_label_set_mnemonic_widget(GTK_LABEL(Control(TConfigWidget::Label2)),
                                  Control(TConfigWidget::BackColor));
    gtk_label_set_mnemonic_widget(GTK_LABEL(Control(TConfigWidget::Label3)),
                                  Control(TConfigWidget::ForeColor));
    gtk_grid_attach(g, CreateShowConfigs(), 2, 4, 1, 2);

    Slot(TConfigWidget::EnableScroll) =
        gtk_check_button_new_with_mnemonic(MnemonicCaption("スクロールして全体を表示(&R)").c_str());
    gtk_grid_attach(g, Control(TConfigWidget::EnableScroll), 0, 6, 3, 1);

    Slot(TConfigWidget::EraseSection) =
        gtk_button_new_with_mnemonic(MnemonicCaption(kLinuxEraseCaption).c_str());
    Slot(TConfigWidget::OKBtn) = gtk_button_new_with_label("OK");
    Slot(TConfigWidget::CancelBtn) = gtk_button_new_with_label("キャンセル");
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kSpacing);
    gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
    gtk_widget_set_halign(buttons, GTK_ALIGN_END);
    gtk_container_add(GTK_CONTAINER(buttons), Control(TConfigWidget::OKBtn));
    gtk_container_add(GTK_CONTAINER(buttons), Control(TConfigWidget::CancelBtn));
    gtk_widget_set_halign(Control(TConfigWidget::EraseSection), GTK_ALIGN_START);
    gtk_grid_attach(g, Control(TConfigWidget::EraseSection), 0, 7, 1, 1);
    gtk_grid_attach(g, buttons, 1, 7, 2, 1);

    // OK is the default button: Enter outside the URL box presses it.
    gtk_widget_set_can_default(Control(TConfigWidget::OKBtn), TRUE);
    gtk_window_set_default(GTK_WINDOW(FWindow), Control(TConfigWidget::OKBtn));
    auto clicked = +[](GtkButton* button, gpointer data) {
        auto* self = static_cast<TGtkConfigDialog*>(data);
        if (GTK_WIDGET(button) == self->Control(TConfigWidget::OKBtn))
            Guarded([self] { self->EndModal(1); });
        else if (GTK_WIDGET(button) == self->Control(TConfigWidget::CancelBtn))
            Guarded([self] { self->EndModal(2); });
        else if (self->FEvents.EraseSectionClick)
            Guarded([self] { self->FEvents.EraseSectionClick(); });
    };
    for (TConfigWidget id :
         {TConfigWidget::OKBtn, TConfigWidget::CancelBtn, TConfigWidget::EraseSection})
        g_signal_connect(Control(id), "clicked", G_CALLBACK(clicked), this);

    // The Tab order of the Windows dialog: the erase button comes before the
    // two colour choosers.
    GList* chain = nullptr;
    for (GtkWidget* widget :
         {Control(TConfigWidget::URLListBox), session, Control(TConfigWidget::URLReloadTime),
          Control(TConfigWidget::URLShowTime), Control(TConfigWidget::ShowConfigs),
          Control(TConfigWidget::EraseSection), Control(TConfigWidget::BackColor),
          Control(TConfigWidget::ForeColor), Control(TConfigWidget::EnableScroll), buttons})
        chain = g_list_append(chain, widget);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(grid), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
    // The controls are visible from the start, so that the hidden window
    // already has its size when the dialog's logic centres it.
    gtk_widget_show_all(grid);
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
    return std::make_unique<TLumenaryConfigDlg>(
        owner, registry, fileSystem, messageBoxes, cacheDir,
        std::make_unique<TGtkConfigDialog>(registry.Path(), messageBoxes), std::move(texts));
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
