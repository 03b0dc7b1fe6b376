// The in-process server of the stand-in WebBrowser control: its class
// factory for the WebBrowser class, the DLL's lifetime, and two figures a
// test can read through exported functions.
#include <windows.h>

#include <ole2.h>

#include <new>
#include <string>

#include "win32/browser/standin/control/StandinBrowser.h"

namespace lum::standin {

namespace {

HINSTANCE gInstance = nullptr;
LONG gObjects = 0;
LONG gLocks = 0;

class TFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // One static factory: it keeps the DLL loaded through LockServer only.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* browser = new (std::nothrow) TStandinBrowser();
        if (!browser)
            return E_OUTOFMEMORY;
        const HRESULT hr = browser->QueryInterface(riid, object);
        static_cast<IWebBrowser2*>(browser)->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL lock) override {
        if (lock)
            ::InterlockedIncrement(&gLocks);
        else
            ::InterlockedDecrement(&gLocks);
        return S_OK;
    }
};

TFactory gFactory;

}  // namespace

HINSTANCE ModuleInstance() noexcept {
    return gInstance;
}
LONG LiveObjects() noexcept {
    return gObjects;
}
void ObjectCreated() noexcept {
    ::InterlockedIncrement(&gObjects);
}
void ObjectDestroyed() noexcept {
    ::InterlockedDecrement(&gObjects);
}

}  // namespace lum::standin

using namespace lum::standin;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gInstance = instance;
        ::DisableThreadLibraryCalls(instance);
        RegisterControlClasses(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        UnregisterControlClasses(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != kClsidWebBrowser)
        return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
    return gObjects == 0 && gLocks == 0 ? S_OK : S_FALSE;
}

// For tests: objects of the control alive now (control, documents, bodies,
// styles, frames, connection points).
LONG WINAPI StandinLiveObjects() {
    return LiveObjects();
}

// For tests: the DISPID_AMBIENT_DLCONTROL flags the last client site gave,
// -1 when it gave none, -2 before any site was set.
LONG WINAPI StandinDownloadControl() {
    return LastDownloadControl();
}

// For tests: how often navigations without a page ended one way or the
// other (TOutcome: 0 error pages shown, 1 errors cancelled, 2 downloads
// cancelled, 3 downloads started, 4 documents cancelled, 5 loads given up
// by Stop); -1 for others.
LONG WINAPI StandinOutcomes(LONG outcome) {
    return OutcomeCount(static_cast<TOutcome>(outcome));
}

// For tests: the DISPID_AMBIENT_SILENT the last client site gave (1 silent,
// 0 not), -1 when it gave none, -2 before any site was set.
LONG WINAPI StandinAmbientSilent() {
    return LastAmbientSilent();
}

// For tests: prompt windows (credentials dialog, security alert) opened so
// far in the process.
LONG WINAPI StandinPromptsOpened() {
    return PromptsOpened();
}

// For tests: the teardown calls of the last host in their order (see
// StandinSite.h), as text into buffer of size characters; its length.
LONG WINAPI StandinTeardown(wchar_t* buffer, LONG size) {
    const std::wstring calls = TeardownCalls();
    if (buffer && size > 0)
        lstrcpynW(buffer, calls.c_str(), size);
    return static_cast<LONG>(calls.size());
}

// For tests: the last OLECMDID_OPTICAL_ZOOM a host set, -1 before any.
LONG WINAPI StandinLastZoom() {
    return LastZoom();
}

// For tests: the Headers argument of the last Navigate, as text into
// buffer of size characters; its length.
LONG WINAPI StandinLastHeaders(wchar_t* buffer, LONG size) {
    const std::wstring headers = LastHeaders();
    if (buffer && size > 0)
        lstrcpynW(buffer, headers.c_str(), size);
    return static_cast<LONG>(headers.size());
}

}  // extern "C"
