// Message boxes and beeps of the platform, as the small dialogs unit needs
// them: a modal box centred on the screen with caller-given button captions.
// Showing a box never throws; a box that cannot be shown answers cancel.
#pragma once

#include <cstdint>
#include <string>

namespace lum {

// The sound and icon kinds (the Windows MB_ICON... values).
namespace MsgIcon {
constexpr std::uint32_t None = 0x00;
constexpr std::uint32_t Hand = 0x10;         // error
constexpr std::uint32_t Question = 0x20;     // confirmation
constexpr std::uint32_t Exclamation = 0x30;  // warning
constexpr std::uint32_t Asterisk = 0x40;     // information
}  // namespace MsgIcon

// The buttons of a box: one button, or an accept and a cancel button.
enum class TMsgButtons { OneButton, AcceptCancel };

struct TMessageBoxRequest {
    std::string Text;
    std::string Caption;
    std::uint32_t Icon = MsgIcon::None;
    TMsgButtons Buttons = TMsgButtons::OneButton;
    // Captions of the buttons, left to right: the first is the default
    // button, the second (AcceptCancel only) the one Esc and the close box
    // press. "&" marks an access key.
    std::string FirstButton;
    std::string SecondButton;
};

class IMessageBoxes {
  public:
    virtual ~IMessageBoxes() = default;
    // Plays the system sound of the kind (MessageBeep).
    virtual void MessageBeep(std::uint32_t icon) = 0;
    // Shows the box modally, without an owner, centred on the screen, and
    // plays no sound of its own. True when the first button was pressed.
    virtual bool ShowMessageBox(const TMessageBoxRequest& request) = 0;
};

}  // namespace lum
