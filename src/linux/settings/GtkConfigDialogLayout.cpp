// The dialog's controls in the Windows arrangement and Tab order. GTK lays
// them out by their natural sizes (its spin buttons and choosers are wider
// than the Windows ones).
#include "linux/GtkApplication.h"
#include "linux/GtkMessageBoxes.h"
#include "linux/settings/GtkConfigDialog.h"

namespace lum::gtk {

namespace {

constexpr int kURLBoxWidth = 293;
constexpr int kURLBoxHeight = 189;
constexpr int kSpacing = 6;

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

}  // namespace

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
    AttachTimes(g);
    AttachColors(g);

    Slot(TConfigWidget::EnableScroll) =
        gtk_check_button_new_with_mnemonic(MnemonicCaption("スクロールして全体を表示(&R)").c_str());
    gtk_grid_attach(g, Control(TConfigWidget::EnableScroll), 0, 6, 3, 1);

    GtkWidget* buttons = CreateButtons();
    gtk_widget_set_halign(Control(TConfigWidget::EraseSection), GTK_ALIGN_START);
    gtk_grid_attach(g, Control(TConfigWidget::EraseSection), 0, 7, 1, 1);
    gtk_grid_attach(g, buttons, 1, 7, 2, 1);
    SetTabOrder(grid, session, buttons);
    // The controls are visible from the start, so that the hidden window
    // already has its size when the dialog's logic centres it.
    gtk_widget_show_all(grid);
}

void TGtkConfigDialog::AttachTimes(GtkGrid* g) {
    Slot(TConfigWidget::Label1) = MnemonicLabel("再読込までの時間(分/&M)：");
    Slot(TConfigWidget::Label4) = MnemonicLabel("1ページの表示時間(秒/&S)：");
    for (TConfigWidget label : {TConfigWidget::Label1, TConfigWidget::Label4})
        g_signal_connect(Control(label), "mnemonic-activate", G_CALLBACK(&SwallowMnemonic),
                         nullptr);
    gtk_grid_attach(g, Control(TConfigWidget::Label1), 0, 2, 1, 1);
    gtk_grid_attach(g, CreateSpin(TConfigWidget::URLReloadTime), 1, 2, 1, 1);
    gtk_grid_attach(g, Control(TConfigWidget::Label4), 0, 3, 1, 1);
    gtk_grid_attach(g, CreateSpin(TConfigWidget::URLShowTime), 1, 3, 1, 1);
}

void TGtkConfigDialog::AttachColors(GtkGrid* g) {
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
}

// The erase button, and OK and Cancel in a box of their own, which this
// returns.
GtkWidget* TGtkConfigDialog::CreateButtons() {
    Slot(TConfigWidget::EraseSection) =
        gtk_button_new_with_mnemonic(MnemonicCaption(kLinuxEraseCaption).c_str());
    Slot(TConfigWidget::OKBtn) = gtk_button_new_with_label("OK");
    Slot(TConfigWidget::CancelBtn) = gtk_button_new_with_label("キャンセル");
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kSpacing);
    gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
    gtk_widget_set_halign(buttons, GTK_ALIGN_END);
    gtk_container_add(GTK_CONTAINER(buttons), Control(TConfigWidget::OKBtn));
    gtk_container_add(GTK_CONTAINER(buttons), Control(TConfigWidget::CancelBtn));

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
    return buttons;
}

// The Tab order of the Windows dialog: the erase button comes before the
// two colour choosers.
void TGtkConfigDialog::SetTabOrder(GtkWidget* grid, GtkWidget* session, GtkWidget* buttons) {
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
}

}  // namespace lum::gtk
