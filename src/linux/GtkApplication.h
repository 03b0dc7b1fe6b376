// Folder src/linux (lum_linux, in the three Linux programs): lumenary's GTK 3
// platform: application and guard, windows, canvas, clock, keys, host,
// monitors, foreign window, command line, message boxes, POSIX files, the
// settings file. It includes the core.
//
// The Linux program's application services: the GTK main loop, the signals
// that end it (SIGTERM, SIGINT, SIGHUP), actions deferred to the loop, the
// standard error report and message boxes, which write to standard error
// instead when the program may show no dialog (an XScreenSaver hack), and
// the guard that keeps every exception inside the callback it was thrown in.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

#include "common/Forms.h"
#include "common/PostedActions.h"
#include "platform/MessageBoxes.h"

namespace lum::gtk {

// Reports an exception that reached a GLib or GTK callback: the
// application's error report, or "<program>: text" on standard error when
// there is no application (or its report fails). Never throws.
void ReportCallbackFailure(const char* what) noexcept;

// Runs body for a C callback of GLib or GTK and returns what it returns; an
// exception that would leave the callback (and unwind through GLib, which
// ends the program) is reported and fallback returned. Every callback of the
// program that calls C++ code goes through it.
template <class R, class F>
R Guarded(R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        ReportCallbackFailure(e.what());
    } catch (...) {
        ReportCallbackFailure("unknown error");
    }
    return fallback;
}

template <class F>
void Guarded(F&& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        ReportCallbackFailure(e.what());
    } catch (...) {
        ReportCallbackFailure("unknown error");
    }
}

// Runs the GTK main loop until QuitMainLoop; returns at once when a quit was
// asked for before the loop started.
void RunMainLoop();
// Ends the innermost running main loop, or the next one to start.
void QuitMainLoop();

// SIGTERM, SIGINT and SIGHUP call onSignal from the main loop (not from the
// signal handler); an empty onSignal quits the main loop.
void InstallQuitSignals(std::function<void()> onSignal = {});

// The boxes of a program that may show no dialog (an XScreenSaver hack, a
// full-screen run that holds the keyboard): each box is a line
// "caption: text" on standard error and answers cancel; no sound.
class TStandardErrorBoxes : public IMessageBoxes {
  public:
    void MessageBeep(std::uint32_t icon) override;
    bool ShowMessageBox(const TMessageBoxRequest& request) override;
};

class TGtkApplicationPlatform : public IApplicationPlatform {
  public:
    explicit TGtkApplicationPlatform(IMessageBoxes& boxes) : FBoxes(boxes) {}
    ~TGtkApplicationPlatform() override;
    // A box with the error icon, or the message on standard error.
    void ShowErrorReport(const std::string& title, const std::string& message) override;
    // Runs action from the main loop after the current event; from any
    // thread.
    void PostDeferred(std::function<void()> action) override;
    bool PostsFromAnyThread() const override { return true; }
    // "lumenary: line" on standard error.
    void WriteLog(const std::string& line) override;
    // Runs the deferred actions now.
    void RunDeferred();

  private:
    static int Idle(void* self);
    void RemoveIdle();
    IMessageBoxes& FBoxes;
    TPostedActions FQueue;
    std::mutex FLock;  // of the idle source
    unsigned FIdle = 0;
};

}  // namespace lum::gtk
