// The WebBrowser host's IDispatch: the DWebBrowserEvents2 sink (completion,
// errors, downloads, new windows, titles) and the ambient download controls.
#include <exdispid.h>
#include <idispids.h>
#include <mshtmdid.h>

#include <exception>

#include "common/Forms.h"
#include "platform/Types.h"
#include "win32/Strings.h"
#include "win32/browser/NavigateFailure.h"
#include "win32/browser/WebBrowserHost.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

namespace {

void ReportException(const std::exception& error) noexcept {
    try {
        Application().ShowException(error);
    } catch (...) {
        // Without an application object there is nobody to tell.
    }
}

// The text of a VARIANT argument as the control passes it (a string, or a
// reference to a VARIANT holding one); empty for anything else.
std::wstring VariantText(const VARIANT& value) {
    if (value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal)
        return VariantText(*value.pvarVal);
    if (value.vt == VT_BSTR && value.bstrVal)
        return std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal));
    if (value.vt == (VT_BYREF | VT_BSTR) && value.pbstrVal && *value.pbstrVal)
        return std::wstring(*value.pbstrVal, ::SysStringLen(*value.pbstrVal));
    return {};
}

// An event's parameter by its position in the declaration (the arguments
// arrive in reverse order); nullptr when there are fewer.
VARIANT* Argument(DISPPARAMS* params, UINT position) {
    if (!params || !params->rgvarg || params->cArgs <= position)
        return nullptr;
    return &params->rgvarg[params->cArgs - 1 - position];
}

// Sets the by-reference Cancel flag of an event (NewWindow, NavigateError,
// FileDownload).
void CancelArgument(DISPPARAMS* params, UINT position) {
    VARIANT* cancel = Argument(params, position);
    if (cancel && cancel->vt == (VT_BYREF | VT_VARIANT) && cancel->pvarVal)
        cancel = cancel->pvarVal;
    if (cancel && cancel->vt == (VT_BYREF | VT_BOOL) && cancel->pboolVal)
        *cancel->pboolVal = VARIANT_TRUE;
}

// An integer argument (by value or by reference); fallback for anything else.
std::int32_t IntArgument(DISPPARAMS* params, UINT position, std::int32_t fallback) {
    VARIANT* value = Argument(params, position);
    if (value && value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal)
        value = value->pvarVal;
    if (!value)
        return fallback;
    VARIANT copy;
    ::VariantInit(&copy);
    if (FAILED(::VariantChangeType(&copy, value, 0, VT_I4)))
        return fallback;
    return copy.lVal;
}

std::wstring TextArgument(DISPPARAMS* params, UINT position) {
    const VARIANT* value = Argument(params, position);
    return value ? VariantText(*value) : std::wstring();
}

template <class F>
void Guarded(const char* event, F&& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportException(Exception(std::string("unknown error in ") + event));
    }
}

