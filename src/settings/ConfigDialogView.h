// What the configuration dialog's logic needs of its window: the values of
// its controls, the modal run and placement, and the two click events. The
// view moves values only; every rule about them lives in TLumenaryConfigDlg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Types.h"

namespace lum {

enum class TConfigSpin { ReloadTime, ShowTime };  // URLReloadTime, URLShowTime
enum class TConfigCheck { ShowURL, ShowClock, EnableScroll };
enum class TConfigChooser { BackColor, ForeColor };

// A colour chooser's selection: an index into the offered colours, or none.
inline constexpr std::int32_t kNoColorSelection = -1;

struct TConfigDialogEvents {
    // Saves; the OK ends the modal run only when it returns true.
    std::function<bool()> OKBtnClick;
    std::function<void()> EraseSectionClick;  // the dialog stays open
};

class IConfigDialogView {
  public:
    virtual ~IConfigDialogView() = default;

    // Spin controls: the position (already within 0..60) shown in the edit
    // box; the position the control holds, which typing does not change;
    // the text of the edit box as typed.
    virtual void SetSpinPosition(TConfigSpin spin, std::int32_t position) = 0;
    virtual std::int32_t SpinPosition(TConfigSpin spin) = 0;
    virtual std::string SpinText(TConfigSpin spin) = 0;
    // Puts the focus in the spin control's edit box with its text selected,
    // for the user to correct it.
    virtual void FocusSpinText(TConfigSpin spin) = 0;

    virtual void SetChecked(TConfigCheck check, bool checked) = 0;
    virtual bool Checked(TConfigCheck check) = 0;

    // Index among the offered colours, or kNoColorSelection.
    virtual void SetColorSelection(TConfigChooser chooser, std::int32_t index) = 0;
    virtual std::int32_t ColorSelection(TConfigChooser chooser) = 0;

    // The URL box's whole text, lines separated by CR LF.
    virtual void SetURLText(const std::string& text) = 0;
    virtual std::string URLText() = 0;
    // Puts the focus in the URL box with the caret at the start of line
    // (0-based; CR LF, lone CR and lone LF end a line), scrolled into view.
    virtual void FocusURLLine(std::size_t line) = 0;
    // Suspends and resumes the redrawing of the URL box.
    virtual void SetURLRedraw(bool enabled) = 0;

    // The window: created hidden before the logic loads the controls.
    virtual THandle Handle() = 0;
    virtual TRect BoundsRect() = 0;
    virtual void SetBounds(const TRect& bounds) = 0;
    virtual void SetVisible(bool visible) = 0;
    // Width and height of the screen the dialog is centred on.
    virtual TSize ScreenSize() = 0;
    // Runs the dialog modally until OK (1) or Cancel, Esc or the close box
    // (2) ends it. OK fires OKBtnClick first and closes only when it saved.
    virtual int ShowModal() = 0;
    virtual void SetEvents(TConfigDialogEvents events) = 0;
};

}  // namespace lum
