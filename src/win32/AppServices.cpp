#include "win32/AppServices.h"

#include "win32/Win32WebView.h"

namespace lum::win32 {

TAppServices::TAppServices()
    : Display{Windows, Host, Registry, Files, Clock, Locale, nullptr, nullptr} {
    Display.CreateWebView = [](THandle owner) -> std::unique_ptr<IWebView> {
        return CreateCaptureWebView(owner);
    };
}

}  // namespace lum::win32
