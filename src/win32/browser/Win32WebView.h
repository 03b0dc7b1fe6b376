// The capture form's window with the WebBrowser control in it, as the web
// view of the page capture: navigation and its failures, the document's body
// and root element, the control's size and the capture bitmap. Every step
// completes before it returns; failures throw lum::Exception. OLE must be
// initialised on the thread (OleInitialize) before creation.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/Types.h"
#include "platform/WebView.h"
#include "win32/BaseWindow.h"
#include "win32/browser/WebBrowserHost.h"

struct IHTMLDocument2;

namespace lum::win32 {

class TDispatchObject;
class TWin32CaptureBitmap;

class TWin32WebView final : public IWebView, public BaseWindow<TWin32WebView> {
  public:
    // Creates the window "WorkingForm" (borderless popup, client 112 x 23 at
    // 226, 208, owned by owner), activates the control in it at (0, 0)
    // 153 x 73 and shows the window without activating it.
    explicit TWin32WebView(HWND owner);
    ~TWin32WebView() override;
    TWin32WebView(const TWin32WebView&) = delete;
    TWin32WebView& operator=(const TWin32WebView&) = delete;

    void Navigate(const std::string& url) override;
    void SetViewSize(const TSize& size) override;
    // The control tells no quiet page from a busy one: the page is taken as
    // its DocumentComplete finds it, at once.
    void SettlePage(std::function<void(bool)> done, TStepFailed failed) override;
    void MeasurePage(std::function<void(TSize)> done, TStepFailed failed) override;
    void TakePicture(const TSize& size,
                     std::function<void(const TPageBitmap&)> done,
                     TStepFailed failed) override;

    // The body element of the current top-level HTML document.
    std::unique_ptr<TDispatchObject> GetDocumentBody();
    // Its root element (document.documentElement); nullptr when the
    // document has none.
    std::unique_ptr<TDispatchObject> GetDocumentRoot();
    // put_Width / put_Height of the control.
    void SetWidth(std::int32_t width);
    void SetHeight(std::int32_t height);
    std::unique_ptr<TWin32CaptureBitmap> CreateCaptureBitmap();

    HWND ControlWindow() const { return FHost ? FHost->ControlWindow() : nullptr; }
    TWebBrowserHost* Host() const { return FHost.Get(); }

  private:
    friend class BaseWindow<TWin32WebView>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    IWebBrowser2& Browser();
    void CloseControl() noexcept;
    void NavigateFailed(const std::string& url, const TPageFailure& failure);
    void DeliverFailure();
    Microsoft::WRL::ComPtr<IHTMLDocument2> Document();

    struct TPendingFailure {
        std::uint32_t Navigation;
        std::string Url;
        TPageFailure Failure;
    };

    Microsoft::WRL::ComPtr<TWebBrowserHost> FHost;
    // One per Navigate: a failure is delivered once, for the navigation
    // that is still current, through the message loop.
    std::uint32_t FNavigation = 0;
    bool FFailed = false;  // the current navigation has failed
    TSize FViewSize{};     // the size pages are laid out at (the display's)
    std::optional<TPendingFailure> FPendingFailure;
};

// The capture form's web view, owned by the window ownerWindow (0: none).
std::unique_ptr<TWin32WebView> CreateCaptureWebView(THandle ownerWindow);

}  // namespace lum::win32
