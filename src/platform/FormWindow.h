// The window behind a portable form: created by the platform for a form,
// it hands every message to the form's current handler and offers the
// default processing, painting, timers and placement.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace lum {

class ICanvas;
class TWinControl;

class IFormWindow {
  public:
    virtual ~IFormWindow() = default;
    virtual THandle Handle() = 0;
    virtual TRect Bounds() = 0;  // position in the parent's client area, size
    virtual void SetBounds(const TRect& bounds) = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetParentWindow(THandle parent) = 0;
    virtual void Invalidate() = 0;
    // The platform's default processing of a message (DefWindowProc).
    virtual void DefaultHandler(TMessage& message) = 0;
    // Within the paint message: a double-buffered canvas of the whole client
    // area, copied to the screen in one step when paint returns.
    virtual void Paint(const std::function<void(ICanvas&)>& paint) = 0;
    virtual void SetTimer(std::uint32_t id, std::uint32_t milliseconds) = 0;
    virtual void KillTimer(std::uint32_t id) = 0;
};

struct TFormWindowStyle {
    std::string ClassName;
    std::string Caption;
    TRect Bounds;
    bool Popup = true;        // borderless top-level window
    bool MainWindow = false;  // ends the message loop when destroyed
    THandle Owner = 0;
};

class IFormWindowFactory {
  public:
    virtual ~IFormWindowFactory() = default;
    // The window sends every message to form.Dispatch().
    virtual std::unique_ptr<IFormWindow> CreateFormWindow(TWinControl& form,
                                                          const TFormWindowStyle& style) = 0;
};

}  // namespace lum