// DISPID_AMBIENT_DLCONTROL, which the control reads as a property: the
// download controls.
HRESULT DownloadControlProperty(WORD flags, VARIANT* result) {
    if (!(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    if (!result)
        return E_POINTER;
    ::VariantInit(result);
    result->vt = VT_I4;
    result->lVal = TWebBrowserHost::DownloadControlFlags();
    return S_OK;
}

// DISPID_AMBIENT_SILENT, which the control reads as a property: true, no
// dialogs of the control's own.
HRESULT SilentProperty(WORD flags, VARIANT* result) {
    if (!(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    if (!result)
        return E_POINTER;
    ::VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_TRUE;
    return S_OK;
}

}  // namespace

// --- IDispatch: the DWebBrowserEvents2 sink, and the ambient properties
// the control reads through its site's IDispatch: the download controls,
// and in the capture "silent"; for the others the control keeps its
// defaults.

long TWebBrowserHost::DownloadControlFlags() noexcept {
    return DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS |
           DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_BEHAVIORS | DLCTL_SILENT;
}

HRESULT TWebBrowserHost::GetTypeInfoCount(UINT* count) {
    if (count)
        *count = 0;
    return S_OK;
}
HRESULT TWebBrowserHost::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT TWebBrowserHost::Invoke(DISPID id,
                                REFIID,
                                LCID,
                                WORD flags,
                                DISPPARAMS* params,
                                VARIANT* result,
                                EXCEPINFO*,
                                UINT*) {
    switch (id) {
        case DISPID_AMBIENT_DLCONTROL:
            return DownloadControlProperty(flags, result);
        case DISPID_AMBIENT_SILENT:
            if (FUse != TBrowserUse::Capture)
                return DISP_E_MEMBERNOTFOUND;
            return SilentProperty(flags, result);
        case DISPID_BEFORENAVIGATE2:  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers,
                                      // Cancel)
            BeforeNavigate(params);
            return S_OK;
        case DISPID_DOCUMENTCOMPLETE:  // (pDisp, URL)
            DocumentComplete(params);
            return S_OK;
        case DISPID_NAVIGATEERROR:  // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
            NavigateError(params);
            return S_OK;
        case DISPID_FILEDOWNLOAD:  // (ActiveDocument, Cancel); before IE 7: (Cancel)
            FileDownload(params);
            return S_OK;
        case DISPID_TITLECHANGE:  // (Text)
            TitleChange(params);
            return S_OK;
        case DISPID_NEWWINDOW2:  // (ppDisp, Cancel): no pop-up windows
            CancelArgument(params, 1);
            return S_OK;
        case DISPID_NEWWINDOW3:  // (ppDisp, Cancel, dwFlags, context, URL)
            NewWindow(params);
            return S_OK;
        case DISPID_WINDOWCLOSING:  // (IsChildWindow, Cancel)
            WindowClosing(params);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

bool TWebBrowserHost::IsControl(const VARIANT* window) const noexcept {
    if (!window || !FOleObject)
        return false;
    IUnknown* object = nullptr;
    if (window->vt == VT_DISPATCH)
        object = window->pdispVal;
    else if (window->vt == VT_UNKNOWN)
        object = window->punkVal;
    else if (window->vt == (VT_BYREF | VT_DISPATCH) && window->ppdispVal)
        object = *window->ppdispVal;
    if (!object)
        return false;
    // COM identity: both answer the same IUnknown.
    ComPtr<IUnknown> mine;
    ComPtr<IUnknown> theirs;
    return SUCCEEDED(FOleObject.As(&mine)) &&
           SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&theirs))) && mine.Get() == theirs.Get();
}

void TWebBrowserHost::NavigationRequested(const std::string& url) {
    FLastTopLevel = true;
    FLastUrl = Widen(url);
    FCredentialsRefused = false;
    FSecurityProblem = 0;
}

void TWebBrowserHost::BeforeNavigate(DISPPARAMS* params) noexcept {
    Guarded("BeforeNavigate2", [&] {
        FLastTopLevel = IsControl(Argument(params, 0));
        FLastUrl = TextArgument(params, 1);
        if (FLastTopLevel) {
            FCredentialsRefused = false;
            FSecurityProblem = 0;
        }
    });
}

void TWebBrowserHost::DocumentComplete(DISPPARAMS* params) noexcept {
    // The handler may release the form that hosts this object; both stay
    // alive until the event has been handled.
    ComPtr<TWebBrowserHost> self(this);
    Guarded("DocumentComplete", [&] {
        const auto handler = OnDocumentComplete;
        if (handler)
            handler(Narrow(TextArgument(params, 1)), IsControl(Argument(params, 0)));
    });
}

// The control's own page failed: its error page is cancelled (a visible
// control shows it to the user) and the page is reported. A frame's error
// leaves the page to complete without it.
void TWebBrowserHost::NavigateError(DISPPARAMS* params) noexcept {
    if (!IsControl(Argument(params, 0)))
        return;
    if (FUse == TBrowserUse::Capture)
        CancelArgument(params, 4);
    Failed(TextArgument(params, 1), RefusedFailure(IntArgument(params, 3, 0)));
}

// No file is ever downloaded. A download that the control's own navigation
// led to ends that page: there is no document to capture.
void TWebBrowserHost::FileDownload(DISPPARAMS* params) noexcept {
    const bool document = params && params->cArgs >= 2 && IntArgument(params, 0, 0) != 0;
    if (document)
        return;  // a page the control shows itself, not a download
    CancelArgument(params, params && params->cArgs >= 2 ? 1 : 0);
    if (FLastTopLevel)
        Failed(FLastUrl, TPageFailure{TPageFailureKind::pfDownload, 0, {}});
}

void TWebBrowserHost::Failed(const std::wstring& url, const TPageFailure& failure) noexcept {
    ComPtr<TWebBrowserHost> self(this);
    Guarded("NavigateError", [&] {
        const auto handler = OnNavigateFailed;
        if (handler)
            handler(Narrow(url), failure);
    });
}

// No window of the control's own ever opens. A visible control shows the
// page it asked for in its own window instead: the sign-in page a link or
// a "sign in with" button opens as a pop-up. (A page that needs its opener
// does not get one.)
void TWebBrowserHost::NewWindow(DISPPARAMS* params) noexcept {
    CancelArgument(params, 1);
    if (FUse != TBrowserUse::Visible)
        return;
    ComPtr<TWebBrowserHost> self(this);
    Guarded("NewWindow3", [&] {
        const std::wstring url = TextArgument(params, 4);
        // A navigation that fails shows the control's own error page.
        if (!url.empty())
            Navigate(Narrow(url));
    });
}

// A page's window.close(): left to the control, it would close its
// document and leave an empty window (or, in the capture, an empty page).
void TWebBrowserHost::WindowClosing(DISPPARAMS* params) noexcept {
    CancelArgument(params, 1);
    ComPtr<TWebBrowserHost> self(this);
    Guarded("WindowClosing", [&] {
        const auto handler = OnWindowClosing;
        if (handler)
            handler();
    });
}

void TWebBrowserHost::TitleChange(DISPPARAMS* params) noexcept {
    ComPtr<TWebBrowserHost> self(this);
    Guarded("TitleChange", [&] {
        const auto handler = OnTitleChange;
        if (handler)
            handler(Narrow(TextArgument(params, 0)));
    });
}

}  // namespace lum::win32
