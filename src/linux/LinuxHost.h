// The host of the Linux program: puts the forms' windows where the command
// line says (inside XScreenSaver's window, another window, the root window,
// an ordinary window, or full-screen: one form a monitor), ends a
// full-screen run on a mouse move, click or key on any of its windows like
// the Windows run (X and Z do not end it; a wall ignores input and hides the
// pointer), ends the program cleanly on SIGTERM, SIGINT or SIGHUP, and tells
// whether the run shows at the size of a whole monitor. A window id that
// does not exist throws lum::Exception.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/Form.h"
#include "linux/GdkMonitors.h"
#include "linux/LinuxCommandLine.h"

namespace lum::gtk {

// The size of the window of --window, which opens centred on the monitor
// that holds the pointer.
inline constexpr std::int32_t kTryWindowWidth = 1024;
inline constexpr std::int32_t kTryWindowHeight = 768;
// Whether a window of size is as large as one of the display's monitors.
bool MonitorSized(const TSize& size);

// A mouse that moves no farther than this (in x and in y) from where it was
// first seen does not end a full-screen run.
inline constexpr std::int32_t kMouseMoveSlack = 4;

class TLinuxHost {
  public:
    // Places form's window (a window of TGtkFormWindowFactory, not shown yet;
    // nothing is placed for --config or --help) and, for a full-screen run,
    // puts the input filter in front of the form's handler. Installs the
    // signal handlers. The host must go before the form does.
    TLinuxHost(TForm& form, const TLinuxHostOptions& options);
    // Full-screen and wall runs: forms[k] covers the display's monitor k
    // (only the first grabs the input of a full-screen run); a close closes
    // them all and ends the main loop. When a monitor is added or removed,
    // or moves or changes its size, the main loop ends with
    // MonitorsChanged() true, for the program to start again on the new
    // monitors. Any other mode takes one form.
    TLinuxHost(const std::vector<TForm*>& forms, const TLinuxHostOptions& options);
    ~TLinuxHost();
    TLinuxHost(const TLinuxHost&) = delete;
    TLinuxHost& operator=(const TLinuxHost&) = delete;

    // Asks the form to close (WM_CLOSE from the main loop, after the current
    // event); a second request, the close having not ended the program,
    // quits the main loop at once. Trapped input and the signals call it.
    void RequestClose();
    // Number of close requests so far.
    int CloseRequests() const { return FCloseRequests; }
    // Whether the run shows at the size of a whole monitor: full-screen, the
    // root window, or another program's window as large as a monitor (the
    // window XScreenSaver gives a screen). Such a run captures at the size
    // it shows at. The cache every instance shares holds pictures of a
    // monitor's size only: the window of --window captures at the size of
    // its monitor, and XScreenSaver's small settings preview only shows.
    bool ShowsWholeMonitor() const { return FWholeMonitor; }
    // The monitor-sized window of another program (XScreenSaver's, one per
    // monitor) the form shows in, in root coordinates; false otherwise.
    bool ShownMonitor(TRect& rect) const;
    // The monitors changed while a full-screen run or a wall ran (the main
    // loop was ended).
    bool MonitorsChanged() const { return FMonitorsChanged; }

  private:
    // A form and its input filter.
    struct TTrap {
        TForm* Form = nullptr;
        TWndMethod OldWindowProc;
        bool MouseSeen = false;
        TPoint MousePos;
    };
    void Place(const TLinuxHostOptions& options);
    void PlaceFullScreen(const TLinuxHostOptions& options);
    void Filter(TTrap& trap, TMessage& message);
    static int PostedClose(void* self);

    std::vector<TTrap> FForms;  // never resized after the constructor
    bool FTrapping = false;
    bool FWall = false;
    bool FWholeMonitor = false;
    std::uint64_t FForeignWindow = 0;
    int FCloseRequests = 0;
    unsigned FPendingClose = 0;
    std::unique_ptr<TMonitorWatch> FMonitorWatch;  // full-screen runs and walls
    bool FMonitorsChanged = false;
};

}  // namespace lum::gtk
