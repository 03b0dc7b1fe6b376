#include "win32/AppServices.h"

#include "host/ZelScreenSaver.h"
#include "slideshow/PageCache.h"
#include "win32/BrowserEmulation.h"
#include "win32/ConfigDialog.h"
#include "win32/Win32WebView.h"

namespace lum::win32 {

TAppServices::TAppServices()
    : Display{Windows, Host, Registry, Files, Clock, Locale, nullptr, nullptr} {
    Display.CreateWebView = [](THandle owner) -> std::unique_ptr<IWebView> {
        // Before the first control of the run reads it.
        EnsureBrowserEmulation();
        return CreateCaptureWebView(owner);
    };
    // ParentWnd is settled by the host before it asks for the dialog.
    Display.CreateConfigDialog = [this](TComponent* owner) {
        return CreateLumenaryConfigDlg(owner, Registry, Files, MessageBoxes, GetCacheDir(Files),
                                       ParentWnd);
    };
}

}  // namespace lum::win32
