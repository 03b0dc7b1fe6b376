#include "win32/browser/Win32WebView.h"

#include <mshtml.h>

#include <algorithm>

#include "common/Bmp.h"
#include "win32/AudioMute.h"
#include "win32/Strings.h"
#include "win32/browser/ComUtil.h"
#include "win32/browser/DispatchObject.h"
#include "win32/browser/Win32CaptureBitmap.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

namespace {

constexpr const wchar_t* kClassName = L"TWorkingForm";
constexpr const wchar_t* kCaption = L"WorkingForm";
constexpr RECT kFormBounds = {226, 208, 226 + 112, 208 + 23};  // borderless: client = window
constexpr RECT kControlRect = {0, 0, 153, 73};
constexpr DISPID kDispidDocument = 203;  // the control's Document property

}  // namespace

TWin32WebView::TWin32WebView(HWND owner) {
    RegisterClassOnce(kClassName, &Procedure, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // WS_EX_NOACTIVATE: the window lies under the full-screen display and
    // must never take the keyboard from it, not even when the control
    // focuses its page. WS_EX_TOOLWINDOW: no taskbar button of its own.
    ::CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName, kCaption,
                      WS_POPUP | WS_CLIPCHILDREN, kFormBounds.left, kFormBounds.top,
                      kFormBounds.right - kFormBounds.left, kFormBounds.bottom - kFormBounds.top,
                      owner, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!FWnd)
        throw Exception("the capture window cannot be created");
    try {
        OpenControl();
    } catch (...) {
        DestroyOwnWindow();
        throw;
    }
    ::ShowWindow(FWnd, SW_SHOWNOACTIVATE);
}

void TWin32WebView::OpenControl() {
    FHost = TWebBrowserHost::Create(FWnd, kControlRect);
    FHost->OnDocumentComplete = [this](const std::string& url, bool topLevel) {
        DocumentCompleted(url, topLevel);
    };
    FHost->OnNavigateFailed = [this](const std::string& url, const TPageFailure& failure) {
        NavigateFailed(url, failure);
    };
    // The first event of a new document; the settle watch goes in there.
    FHost->OnTitleChange = [this](const std::string&) { InstallWatch(); };
    if (FViewSize.Width > 0 && FViewSize.Height > 0)
        SetViewSize(FViewSize);
}

TWin32WebView::~TWin32WebView() {
    EndLoadLimit();
    FOverdue.reset();
    DropSettle();
    DropPicture();
    CloseControl();
    DestroyOwnWindow();
}

namespace {
constexpr UINT kGiveBackActivation = WM_APP + 0x51;
constexpr UINT kDeliverFailure = WM_APP + 0x52;
}  // namespace

// The control completes every frame's document (an advert's, an empty
// "about:blank" one, a counter's) before the page's own, which comes last,
// once the whole page has loaded, with the control itself as its window:
// only that one is the page's. Nothing of a navigation that failed is
// captured (an error page the control went on to all the same, say).
void TWin32WebView::DocumentCompleted(const std::string& url, bool topLevel) {
    if (!topLevel || FFailed)
        return;
    EndLoadLimit();
    const auto handler = OnDocumentComplete;
    if (handler)
        handler(url);
}

// The control reports a failure from within its own event, possibly from
// within Navigate: it is kept and handed on later, through the message loop,
// as completions are. A navigation fails once; whatever it reports after
// that (another error, a download, a completion) is dropped.
void TWin32WebView::NavigateFailed(const std::string& url, const TPageFailure& failure) {
    if (FFailed)
        return;
    FFailed = true;
    EndLoadLimit();
    FPendingFailure = TPendingFailure{FNavigation, url, failure};
    ::PostMessageW(FWnd, kDeliverFailure, 0, 0);
}

void TWin32WebView::DeliverFailure() {
    if (!FPendingFailure)
        return;
    const TPendingFailure pending = std::move(*FPendingFailure);
    FPendingFailure.reset();
    // A navigation begun since makes it stale.
    if (pending.Navigation != FNavigation)
        return;
    const auto handler = OnDocumentFailed;
    if (handler)
        handler(pending.Url, pending.Failure);
}

