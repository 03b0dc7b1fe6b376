// The host of the Linux program: puts the main form's window where the
// command line says (inside XScreenSaver's window, another window, the root
// window, full-screen or an ordinary window), ends a full-screen run on a
// mouse move, click or key like the Windows run (X and Z do not end it), and
// ends the program cleanly on SIGTERM, SIGINT or SIGHUP. A window id that
// does not exist throws lum::Exception from the constructor.
#pragma once

#include <cstdint>
#include <functional>

#include "common/Form.h"
#include "gtk/LinuxCommandLine.h"

namespace lum::gtk {

// The size of the window of --window.
inline constexpr std::int32_t kTryWindowWidth = 1024;
inline constexpr std::int32_t kTryWindowHeight = 768;
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

  private:
    void Place(const TLinuxHostOptions& options);
    void Filter(TMessage& message);
    static int PostedClose(void* self);

    TForm& FForm;
    TWndMethod FOldWindowProc;
    bool FTrapping = false;
    bool FMouseSeen = false;
    TPoint FMousePos;
    int FCloseRequests = 0;
    unsigned FPendingClose = 0;
};

}  // namespace lum::gtk
