#include "app/win32/AppServices.h"

#include "host/ZelScreenSaver.h"
#include "slideshow/PageCache.h"
#include "win32/browser/BrowserEmulation.h"
#include "win32/browser/Win32WebView.h"
#include "win32/settings/ConfigDialog.h"

namespace lum::win32 {

TAppServices::TAppServices()
    : Display{{Windows, Registry, Files, Clock, Locale, nullptr, {}, {}}, Host, nullptr} {
    // The cache lives beside the program.
    Display.CacheDir = GetCacheDir(Files);
    Display.CreateWebView = [](THandle owner) -> std::unique_ptr<IWebView> {
        // Before the first control of the run reads it.
        EnsureBrowserEmulation();
        return CreateCaptureWebView(owner);
    };
    // ParentWnd is settled by the host before it asks for the dialog.
    Display.CreateConfigDialog = [this](TComponent* owner) {
        return CreateLumenaryConfigDlg(owner, Registry, Files, MessageBoxes, Display.CacheDir,
                                       ParentWnd);
    };
}

}  // namespace lum::win32
