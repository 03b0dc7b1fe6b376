#include "win32/browser/standin/control/StandinEvents.h"

#include "win32/browser/standin/control/StandinSite.h"

#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

#include <string>

namespace lum::standin {

using Microsoft::WRL::ComPtr;

void TEventsPoint::Detach() noexcept {
    FContainer = nullptr;
    FSinks.clear();
}

void TEventsPoint::FireDocumentComplete(IDispatch* window, const std::wstring& url) {
    // As the real control passes them: the window's IDispatch, and the URL
    // as a reference to a VARIANT holding a string; arguments in reverse.
    VARIANT urlValue;
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = &urlValue;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = window;
    DISPPARAMS params{args, nullptr, 2, 0};
    Fire(DISPID_DOCUMENTCOMPLETE, params);
    ::SysFreeString(urlValue.bstrVal);
}

bool TEventsPoint::FireNewWindow3(const std::wstring& context, const std::wstring& url) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* window = nullptr;
    VARIANT args[5];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    args[1].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocStringLen(context.data(), static_cast<UINT>(context.size()));
    args[2].vt = VT_UI4;
    args[2].ulVal = 0;
    args[3].vt = VT_BYREF | VT_BOOL;
    args[3].pboolVal = &cancel;
    args[4].vt = VT_BYREF | VT_DISPATCH;
    args[4].ppdispVal = &window;
    DISPPARAMS params{args, nullptr, 5, 0};
    Fire(DISPID_NEWWINDOW3, params);
    ::SysFreeString(args[0].bstrVal);
    ::SysFreeString(args[1].bstrVal);
    if (window)
        window->Release();
    return cancel != VARIANT_FALSE;
}

bool TEventsPoint::FireWindowClosing() {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[1].vt = VT_BOOL;
    args[1].boolVal = VARIANT_FALSE;
    DISPPARAMS params{args, nullptr, 2, 0};
    Fire(DISPID_WINDOWCLOSING, params);
    return cancel != VARIANT_FALSE;
}

void TEventsPoint::FireTitleChange(const std::wstring& title) {
    VARIANT args[1];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocStringLen(title.data(), static_cast<UINT>(title.size()));
    DISPPARAMS params{args, nullptr, 1, 0};
    Fire(DISPID_TITLECHANGE, params);
    ::SysFreeString(args[0].bstrVal);
}

void TEventsPoint::Fire(DISPID id, DISPPARAMS& params) {
    // A sink may disconnect, or release the control, while it handles the
    // event: it is called from a copy of the list. What a sink returns, or
    // throws, stays with it.
    const auto sinks = FSinks;
    for (const auto& sink : sinks) {
        sink.second->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                            nullptr, nullptr);
    }
}

bool TEventsPoint::FireNavigateError(IDispatch* window,
                                     const std::wstring& url,
                                     std::uint32_t code) {
    // As the real control passes them: URL, TargetFrameName and StatusCode
    // as references to VARIANTs, Cancel as a reference to a VARIANT_BOOL.
    VARIANT urlValue;
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    VARIANT frameValue;
    frameValue.vt = VT_BSTR;
    frameValue.bstrVal = ::SysAllocString(L"");
    VARIANT statusValue;
    statusValue.vt = VT_I4;
    statusValue.lVal = static_cast<LONG>(code);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[5];
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[1].vt = VT_BYREF | VT_VARIANT;
    args[1].pvarVal = &statusValue;
    args[2].vt = VT_BYREF | VT_VARIANT;
    args[2].pvarVal = &frameValue;
    args[3].vt = VT_BYREF | VT_VARIANT;
    args[3].pvarVal = &urlValue;
    args[4].vt = VT_DISPATCH;
    args[4].pdispVal = window;
    DISPPARAMS params{args, nullptr, 5, 0};
    Fire(DISPID_NAVIGATEERROR, params);
    ::SysFreeString(urlValue.bstrVal);
    ::SysFreeString(frameValue.bstrVal);
    return cancel != VARIANT_FALSE;
}

bool TEventsPoint::FireFileDownload(bool activeDocument) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[1].vt = VT_BOOL;
    args[1].boolVal = activeDocument ? VARIANT_TRUE : VARIANT_FALSE;
    DISPPARAMS params{args, nullptr, 2, 0};
    Fire(DISPID_FILEDOWNLOAD, params);
    return cancel != VARIANT_FALSE;
}

HRESULT TEventsPoint::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint)
        return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT TEventsPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

HRESULT TEventsPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    *container = FContainer;
    if (!FContainer)
        return E_UNEXPECTED;
    FContainer->AddRef();
    return S_OK;
}

HRESULT TEventsPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    // The sink is asked for the event interface first, as the real control
    // does, then for plain IDispatch.
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2,
                                    reinterpret_cast<void**>(events.GetAddressOf()))) &&
        FAILED(sink->QueryInterface(IID_PPV_ARGS(&events))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = FNextCookie++;
    FSinks.emplace_back(*cookie, events);
    return S_OK;
}

HRESULT TEventsPoint::Unadvise(DWORD cookie) {
    for (auto it = FSinks.begin(); it != FSinks.end(); ++it) {
        if (it->first == cookie) {
            NoteTeardown(L'U');
            FSinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT TEventsPoint::EnumConnections(IEnumConnections** connections) {
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

}  // namespace lum::standin
