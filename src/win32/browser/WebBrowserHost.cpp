#include "win32/browser/WebBrowserHost.h"

#include "common/Forms.h"
#include "platform/Types.h"
#include "win32/Strings.h"
#include "win32/browser/ComUtil.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kClsidWebBrowser = {0x8856F961,
                                    0x340A,
                                    0x11D0,
                                    {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

LONG gInstances = 0;  // host objects alive

constexpr const char* kActivateFailed = "OLE コントロールのアクティベートに失敗しました";
}  // namespace

ComPtr<TWebBrowserHost> TWebBrowserHost::Create(HWND window, const RECT& rect, TBrowserUse use) {
    // The object starts with no reference; the ComPtr takes the first.
    ComPtr<TWebBrowserHost> host(new TWebBrowserHost(window, rect, use));
    host->Open();
    return host;
}

TWebBrowserHost::TWebBrowserHost(HWND window, const RECT& rect, TBrowserUse use)
    : FWindow(window), FRect(rect), FUse(use) {
    ::InterlockedIncrement(&gInstances);
}

TWebBrowserHost::~TWebBrowserHost() {
    Disconnect();
    ::InterlockedDecrement(&gInstances);
}

long TWebBrowserHost::Instances() noexcept {
    return gInstances;
}

void TWebBrowserHost::Open() {
    HRESULT hr = ::CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&FOleObject));
    if (FAILED(hr))
        throw Exception("the WebBrowser control cannot be created (" + HResultText(hr) + ")");
    hr = FOleObject->SetClientSite(this);
    if (SUCCEEDED(hr))
        hr = FOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, FWindow, &FRect);
    if (SUCCEEDED(hr))
        hr = FOleObject.As(&FBrowser);
    if (SUCCEEDED(hr) && !FInPlaceObject)
        hr = FOleObject.As(&FInPlaceObject);
    // No dialog of the control's own in the capture: script errors, and
    // whatever else the control would show (it asks the site's services
    // before any prompt of a download).
    if (SUCCEEDED(hr) && FUse == TBrowserUse::Capture)
        hr = FBrowser->put_Silent(VARIANT_TRUE);
    if (FAILED(hr)) {
        Close();
        throw Exception(kActivateFailed);
    }
    ComPtr<IConnectionPointContainer> container;
    hr = FOleObject.As(&container);
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(__uuidof(DWebBrowserEvents2), &FConnectionPoint);
    if (SUCCEEDED(hr))
        hr = FConnectionPoint->Advise(static_cast<IDispatch*>(this), &FCookie);
    if (FAILED(hr)) {
        Close();
        throw Exception("the events of the WebBrowser control cannot be connected (" +
                        HResultText(hr) + ")");
    }
}

void TWebBrowserHost::Close() noexcept {
    // Keep this object alive while the control lets go of its site.
    const ComPtr<TWebBrowserHost> self(this);
    Disconnect();
}

// In the reverse order of Open, as an OLE container closes an object: the
// object is closed while it still has its site (it may save or notify
// through it), and only then let go of it.
void TWebBrowserHost::Disconnect() noexcept {
    OnDocumentComplete = nullptr;
    OnNavigateFailed = nullptr;
    OnTitleChange = nullptr;
    OnWindowClosing = nullptr;
    FActiveObject.Reset();
    if (FInPlaceObject)
        FInPlaceObject->InPlaceDeactivate();
    if (FConnectionPoint && FCookie)
        FConnectionPoint->Unadvise(FCookie);
    FCookie = 0;
    FConnectionPoint.Reset();
    if (FOleObject) {
        FOleObject->Close(OLECLOSE_NOSAVE);
        FOleObject->SetClientSite(nullptr);
    }
    FBrowser.Reset();
    FInPlaceObject.Reset();
    FOleObject.Reset();
}

HWND TWebBrowserHost::ControlWindow() const noexcept {
    HWND window = nullptr;
    if (!FInPlaceObject || FAILED(FInPlaceObject->GetWindow(&window)))
        return nullptr;
    return window;
}

}  // namespace lum::win32
