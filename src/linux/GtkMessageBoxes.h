// Message boxes of the Linux program: a GTK message dialog centred on the
// screen, captioned and with the buttons the caller names ("&" access keys
// become GTK mnemonics), run in its own main loop. Without a display a box
// is not shown and answers as if cancelled.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <string_view>

#include "platform/MessageBoxes.h"

namespace lum::gtk {

// A caption with "&" access keys as a GTK mnemonic text: "表示中URL(&U)"
// becomes "表示中URL(_U)", "&&" a plain "&", and a "_" of the caption stays
// a "_".
std::string MnemonicCaption(std::string_view caption);

// Gives the program's dialogs a Japanese font (IPA P Gothic, else the
// system's Japanese font) at the dialogs' text size: installed once for the
// display, applied to windows marked with MarkDialogWindow.
void MarkDialogWindow(GtkWidget* window);

class TGtkMessageBoxes : public IMessageBoxes {
  public:
    // The display's bell, for every kind but MsgIcon::None.
    void MessageBeep(std::uint32_t icon) override;
    // Modal over the program's active window, if any; true when the first
    // button was pressed. Esc and the close box press the second button of a
    // two-button box.
    bool ShowMessageBox(const TMessageBoxRequest& request) override;
};

}  // namespace lum::gtk
