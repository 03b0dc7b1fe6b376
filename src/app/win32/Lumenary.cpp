// Program entry of the screen saver: the application object, the title, the
// main form (whose host component runs the start-up of the mode from the
// command line), then the message loop until the main form closes.
#include <commctrl.h>
#include <ole2.h>
#include <windows.h>

#include <memory>

#include "app/win32/AppServices.h"
#include "slideshow/Main.h"
#include "win32/Win32MessageLoop.h"

namespace {

using namespace lum;

// The main form, whose creation runs the start-up; nullptr when it failed,
// which the application's standard error report has shown.
std::unique_ptr<TScreenSaverDisplayForm> CreateMainForm(TApplication& application,
                                                        win32::TAppServices& services) {
    std::unique_ptr<TScreenSaverDisplayForm> form;
    try {
        form = std::make_unique<TScreenSaverDisplayForm>(services.Display);
    } catch (const std::exception& e) {
        application.ShowException(e);
    }
    return form;
}

// Shows the main form if the start-up asked for it, then runs the message
// loop until the form closes; the loop's exit code.
int RunMainForm(TApplication& application, TScreenSaverDisplayForm& form) {
    if (application.ShowMainForm && ::IsWindow(reinterpret_cast<HWND>(form.Handle()))) {
        form.Show();
        if (form.ZelScreenSaver->Normal())
            ::SetForegroundWindow(reinterpret_cast<HWND>(form.Handle()));
    }
    return win32::RunMessageLoop([&](const MSG& msg) {
        TMessage m{msg.message, msg.wParam, msg.lParam, 0};
        return ScreenSaverDisplayForm && ScreenSaverDisplayForm->IsShortCut(m);
    });
}

// The application object and its main form, from start-up to the end of
// the run; the program's exit code.
int RunApplication() {
    int exitCode = 0;
    win32::TWin32ApplicationPlatform appPlatform;
    TApplication application(appPlatform);
    SetApplication(&application);
    application.Title = "Lumenary";

    win32::TAppServices services;
    std::unique_ptr<TScreenSaverDisplayForm> form = CreateMainForm(application, services);
    if (form) {
        exitCode = RunMainForm(application, *form);
        appPlatform.RunDeferred();
        form.reset();
    }
    appPlatform.RunDeferred();
    SetApplication(nullptr);
    return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The WebBrowser control lives in a single-threaded apartment.
    const HRESULT ole = ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);

    const int exitCode = RunApplication();
    if (SUCCEEDED(ole))
        ::OleUninitialize();
    return exitCode;
}
