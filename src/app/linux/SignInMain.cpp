// Program entry of `lumenary-sign-in` (started by `lumenary --sign-in [URL]`):
// a browser window on the kept web session where the user signs in to the
// sites the screen saver shows. Errors go to standard error.
#include <gtk/gtk.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/WebKitSignInWindow.h"
#include "linux/PosixFileSystem.h"
#include "linux/capture/CaptureLock.h"
#include "linux/capture/CaptureProgram.h"
#include "linux/session/WebDataFolder.h"
#include "linux/session/WebSessionCommands.h"

using namespace lum::gtk;

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // The capture lock lives by the user's cache folder; then the engine gets
    // a cache folder of its own, before GTK or WebKit ask GLib for it.
    const std::string lockPath =
        CaptureLockPath(std::getenv("XDG_RUNTIME_DIR"),
                        CacheDirPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME")));
    UsePrivateEngineCache();
    RemoveSandboxLeftovers(g_get_user_runtime_dir(), 0);
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("lumenary: cannot open the X display\n", stderr);
        return 1;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "Usage: %s [URL]\n", argv[0]);
        return 2;
    }
    const std::string url = argc == 2 ? AddressToUrl(argv[1]) : DefaultSignInUrl();
    if (url.empty()) {
        std::fputs("lumenary: no URL given and the settings list no page\n", stderr);
        return 2;
    }
    std::string dir;
    try {
        dir = CreateWebDataDir(DefaultWebDataDir());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenary: %s\n", e.what());
        return 1;
    }
    // While the window is open no capture starts on the same session; a
    // capture already running keeps it, and the two share the store.
    TCaptureLock lock(lockPath);
    if (!lock.TryAcquire() && lock.Error().empty())
        std::fputs("lumenary: a capture is running; it uses the session at the same time\n",
                   stderr);
    int code = 1;
    try {
        code = RunSignInWindows(dir, url);
    } catch (const std::exception& e) {
        // The page sandbox cannot start here: no page is shown without it.
        std::fprintf(stderr, "lumenary: %s\n", e.what());
    }
    RemoveSandboxLeftovers(g_get_user_runtime_dir(), ::getpid());
    return code;
}