LRESULT TWin32WebView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ACTIVATE:
            // The control focuses its page on load, which activates this
            // window and would take the keyboard from the full-screen form
            // (whose keys end the run). Activation goes back to the window
            // that had it, once this message is over.
            if (LOWORD(wParam) != WA_INACTIVE && lParam)
                ::PostMessageW(FWnd, kGiveBackActivation, static_cast<WPARAM>(lParam), 0);
            break;
        case kGiveBackActivation: {
            const HWND previous = reinterpret_cast<HWND>(wParam);
            if (::IsWindow(previous) && ::GetActiveWindow() == FWnd)
                ::SetActiveWindow(previous);
            return 0;
        }
        case kDeliverFailure:
            DeliverFailure();
            return 0;
        case kDeliverOverdue:
            DeliverOverdue();
            return 0;
        case kPictureBand:
            DrawBand();
            return 0;
        case WM_TIMER:
            if (!OnTimer(wParam))
                break;
            return 0;
        case WM_DESTROY:
            // Destroying the owner destroys this window first: the control is
            // closed while its window still exists, and a step under way
            // ends uncalled.
            EndLoadLimit();
            FOverdue.reset();
            DropSettle();
            DropPicture();
            CloseControl();
            break;
        default:
            break;
    }
    return ::DefWindowProcW(FWnd, msg, wParam, lParam);
}

void TWin32WebView::CloseControl() noexcept {
    if (!FHost)
        return;
    FHost->Close();
    FHost.Reset();
}

IWebBrowser2& TWin32WebView::Browser() {
    if (!FHost || !FHost->Browser())
        throw Exception("the WebBrowser control has been closed");
    return *FHost->Browser();
}

void TWin32WebView::Navigate(const std::string& url) {
    if (!FHost && ::IsWindow(FWnd))
        OpenControl();  // released at the end of the last pass
    Browser();          // throws once the control is closed for good
    DropSettle();       // the page it was for is being left
    DropPicture();
    FCrop.reset();
    FOverdue.reset();
    ++FNavigation;
    FFailed = false;
    FPendingFailure.reset();
    // Before Navigate: the control may complete, or fail, from within it.
    StartLoadLimit(url);
    std::string headers;
    for (const auto& [name, value] : FOptions.Headers)
        headers += name + ": " + value + "\r\n";
    const HRESULT hr = FHost->Navigate(url, headers);
    if (FAILED(hr)) {
        EndLoadLimit();
        throw Exception("navigating to \"" + url + "\" failed (" + HResultText(hr) + ")");
    }
}

ComPtr<IHTMLDocument2> TWin32WebView::Document() {
    IWebBrowser2& browser = Browser();
    TVariant document;
    DISPPARAMS none{};
    const HRESULT hr = browser.Invoke(kDispidDocument, IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_PROPERTYGET, &none, &document, nullptr, nullptr);
    if (FAILED(hr) || document.vt != VT_DISPATCH || !document.pdispVal)
        throw Exception("the WebBrowser control holds no document");
    ComPtr<IHTMLDocument2> html;
    if (FAILED(document.pdispVal->QueryInterface(IID_PPV_ARGS(&html))))
        throw Exception("the document in the WebBrowser control is not an HTML document");
    return html;
}

std::unique_ptr<TDispatchObject> TWin32WebView::GetDocumentBody() {
    ComPtr<IHTMLElement> body;
    const HRESULT hr = Document()->get_body(&body);
    if (FAILED(hr) || !body)
        throw Exception("the HTML document has no body");
    return std::make_unique<TDispatchObject>(ComPtr<IDispatch>(body.Get()), "body");
}

// IHTMLDocument3 where the document has it, else "documentElement" by name.
std::unique_ptr<TDispatchObject> TWin32WebView::GetDocumentRoot() {
    const ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLDocument3> document3;
    if (SUCCEEDED(document.As(&document3))) {
        ComPtr<IHTMLElement> root;
        if (SUCCEEDED(document3->get_documentElement(&root)) && root)
            return std::make_unique<TDispatchObject>(ComPtr<IDispatch>(root.Get()),
                                                     "documentElement");
    }
    try {
        TDispatchObject late(ComPtr<IDispatch>(document.Get()), "document");
        return late.GetObjectProperty("documentElement");
    } catch (const Exception&) {
        return nullptr;
    }
}

void TWin32WebView::SetWidth(std::int32_t width) {
    // The control answers by asking its site for the new rectangle
    // (OnPosRectChange), which passes it on to SetObjectRects.
    const HRESULT hr = Browser().put_Width(width);
    if (FAILED(hr))
        throw Exception("the WebBrowser control cannot take the width " + std::to_string(width) +
                        " (" + HResultText(hr) + ")");
}

void TWin32WebView::SetHeight(std::int32_t height) {
    const HRESULT hr = Browser().put_Height(height);
    if (FAILED(hr))
        throw Exception("the WebBrowser control cannot take the height " + std::to_string(height) +
                        " (" + HResultText(hr) + ")");
}

