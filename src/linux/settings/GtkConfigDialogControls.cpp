#include <string_view>

#include "linux/settings/GtkConfigDialog.h"
#include "settings/Colors.h"
#include "settings/ConfigDlg.h"

// The values of the dialog's controls, the spin buttons' rule for typed
// text, and the swatches of the two colour choosers.

namespace lum::gtk {

namespace {

constexpr int kSwatchSide = 14;  // an entry 16 pixels high, inset by 1 pixel

// The classic Windows scheme, by system colour index, as 0xRRGGBB.

TConfigWidget SpinWidget(TConfigSpin spin) {
    return spin == TConfigSpin::ReloadTime ? TConfigWidget::URLReloadTime
                                           : TConfigWidget::URLShowTime;
}

TConfigWidget CheckWidget(TConfigCheck check) {
    switch (check) {
        case TConfigCheck::ShowURL:
            return TConfigWidget::ShowURL;
        case TConfigCheck::ShowClock:
            return TConfigWidget::ShowClock;
        case TConfigCheck::EnableScroll:
            break;
    }
    return TConfigWidget::EnableScroll;
}

TConfigWidget ChooserWidget(TConfigChooser chooser) {
    return chooser == TConfigChooser::BackColor ? TConfigWidget::BackColor
                                                : TConfigWidget::ForeColor;
}

// Set on a spin button while the text it reads is no position.
constexpr const char* kKeepTypedText = "lum-keep-typed-text";

// The spin button takes typed text as its position only when the whole
// text is a whole number from 0 to 60; anything else leaves the position
// as it was. GTK then writes the position back into the box (when the box
// loses the focus, or on Enter): the text stays as typed instead, for OK to
// say what is wrong with it.
gint ReadTypedPosition(GtkSpinButton* spin, gdouble* value, gpointer) {
    const std::int32_t position =
        SpinPositionFromText(gtk_entry_get_text(GTK_ENTRY(spin)), kSpinMin - 1);
    if (position < kSpinMin) {
        g_object_set_data(G_OBJECT(spin), kKeepTypedText, GINT_TO_POINTER(1));
        return GTK_INPUT_ERROR;
    }
    *value = position;
    return TRUE;
}

// The position is written as usual, except right after a text that was no
// position: then the box keeps that text. An arrow or a key that steps the
// position writes it again.
gboolean WritePosition(GtkSpinButton* spin, gpointer) {
    const bool keep = g_object_get_data(G_OBJECT(spin), kKeepTypedText) != nullptr;
    g_object_set_data(G_OBJECT(spin), kKeepTypedText, nullptr);
    return keep ? TRUE : FALSE;
}

// A square of the colour in a thin black frame.
GdkPixbuf* Swatch(TColor color) {
    GdkPixbuf* swatch = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, kSwatchSide, kSwatchSide);
    gdk_pixbuf_fill(swatch, 0x000000FF);
    GdkPixbuf* inside = gdk_pixbuf_new_subpixbuf(swatch, 1, 1, kSwatchSide - 2, kSwatchSide - 2);
    gdk_pixbuf_fill(inside, (ColorToRgb(color) << 8) | 0xFF);
    g_object_unref(inside);
    return swatch;
}

}  // namespace

GtkWidget* TGtkConfigDialog::CreateSpin(TConfigWidget id) {
    GtkWidget* spin = gtk_spin_button_new_with_range(kSpinMin, kSpinMax, 1);
    Slot(id) = spin;
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 0);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), FALSE);  // any text may be typed
    gtk_spin_button_set_wrap(GTK_SPIN_BUTTON(spin), FALSE);
    gtk_spin_button_set_update_policy(GTK_SPIN_BUTTON(spin), GTK_UPDATE_IF_VALID);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), 0);
    gtk_entry_set_width_chars(GTK_ENTRY(spin), 3);
    gtk_entry_set_activates_default(GTK_ENTRY(spin), TRUE);
    gtk_widget_set_halign(spin, GTK_ALIGN_START);
    g_signal_connect(spin, "input", G_CALLBACK(&ReadTypedPosition), nullptr);
    g_signal_connect(spin, "output", G_CALLBACK(&WritePosition), nullptr);
    return spin;
}

