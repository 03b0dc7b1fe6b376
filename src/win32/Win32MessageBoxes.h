// The standard message box of the Win32 layer: MessageBoxIndirectW without
// an owner, task-modal, centred on the screen, with its button captions
// replaced by the caller's. A box that cannot be shown answers cancel.
#pragma once

#include "platform/MessageBoxes.h"

namespace lum::win32 {

class TWin32MessageBoxes : public IMessageBoxes {
  public:
    void MessageBeep(std::uint32_t icon) override;
    bool ShowMessageBox(const TMessageBoxRequest& request) override;
};

}  // namespace lum::win32
