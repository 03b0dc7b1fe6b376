#include "win32/standin/control/StandinEvents.h"

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
    // A sink may disconnect, or release the control, while it handles the
    // event: it is called from a copy of the list.
    const auto sinks = FSinks;
    for (const auto& sink : sinks) {
        sink.second->Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                            &params, nullptr, nullptr, nullptr);
    }
    ::SysFreeString(urlValue.bstrVal);
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