GtkWidget* TGtkConfigDialog::CreateChooser(TConfigWidget id) {
    GtkListStore* entries = gtk_list_store_new(2, GDK_TYPE_PIXBUF, G_TYPE_STRING);
    for (const TColorEntry& entry : OfferedColors()) {
        GdkPixbuf* swatch = Swatch(entry.Value);
        GtkTreeIter row;
        gtk_list_store_append(entries, &row);
        gtk_list_store_set(entries, &row, 0, swatch, 1, entry.ChooserName, -1);
        g_object_unref(swatch);
    }
    GtkWidget* chooser = gtk_combo_box_new_with_model(GTK_TREE_MODEL(entries));
    g_object_unref(entries);
    Slot(id) = chooser;
    GtkCellRenderer* swatch = gtk_cell_renderer_pixbuf_new();
    g_object_set(swatch, "xpad", 1, "ypad", 1, nullptr);
    gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(chooser), swatch, FALSE);
    gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(chooser), swatch, "pixbuf", 0);
    GtkCellRenderer* name = gtk_cell_renderer_text_new();
    g_object_set(name, "xpad", 5, nullptr);  // 5 pixels right of the swatch
    gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(chooser), name, TRUE);
    gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(chooser), name, "text", 1);
    gtk_combo_box_set_active(GTK_COMBO_BOX(chooser), 0);
    return chooser;
}

void TGtkConfigDialog::SetSpinPosition(TConfigSpin spin, std::int32_t position) {
    GtkSpinButton* button = GTK_SPIN_BUTTON(Control(SpinWidget(spin)));
    gtk_spin_button_set_value(button, position);
    // The text too, also when the value stays the same but other text was
    // typed.
    gtk_entry_set_text(GTK_ENTRY(button), std::to_string(position).c_str());
}

std::int32_t TGtkConfigDialog::SpinPosition(TConfigSpin spin) {
    return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(Control(SpinWidget(spin))));
}

std::string TGtkConfigDialog::SpinText(TConfigSpin spin) {
    return gtk_entry_get_text(GTK_ENTRY(Control(SpinWidget(spin))));
}

void TGtkConfigDialog::FocusSpinText(TConfigSpin spin) {
    GtkWidget* entry = Control(SpinWidget(spin));
    gtk_widget_grab_focus(entry);  // selects the whole text
    gtk_editable_select_region(GTK_EDITABLE(entry), 0, -1);
}

void TGtkConfigDialog::SetChecked(TConfigCheck check, bool checked) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Control(CheckWidget(check))), checked);
}

bool TGtkConfigDialog::Checked(TConfigCheck check) {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Control(CheckWidget(check))));
}

void TGtkConfigDialog::SetColorSelection(TConfigChooser chooser, std::int32_t index) {
    const bool offered = index >= 0 && index < static_cast<std::int32_t>(OfferedColors().size());
    gtk_combo_box_set_active(GTK_COMBO_BOX(Control(ChooserWidget(chooser))), offered ? index : -1);
}

std::int32_t TGtkConfigDialog::ColorSelection(TConfigChooser chooser) {
    const gint index = gtk_combo_box_get_active(GTK_COMBO_BOX(Control(ChooserWidget(chooser))));
    return index < 0 ? kNoColorSelection : index;
}

// The box holds LF line ends; the dialog's logic sees CR LF.
void TGtkConfigDialog::SetURLText(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        lines += text[i];
    }
    GtkTextBuffer* buffer =
        gtk_text_view_get_buffer(GTK_TEXT_VIEW(Control(TConfigWidget::URLList)));
    gtk_text_buffer_set_text(buffer, lines.data(), static_cast<gint>(lines.size()));
}

std::string TGtkConfigDialog::URLText() {
    GtkTextBuffer* buffer =
        gtk_text_view_get_buffer(GTK_TEXT_VIEW(Control(TConfigWidget::URLList)));
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* raw = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string text;
    for (const char* c = raw; *c; ++c) {
        if (*c == '\n')
            text += '\r';
        text += *c;
    }
    g_free(raw);
    return text;
}

// The buffer's lines end where the logic's do: GTK ends a line at CR LF, a
// lone CR or a lone LF alike.
void TGtkConfigDialog::FocusURLLine(std::size_t line) {
    GtkTextView* view = GTK_TEXT_VIEW(Control(TConfigWidget::URLList));
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
    GtkTextIter start;
    gtk_text_buffer_get_iter_at_line(buffer, &start, static_cast<gint>(line));
    gtk_text_buffer_place_cursor(buffer, &start);
    gtk_widget_grab_focus(GTK_WIDGET(view));
    gtk_text_view_scroll_mark_onscreen(view, gtk_text_buffer_get_insert(buffer));
}

}  // namespace lum::gtk
