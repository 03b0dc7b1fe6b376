// What the tests of the GTK layer share: GTK started once on the test's X
// display, the main loop run until a condition holds (with a time limit), a
// window owned by another process, pixels read back from the X server, and
// a form that records the messages it receives.
#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Form.h"
#include "platform/Canvas.h"

namespace lum::gtk::testing {

// Starts GTK once; false without an X display.
bool EnsureGtk();

// Runs the main context until done() or the time limit; returns done().
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 3000);
// Runs the main context for a while.
void RunFor(int milliseconds);

// The pixel (0x00RRGGBB) of the X window xid at (x, y), read with XGetImage;
// 0xFFFFFFFF when it cannot be read.
std::uint32_t ReadPixel(std::uint64_t xid, int x, int y);

// A window of another process (tests/linux/tools/foreign_window.c).
class TForeignWindowProcess {
  public:
    TForeignWindowProcess(int width, int height, std::uint32_t rgb);
    ~TForeignWindowProcess();
    std::uint64_t Id() const { return FId; }
    // Sends a command line ("destroy", "resize W H") and waits for its answer.
    bool Command(const std::string& line);
    // Ends the process (the X server then destroys its window).
    void Kill();

  private:
    int FPid = -1;
    int FIn = -1;
    int FOut = -1;
    std::uint64_t FId = 0;
};

// A form that paints with Painter and records every message it gets.
class TRecordingForm : public TForm {
  public:
    TRecordingForm(IFormWindowFactory& factory, bool mainWindow);
    std::function<void(ICanvas&)> Painter;
    std::vector<TMessage> Messages;
    int Count(std::uint32_t msg) const;
    bool ShortCutX = false;  // consume X key-downs as a shortcut
    bool IsShortCut(const TMessage& message) override;

  protected:
    void Paint(ICanvas& canvas) override {
        if (Painter)
            Painter(canvas);
    }
};

}  // namespace lum::gtk::testing
