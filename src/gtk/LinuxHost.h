// The host of the Linux program: puts the main form's window where the
// command line says (inside XScreenSaver's window, another window, the root
// window, full-screen or an ordinary window), ends a full-screen run on a
// mouse move, click or key like the Windows run (X and Z do not end it), and
// ends the program cleanly on SIGTERM, SIGINT or SIGHUP, and tells whether
// the run shows at the size of a whole monitor (only such a run captures). A
// window id that does not exist throws lum::Exception from the constructor.
#pragma once

#include <cstdint>
#include <functional>

#include "common/Form.h"
#include "gtk/LinuxCommandLine.h"

namespace lum::gtk {

// The size of the window of --window.
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
    // window XScreenSaver gives a screen). Only such a run captures: the
    // pages are captured at the size they are shown at, into a cache that
    // every instance shares, and XScreenSaver's small settings preview or
    // the window of --window would fill it with small pictures.
    bool ShowsWholeMonitor() const { return FWholeMonitor; }
    // The monitor-sized window of another program (XScreenSaver's, one per
    // monitor) the form shows in, in root coordinates; false otherwise.
    bool ShownMonitor(TRect& rect) const;

  private:
    void Place(const TLinuxHostOptions& options);
    void Filter(TMessage& message);
    static int PostedClose(void* self);

    TForm& FForm;
    TWndMethod FOldWindowProc;
    bool FTrapping = false;
    bool FWholeMonitor = false;
    std::uint64_t FForeignWindow = 0;
    bool FMouseSeen = false;
    TPoint FMousePos;
    int FCloseRequests = 0;
    unsigned FPendingClose = 0;
};

}  // namespace lum::gtk
