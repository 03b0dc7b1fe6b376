#include "common/stdDialogs.h"

namespace lum {

namespace {

TMessageBoxRequest RequestFor(const std::string& text, TMsgDlgType type) {
    TMessageBoxRequest request;
    request.Text = text;
    request.Caption = MsgDlgCaption(type);
    request.Icon = MsgDlgIcon(type);
    return request;
}

}  // namespace

std::string MsgDlgCaption(TMsgDlgType type) {
    switch (type) {
        case mtWarning:
            return "警告";
        case mtError:
            return "エラー";
        case mtInformation:
            return "情報";
        case mtConfirmation:
            return "確認";
    }
    return {};
}

std::uint32_t MsgDlgIcon(TMsgDlgType type) {
    switch (type) {
        case mtWarning:
            return MsgIcon::Exclamation;
        case mtError:
            return MsgIcon::Hand;
        case mtInformation:
            return MsgIcon::Asterisk;
        case mtConfirmation:
            return MsgIcon::Question;
    }
    return MsgIcon::None;
}

void BeepForType(IMessageBoxes& boxes, TMsgDlgType type) {
    const std::uint32_t icon = MsgDlgIcon(type);
    if (icon != MsgIcon::None)
        boxes.MessageBeep(icon);
}

// The help context names a help topic; the program has no help file, so it
// is accepted and not used.
void ShowMsg(IMessageBoxes& boxes,
             const std::string& text,
             TMsgDlgType type,
             std::int32_t /*helpContext*/) {
    BeepForType(boxes, type);
    TMessageBoxRequest request = RequestFor(text, type);
    request.Buttons = TMsgButtons::OneButton;
    request.FirstButton = "OK";
    boxes.ShowMessageBox(request);
}

bool AskYesNo(IMessageBoxes& boxes,
              const std::string& text,
              TMsgDlgType type,
              std::int32_t /*helpContext*/) {
    BeepForType(boxes, type);
    TMessageBoxRequest request = RequestFor(text, type);
    request.Buttons = TMsgButtons::AcceptCancel;
    request.FirstButton = "はい(&Y)";
    request.SecondButton = "いいえ(&N)";
    return boxes.ShowMessageBox(request);
}

}  // namespace lum