std::unique_ptr<TWin32CaptureBitmap> TWin32WebView::CreateCaptureBitmap() {
    return std::make_unique<TWin32CaptureBitmap>(ComPtr<IUnknown>(&Browser()));
}

// The control answers the view's size and the measure at once: each
// continuation runs before the call returns, and a failure throws from the
// call itself.
void TWin32WebView::SetViewSize(const TSize& size) {
    if (!FHost && ::IsWindow(FWnd)) {
        FViewSize = size;  // the control between passes takes it when it is made
        return;
    }
    SetWidth(size.Width);
    SetHeight(size.Height);
    FViewSize = size;
}

// The document's dots per inch (window.screen, IHTMLScreen2). A DPI-aware
// host (DOCHOSTUIFLAG_DPI_AWARE, WebBrowserHostSites.cpp) has the control
// draw one CSS pixel as 1/96 inch: deviceXDPI / logicalXDPI device pixels,
// 1.5 at 150 %, while the DOM's sizes and scroll positions stay in CSS
// pixels. A document that cannot say (no window, no screen, a screen
// without the figures) is taken as drawn 1:1.
TPageDpi TWin32WebView::PageDpi() noexcept {
    try {
        TDispatchObject document(ComPtr<IDispatch>(Document().Get()), "document");
        const std::unique_ptr<TDispatchObject> screen =
            document.GetObjectProperty("parentWindow")->GetObjectProperty("screen");
        TPageDpi dpi;
        dpi.Across = {screen->GetIntProperty("deviceXDPI"), screen->GetIntProperty("logicalXDPI")};
        dpi.Down = {screen->GetIntProperty("deviceYDPI"), screen->GetIntProperty("logicalYDPI")};
        return TPageDpi{SaneDpi(dpi.Across), SaneDpi(dpi.Down)};
    } catch (const std::exception&) {
        return TPageDpi{};
    }
}

// The body's scroll bars and border go first, so that no scroll bar takes
// room from the page as it is measured. Then the whole document: the larger
// of the body's and the root element's scroll sizes (the body's margins lie
// inside the root; a page whose body is short can still make the root
// tall). Reading a scroll size lays the page out anew. The sizes are CSS
// pixels: the picture's are the device pixels the control draws them in.
void TWin32WebView::MeasurePage(std::function<void(TSize)> done, TStepFailed failed) {
    const auto start = std::chrono::steady_clock::now();
    const std::unique_ptr<TDispatchObject> body = GetDocumentBody();
    body->GetObjectProperty("style")->PutStringProperty("overflow", "hidden");
    body->GetObjectProperty("style")->PutStringProperty("border", "0");
    HideSelected();
    TSize scrollSize{body->GetIntProperty("scrollWidth"), body->GetIntProperty("scrollHeight")};
    if (const std::unique_ptr<TDispatchObject> root = GetDocumentRoot()) {
        scrollSize.Width = std::max(scrollSize.Width, root->GetIntProperty("scrollWidth"));
        scrollSize.Height = std::max(scrollSize.Height, root->GetIntProperty("scrollHeight"));
    }
    scrollSize = DevicePixels(scrollSize, PageDpi());
    FCrop.reset();
    if (!FOptions.Crop.empty()) {
        FCrop = CropBox();
        scrollSize = TSize{FCrop->Width(), FCrop->Height()};
    }
    if (StepOverdue(start, FStepLimits.Measure, "measuring the page", failed))
        return;
    done(scrollSize);
}

// Whatever a page plays while it is captured is never heard. Asked again
// at every pass: a device added since has a session of its own.
bool TWin32WebView::BeginPass() {
    MuteProcessAudio();
    return true;
}

// Between passes nothing of the last page runs on (its scripts, its
// polling, its audio and video): the control is released, with its
// document, and the next pass's first Navigate makes a new one. What the
// process's session keeps (cookies, the cache) stays with the system.
void TWin32WebView::PassEnded() {
    EndLoadLimit();
    FOverdue.reset();
    DropSettle();
    DropPicture();
    FPendingFailure.reset();
    ++FNavigation;  // whatever the released control still had pending is stale
    CloseControl();
}

std::unique_ptr<TWin32WebView> CreateCaptureWebView(THandle ownerWindow) {
    return std::make_unique<TWin32WebView>(reinterpret_cast<HWND>(ownerWindow));
}

}  // namespace lum::win32
