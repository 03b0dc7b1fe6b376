// Folder src/common (lum_common, in every program): the form framework, BMP
// files, file listing, message boxes, shared text rules. It includes
// src/platform.
//
// The small form framework of the portable code: components with an owner,
// forms whose message handler can be replaced (so a filter can sit in front
// of it), events as std::function members fired only when set, and the
// application object with its standard error report and deferred releases.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace lum {

// What the framework needs of the platform's application services.
class IApplicationPlatform {
  public:
    virtual ~IApplicationPlatform() = default;
    // The standard error report: a modal message box with the message, the
    // application title as caption and the error icon.
    virtual void ShowErrorReport(const std::string& title, const std::string& message) = 0;
    // Runs action from the message loop after the current message. Where
    // PostsFromAnyThread, it may be called from any thread, and the action
    // runs on the message loop's.
    virtual void PostDeferred(std::function<void()> action) = 0;
    virtual bool PostsFromAnyThread() const { return false; }
    // One line for whoever watches the program run unattended (standard
    // error, the system's debug output); never a box, never a wait.
    virtual void WriteLog(const std::string& line) { (void)line; }
};

// One per program: the title, the show-main-form flag, the error report.
class TApplication {
  public:
    explicit TApplication(IApplicationPlatform& platform) : FPlatform(platform) {}
    std::string Title;
    bool ShowMainForm = true;

    // Shows the standard error report for an exception that left a handler.
    // While one report is open, further reports are dropped, so that a
    // failing timer cannot pile up message boxes.
    void ShowException(const std::exception& error);
    void ShowException(const std::string& message);
    // Writes one line to the platform's log (nothing is shown on screen).
    void Log(const std::string& line) { FPlatform.WriteLog(line); }
    // Destroys obj from the message loop after the current message.
    template <class T>
    void Release(std::unique_ptr<T> obj) {
        std::shared_ptr<T> shared(std::move(obj));
        FPlatform.PostDeferred([shared]() mutable { shared.reset(); });
    }
    // Runs handler, showing any exception that leaves it.
    template <class F>
    void Guard(F&& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            ShowException(e);
        }
    }
    IApplicationPlatform& Platform() { return FPlatform; }

  private:
    IApplicationPlatform& FPlatform;
    bool FReporting = false;
};

// The program-wide application object (set by the program entry or a test).
TApplication& Application();
void SetApplication(TApplication* application);

enum class TOperation { opInsert, opRemove };

// A component with an owner: the owner keeps a list of its components and
// destroys nothing (ownership of memory stays with C++ members); components
// can ask to be told when another one goes away.
class TComponent {
  public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::vector<TComponent*>& Components() const { return FComponents; }
    // Asks for Notification(this, opRemove) on target when this goes away.
    void FreeNotification(TComponent* target);
    void RemoveFreeNotification(TComponent* target);
    virtual void Loaded() {}
    // True while the stored properties of the owner are being applied.
    bool Loading() const { return FLoading; }
    void SetLoading(bool loading) { FLoading = loading; }

  protected:
    virtual void Notification(TComponent* component, TOperation operation);

  private:
    TComponent* FOwner;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FNotifies;
    bool FLoading = false;
};

using TWndMethod = std::function<void(TMessage&)>;

// A windowed control: its window handle and a replaceable message handler.
// Perform hands a message to the current handler synchronously.
class TWinControl : public TComponent {
  public:
    explicit TWinControl(TComponent* owner);
    TWndMethod WindowProc;
    std::intptr_t Perform(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    void Dispatch(TMessage& message) { WindowProc(message); }
    virtual THandle Handle() = 0;
    // The control's own message handling (the handler WindowProc starts with).
    virtual void WndProc(TMessage& message) = 0;
};

// What the host needs of any form it shows or embeds.
class TCustomForm : public TWinControl {
  public:
    using TWinControl::TWinControl;
    virtual TRect BoundsRect() = 0;
    virtual void SetBounds(std::int32_t left,
                           std::int32_t top,
                           std::int32_t width,
                           std::int32_t height) = 0;
    virtual void SetVisible(bool visible) = 0;
    // Makes the form a child of the given window.
    virtual void SetParentWindow(THandle parent) = 0;
    // Shows the form modally; returns its modal result (1 OK, 2 Cancel).
    virtual int ShowModal() = 0;
};

}  // namespace lum
