// Message boxes with a sound: ShowMsg, AskYesNo and the beep BeepForType,
// captioned by the message type. Nothing here throws; a box that cannot be
// shown counts as answered with no.
#pragma once

#include <cstdint>
#include <string>

#include "platform/MessageBoxes.h"

namespace lum {

// The message types; any other value gives a box without caption, icon or
// sound.
enum TMsgDlgType : std::int32_t {
    mtWarning = 0,
    mtError = 1,
    mtInformation = 2,
    mtConfirmation = 3,
};

// The caption of a type's box: "警告", "エラー", "情報", "確認", else empty.
std::string MsgDlgCaption(TMsgDlgType type);
// The MessageBeep code and icon of a type (MsgIcon::None for other types).
std::uint32_t MsgDlgIcon(TMsgDlgType type);

// Plays the type's system sound; no sound for other types.
void BeepForType(IMessageBoxes& boxes, TMsgDlgType type);
// Beeps, then shows text with the single button "OK" until it is closed.
void ShowMsg(IMessageBoxes& boxes,
             const std::string& text,
             TMsgDlgType type,
             std::int32_t helpContext);
// Beeps, then asks with "はい(&Y)" (default) and "いいえ(&N)" (Esc and the
// close box); true exactly when the answer is yes.
bool AskYesNo(IMessageBoxes& boxes,
              const std::string& text,
              TMsgDlgType type,
              std::int32_t helpContext);

}  // namespace lum
