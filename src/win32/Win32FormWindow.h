// The Win32 windows behind the portable forms: every message goes to the
// form's current handler; an exception that leaves it becomes the standard
// error report. Creating a window that Windows refuses throws lum::Exception.
#pragma once

#include <windows.h>

#include <memory>

#include "common/Forms.h"
#include "platform/FormWindow.h"

namespace lum::win32 {

class TWin32FormWindowFactory : public IFormWindowFactory {
  public:
    std::unique_ptr<IFormWindow> CreateFormWindow(TWinControl& form,
                                                  const TFormWindowStyle& style) override;
};

}  // namespace lum::win32
