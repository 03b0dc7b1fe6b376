// Program entry of the Linux program `lumenary`: an XScreenSaver hack (it
// draws into the window the daemon names), a full-screen saver of its own or
// a display wall (one form a monitor), a window for trying it out (which
// captures at its monitor's size and shows the pictures scaled), or the
// settings dialog (--config). Errors go to standard error; only --config
// shows dialogs.
#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Form.h"
#include "linux/GdkMonitors.h"
#include "linux/GtkApplication.h"
#include "linux/GtkClock.h"
#include "linux/GtkFormWindow.h"
#include "linux/GtkMessageBoxes.h"
#include "linux/IniRegistry.h"
#include "linux/LinuxCommandLine.h"
#include "linux/LinuxHost.h"
#include "linux/PosixFileSystem.h"
#include "linux/capture/CaptureLock.h"
#include "linux/capture/ProcessWebView.h"
#include "linux/session/WebSessionCommands.h"  // web session: --sign-in, --sign-out
#include "linux/settings/GtkConfigDialog.h"
#include "slideshow/Main.h"

namespace {

using namespace lum;

void Complain(const std::string& text) {
    std::fprintf(stderr, "lumenary: %s\n", text.c_str());
}

TFormWindowStyle SlideShowStyle() {
    TFormWindowStyle style;
    style.ClassName = "TScreenSaverDisplayForm";
    style.Caption = "Lumenary";
    style.Bounds = TRect{0, 0, gtk::kTryWindowWidth, gtk::kTryWindowHeight};
    style.Popup = true;
    style.MainWindow = true;
    return style;
}

// The cache folder; one that cannot be made leaves a run that captures
// nothing and shows what it can, with the reason on standard error.
std::string CacheFolder() {
    try {
        return gtk::CreateCacheDir();
    } catch (const std::exception& e) {
        Complain(e.what());
        return gtk::CacheDirPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    }
}

// --config: the settings dialog; problems with the settings file are shown
// in boxes (and written to standard error) before it opens.
int RunConfigDialog() {
    gtk::TGtkMessageBoxes boxes;
    gtk::TGtkApplicationPlatform platform(boxes);
    TApplication application(platform);
    application.Title = "Lumenary";
    SetApplication(&application);
    int code = 0;
    {
        gtk::TIniRegistry registry(gtk::DefaultSettingsPath(), gtk::DialogProblemSink(boxes));
        gtk::TPosixFileSystem files;
        try {
            std::unique_ptr<TCustomForm> dialog =
                gtk::CreateLumenaryConfigDlg(nullptr, registry, files, boxes, CacheFolder());
            dialog->ShowModal();
        } catch (const std::exception& e) {
            application.ShowException(e);
            code = 1;
        }
        platform.RunDeferred();
    }
    SetApplication(nullptr);
    return code;
}

// The browser engine runs in a capture program of its own, started for each
// pass and ended after it: this process never holds it. A pass starts only
// while this process holds the user's capture lock, taken anew at every
// pass (a program that held it may have been killed, a sign-in window
// closed, a sign-out waited between passes).
std::function<std::unique_ptr<IWebView>(THandle)> CaptureWebView(gtk::TCaptureLock& lock) {
    return [&lock](THandle) -> std::unique_ptr<IWebView> {
        return std::make_unique<gtk::TProcessWebView>(std::string(), gtk::TCaptureLimits{}, &lock);
    };
}

// Whether the one window of the run captures. A run at a whole monitor's
// size does, and so does the window of --window, which the user opened to
// try the saver: the form captures at the size of the monitor it is on and
// scales the pictures to the window, so the shared cache keeps pictures of
// a monitor's size. XScreenSaver's small settings preview only shows the
// cache: nobody asked it for pages, the daemon starts and kills it as the
// user moves through the list of hacks (a pass would hardly ever end), and
// holding the capture lock it would leave a saver started meanwhile
// showing only.
bool CapturesInOneWindow(TSlideShowForm& form,
                         const gtk::TLinuxHost& host,
                         const gtk::TLinuxHostOptions& options) {
    if (host.ShowsWholeMonitor())
        return true;
    if (options.Mode != gtk::TLinuxWindowMode::lwWindow)
        return false;
    // Without a monitor there is no size to capture at but the window's.
    const std::vector<TRect> monitors = gtk::DisplayMonitors();
    form.SetTryWindowMonitors(monitors);
    return !monitors.empty();
}

// One form in the window the command line names (XScreenSaver's, another
// program's, the root window, or --window).
int RunInOneWindow(TSlideShowServices& services,
                   gtk::TCaptureLock& lock,
                   gtk::TGtkApplicationPlatform& platform,
                   const gtk::TLinuxHostOptions& options) {
    int code = 0;
    TSlideShowForm form(services, SlideShowStyle());
    try {
        gtk::TLinuxHost host(form, options);
        // XScreenSaver starts one program per monitor: at each pass only the
        // one that holds the lock captures, the others show what it writes.
        if (CapturesInOneWindow(form, host, options))
            services.CreateWebView = CaptureWebView(lock);
        // One program a monitor: each starts at its monitor's page,
        // scales pages to its width and captures at the largest size.
        TRect monitor;
        if (host.ShownMonitor(monitor))
            form.SetOwnMonitor(gtk::DisplayMonitors(), monitor);
        form.Show();
        form.StartRun();
        gtk::RunMainLoop();
        form.ReleaseRun();
    } catch (const std::exception& e) {
        Complain(e.what());
        code = 1;
    }
    platform.RunDeferred();  // while the form is there
    return code;
}

// Full-screen and wall runs: a form on every monitor, each starting at its
// own page; the first captures (when this instance holds the lock), the
// others show what it writes. A run whose monitors change (added, removed,
// moved or resized) starts again on the new ones.
// One run with a window on each monitor; true when the monitors changed and
// the run begins again.
bool RunMonitorsOnce(TSlideShowServices& services,
                     TSlideShowServices& showOnly,
                     gtk::TGtkApplicationPlatform& platform,
                     const gtk::TLinuxHostOptions& options,
                     int& code) {
    const std::vector<TRect> monitors = gtk::DisplayMonitors();
    const std::size_t count = monitors.empty() ? 1 : monitors.size();
    TFormWindowStyle style = SlideShowStyle();
    // The host closes the windows and then ends the main loop: none is a
    // main window, whose end would also end the next run's loop.
    style.MainWindow = false;
    std::vector<std::unique_ptr<TSlideShowForm>> forms;
    std::vector<TForm*> hosted;
    for (std::size_t k = 0; k < count; ++k) {
        forms.push_back(std::make_unique<TSlideShowForm>(k == 0 ? services : showOnly, style));
        hosted.push_back(forms.back().get());
    }
    bool again = false;
    try {
        gtk::TLinuxHost host(hosted, options);
        if (count > 1) {
            for (std::size_t k = 0; k < count; ++k)
                forms[k]->SetOwnMonitor(monitors, monitors[k]);
        }
        for (auto& form : forms)
            form->Show();
        for (auto& form : forms)
            form->StartRun();
        gtk::RunMainLoop();
        for (auto& form : forms)
            form->ReleaseRun();
        again = host.MonitorsChanged();
    } catch (const std::exception& e) {
        Complain(e.what());
        code = 1;
    }
    platform.RunDeferred();  // while the forms are there
    return again;
}

int RunOnEveryMonitor(TSlideShowServices& services,
                      gtk::TCaptureLock& lock,
                      gtk::TGtkApplicationPlatform& platform,
                      const gtk::TLinuxHostOptions& options) {
    TSlideShowServices showOnly = services;
    services.CreateWebView = CaptureWebView(lock);
    int code = 0;
    while (RunMonitorsOnce(services, showOnly, platform, options, code)) {
    }
    return code;
}

int RunSlideShow(const gtk::TLinuxHostOptions& options) {
    gtk::TStandardErrorBoxes boxes;
    gtk::TGtkApplicationPlatform platform(boxes);
    TApplication application(platform);
    application.Title = "Lumenary";
    SetApplication(&application);

    gtk::TGtkFormWindowFactory windows;
    gtk::TIniRegistry registry(gtk::DefaultSettingsPath());
    gtk::TPosixFileSystem files;
    gtk::TGtkClock clock(windows.Keyboard());
    gtk::TGtkLocale locale;
    TSlideShowServices services{windows, registry, files, clock, locale, {}, CacheFolder(), {}};
    services.SettingsRefused = [&registry](std::string& path, std::string& reason) {
        const auto& problem = registry.LoadProblem();
        if (!problem || !problem->IsError())
            return false;
        path = problem->Path;
        reason = problem->Reason;
        return true;
    };

    gtk::TCaptureLock lock(gtk::CaptureLockPath(std::getenv("XDG_RUNTIME_DIR"), services.CacheDir));
    const bool everyMonitor = options.Mode == gtk::TLinuxWindowMode::lwFullScreen ||
                              options.Mode == gtk::TLinuxWindowMode::lwWall;
    const int code = everyMonitor ? RunOnEveryMonitor(services, lock, platform, options)
                                  : RunInOneWindow(services, lock, platform, options);
    platform.RunDeferred();
    SetApplication(nullptr);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    gtk_parse_args(&argc, &argv);  // GTK's own options (--display) first
    const gtk::TLinuxParseResult parsed =
        gtk::ParseArgs(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    if (!parsed.Ok) {
        Complain(parsed.Error);
        std::fputs(gtk::UsageText(argv[0]).c_str(), stderr);
        return gtk::kUsageExitCode;
    }
    if (parsed.Options.Help) {
        std::fputs(gtk::UsageText(argv[0]).c_str(), stdout);
        return 0;
    }
    // Web session: --sign-in and --sign-out (gtk/WebSessionCommands).
    if (parsed.Options.SignIn || parsed.Options.SignOut)
        return gtk::RunWebSessionCommand(parsed.Options);
    if (!gtk_init_check(&argc, &argv)) {
        Complain("cannot open the X display");
        return 1;
    }
    if (parsed.Options.Config)
        return RunConfigDialog();
    return RunSlideShow(parsed.Options);
}
