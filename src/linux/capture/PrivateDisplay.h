// The capture program's display of its own: a headless X server (Xvfb) that
// only lumenary-capture's web views use. WebKit shows its page processes the
// X socket and authority file of the display its program is connected to,
// and any client of an X display can read all of that display's input (an
// unlock password typed on it too): on a display of their own, pages see
// nothing of the user's. The server listens on no TCP port, lets in only
// holders of a cookie kept in a file only the user can read, and ends with
// the program that started it, killed or not (its socket and lock go with
// it; the folder of its cookie goes when lumenary reaps the program, or at
// the next start or end of a capture program).
// Starting throws lum::Exception saying what is wrong and what to do (no
// Xvfb: install the package xvfb); a caller never falls back to the user's
// display.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace lum::gtk {

struct TPrivateDisplayOptions {
    // The X server: a name looked for on PATH, or a path.
    std::string Server = "Xvfb";
    // Its one screen (within 64 to 8192 pixels a side).
    TSize Size{1024, 768};
    // How long it may take to be ready for clients.
    std::uint32_t StartMs = 10000;
    // Where its folder (authority file, log) is made; empty: PrivateDisplayBase().
    std::string Base;
};

class TPrivateDisplay {
  public:
    TPrivateDisplay() = default;
    ~TPrivateDisplay();
    TPrivateDisplay(const TPrivateDisplay&) = delete;
    TPrivateDisplay& operator=(const TPrivateDisplay&) = delete;

    // Starts the server and waits until it takes clients. Throws
    // lum::Exception, having left nothing behind, when it cannot.
    void Start(const TPrivateDisplayOptions& options = {});
    // Ends the server (SIGTERM, SIGKILL after 3 s) and removes its folder,
    // and its socket and lock when it could not. Nothing when not started.
    void Stop();

    // ":<n>" while it runs.
    const std::string& Name() const { return FName; }
    const std::string& AuthorityFile() const { return FAuthority; }
    pid_t ServerPid() const { return FPid; }

    // This process, and every process it starts, use this display alone:
    // DISPLAY and XAUTHORITY name it, GDK_BACKEND is x11 and WAYLAND_DISPLAY
    // is gone (WebKit would show a page process the user's Wayland socket).
    void UseForThisProcess() const;

  private:
    void SpawnServer(const std::string& server, const TSize& size, int displayFd);
    void WaitUntilReady(int displayFd, std::uint32_t limitMs);
    std::string ServerWords() const;

    pid_t FPid = 0;
    int FNumber = -1;
    std::string FName;
    std::string FFolder;
    std::string FAuthority;
};

// The name of a display's folder: this, the pid of its program, '-' and more.
inline const std::string kPrivateDisplayPrefix = "lumenary-display-";

// The folder the displays' folders are made in: XDG_RUNTIME_DIR when it
// names a folder, else the temporary folder.
std::string PrivateDisplayBase();

// Removes a display's folder if it is the user's and holds only plain files
// (its authority file and log); never through a link.
void RemovePrivateDisplayFolder(const std::string& folder);

// Removes the folders "lumenary-display-<pid>-*" in base of processes that
// no longer run and of ended (0: none), if they are the user's and hold only
// plain files; never through a link.
void RemovePrivateDisplayLeftovers(const std::string& base, pid_t ended);

}  // namespace lum::gtk
