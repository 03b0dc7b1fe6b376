#include "win32/browser/standin/control/StandinSite.h"

#include <idispids.h>
#include <mshtmdid.h>
#include <servprov.h>
#include <urlmon.h>
#include <wrl/client.h>

#include "win32/browser/standin/control/StandinBrowser.h"

namespace lum::standin {

using Microsoft::WRL::ComPtr;

namespace {

LONG gDownloadControl = -2;
LONG gAmbientSilent = -2;
LONG gPrompts = 0;
LONG gZoom = -1;
std::wstring gTeardown;
std::wstring gHeaders;

// A window a person would have to answer, over its owner, as the real
// control's modal dialogs are; it stays until the control goes.
HWND OpenPrompt(HWND owner, const wchar_t* title) {
    ::InterlockedIncrement(&gPrompts);
    return ::CreateWindowExW(WS_EX_DLGMODALFRAME, kPromptClass, title,
                             WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 100, 320, 160, owner, nullptr,
                             ModuleInstance(), nullptr);
}

template <class T>
ComPtr<T> Service(IOleClientSite* site) {
    ComPtr<IServiceProvider> provider;
    ComPtr<T> service;
    if (site && SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&provider))))
        provider->QueryService(__uuidof(T), IID_PPV_ARGS(&service));
    return service;
}

}  // namespace

LONG ReadAmbient(IOleClientSite* site, DISPID id) {
    ComPtr<IDispatch> ambient;
    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&ambient))))
        return -1;
    VARIANT value;
    ::VariantInit(&value);
    DISPPARAMS none{};
    const HRESULT hr = ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                       &none, &value, nullptr, nullptr);
    LONG result = -1;
    if (SUCCEEDED(hr) && value.vt == VT_BOOL)
        result = value.boolVal ? 1 : 0;
    else if (SUCCEEDED(hr) && SUCCEEDED(::VariantChangeType(&value, &value, 0, VT_I4)))
        result = value.lVal;
    ::VariantClear(&value);
    return result;
}

LONG LastDownloadControl() noexcept {
    return gDownloadControl;
}

LONG LastAmbientSilent() noexcept {
    return gAmbientSilent;
}

// The site is asked at once for its download controls and whether to be
// silent, as the real control does before it loads anything.
HRESULT TStandinBrowser::SetClientSite(IOleClientSite* site) {
    if (!site)
        NoteTeardown(L'S');
    FSite = site;
    if (site) {
        StartTeardownRecord();
        gDownloadControl = ReadAmbient(site, DISPID_AMBIENT_DLCONTROL);
        gAmbientSilent = ReadAmbient(site, DISPID_AMBIENT_SILENT);
    }
    return S_OK;
}

TPromptEnd AskForCredentials(IOleClientSite* site, HWND controlWindow, HWND* prompt) {
    constexpr const wchar_t* kTitle = L"Windows Security";
    if (const ComPtr<IAuthenticate> authenticate = Service<IAuthenticate>(site)) {
        HWND owner = nullptr;
        LPWSTR user = nullptr;
        LPWSTR password = nullptr;
        const HRESULT hr = authenticate->Authenticate(&owner, &user, &password);
        const bool named = user && *user;
        ::CoTaskMemFree(user);
        ::CoTaskMemFree(password);
        if (FAILED(hr))
            return TPromptEnd::Refused;
        if (named)
            return TPromptEnd::Allowed;
        *prompt = OpenPrompt(owner ? owner : controlWindow, kTitle);
        return TPromptEnd::Prompted;
    }
    if (const ComPtr<IWindowForBindingUI> ui = Service<IWindowForBindingUI>(site)) {
        HWND owner = nullptr;
        if (ui->GetWindow(__uuidof(IAuthenticate), &owner) != S_OK || !owner)
            return TPromptEnd::Refused;
        *prompt = OpenPrompt(owner, kTitle);
        return TPromptEnd::Prompted;
    }
    *prompt = OpenPrompt(controlWindow, kTitle);
    return TPromptEnd::Prompted;
}

TPromptEnd AskAboutSecurityProblem(IOleClientSite* site,
                                   DWORD problem,
                                   HWND controlWindow,
                                   HWND* prompt) {
    constexpr const wchar_t* kTitle = L"Security Alert";
    const ComPtr<IHttpSecurity> security = Service<IHttpSecurity>(site);
    if (!security) {
        *prompt = OpenPrompt(controlWindow, kTitle);
        return TPromptEnd::Prompted;
    }
    const HRESULT hr = security->OnSecurityProblem(problem);
    if (hr == RPC_E_RETRY)
        return TPromptEnd::Allowed;
    if (hr != S_FALSE)
        return TPromptEnd::Refused;
    HWND owner = nullptr;
    if (security->GetWindow(__uuidof(IHttpSecurity), &owner) != S_OK || !owner)
        owner = controlWindow;
    *prompt = OpenPrompt(owner, kTitle);
    return TPromptEnd::Prompted;
}

LONG PromptsOpened() noexcept {
    return gPrompts;
}

void RegisterPromptClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = instance;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPromptClass;
    ::RegisterClassExW(&wc);
}

void UnregisterPromptClass(HINSTANCE instance) {
    ::UnregisterClassW(kPromptClass, instance);
}

void NoteHeaders(const VARIANT* headers) {
    gHeaders.clear();
    if (headers && headers->vt == VT_BSTR && headers->bstrVal)
        gHeaders.assign(headers->bstrVal, ::SysStringLen(headers->bstrVal));
}

std::wstring LastHeaders() {
    return gHeaders;
}

LONG LastZoom() noexcept {
    return gZoom;
}

// OLECMDID_OPTICAL_ZOOM takes the zoom in percent (10 to 1000) as VT_I4;
// the other commands are none of the stand-in's.
HRESULT TStandinBrowser::ExecWB(OLECMDID command, OLECMDEXECOPT, VARIANT* in, VARIANT*) {
    if (command != OLECMDID_OPTICAL_ZOOM)
        return OLECMDERR_E_NOTSUPPORTED;
    if (!in || in->vt != VT_I4 || in->lVal < 10 || in->lVal > 1000)
        return E_INVALIDARG;
    gZoom = in->lVal;
    return S_OK;
}

void NoteTeardown(wchar_t call) {
    gTeardown += call;
}

void StartTeardownRecord() {
    gTeardown.clear();
}

std::wstring TeardownCalls() {
    return gTeardown;
}

// --- The control's side: the prompt a page's download asked for stays
// until the control navigates, stops or goes.

TPromptEnd TStandinBrowser::Ask(const TPageSpec& page) {
    HWND prompt = nullptr;
    const TPromptEnd end = page.Kind == TPageKind::Auth
                               ? AskForCredentials(FSite.Get(), FView, &prompt)
                               : AskAboutSecurityProblem(FSite.Get(), page.Code, FView, &prompt);
    if (end == TPromptEnd::Prompted) {
        ClosePrompt();
        FPrompt = prompt;
    }
    return end;
}

void TStandinBrowser::ClosePrompt() noexcept {
    if (FPrompt)
        ::DestroyWindow(FPrompt);
    FPrompt = nullptr;
}

// The control's Silent property: its own dialogs (script errors) are not
// shown; critical errors and security alerts still are.
HRESULT TStandinBrowser::get_Silent(VARIANT_BOOL* silent) {
    if (!silent)
        return E_POINTER;
    *silent = FSilent ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TStandinBrowser::put_Silent(VARIANT_BOOL silent) {
    FSilent = silent != VARIANT_FALSE;
    return S_OK;
}

}  // namespace lum::standin
