// The WebBrowser host's answers to the prompts of a page's download: the
// control asks its client site's IServiceProvider before it shows the
// credentials dialog (a server or proxy answering 401 or 407), a security
// alert (an untrusted, expired or mismatched certificate; a client
// certificate asked for) or any other window of a download. In the capture
// nobody could answer such a window: it would open owned by the capture
// window, under the topmost display, and its modal loop would hold the pass.
// So the capture answers every one of them itself, with a refusal: the page
// fails with its status or as "certificate", and the pass goes on. A visible
// control (the sign-in window) answers none, and the control shows its own
// dialogs to the user who is there.
#include "win32/browser/NavigateFailure.h"
#include "win32/browser/WebBrowserHost.h"

namespace lum::win32 {

namespace {

// What the card of a page that asked for a password says beside its status.
constexpr const char* kSignInHint =
    "the site asks for a password: sign in to it with \"このページにサインイン...\" in the "
    "menu of the settings' URL list";

}  // namespace

bool TWebBrowserHost::IsCaptureService(REFIID riid) const noexcept {
    return FUse == TBrowserUse::Capture &&
           (riid == __uuidof(IAuthenticate) || riid == __uuidof(IWindowForBindingUI) ||
            riid == __uuidof(IHttpSecurity));
}

// The download asks for the service by the interface's own IID (as
// urlmon's bind status callbacks do), then for that interface of it.
HRESULT TWebBrowserHost::QueryService(REFGUID service, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsCaptureService(service))
        return E_NOINTERFACE;
    return QueryInterface(riid, object);
}

// No credentials and no window for the default dialog: "authentication
// failed", and the download ends with the server's own status (401, or 407
// for a proxy).
HRESULT TWebBrowserHost::Authenticate(HWND* window, LPWSTR* userName, LPWSTR* password) {
    if (!window || !userName || !password)
        return E_INVALIDARG;
    *window = nullptr;
    *userName = nullptr;
    *password = nullptr;
    FCredentialsRefused = true;
    return E_ACCESSDENIED;
}

// "No window is available" for any user interface of a download.
HRESULT TWebBrowserHost::GetWindow(REFGUID, HWND* window) {
    if (!window)
        return E_INVALIDARG;
    *window = nullptr;
    return S_FALSE;
}

// E_ABORT: the download is given up (RPC_E_RETRY would go on regardless of
// the problem, S_FALSE would show the security alert).
HRESULT TWebBrowserHost::OnSecurityProblem(DWORD problem) {
    FSecurityProblem = problem;
    return E_ABORT;
}

TPageFailure TWebBrowserHost::RefusedFailure(std::int32_t status) const {
    TPageFailure failure = NavigateFailure(status);
    if (FUse != TBrowserUse::Capture)
        return failure;
    if (failure.Kind == TPageFailureKind::pfHttpStatus &&
        (failure.Status == 401 || failure.Status == 407 || FCredentialsRefused))
        failure.Detail = kSignInHint;
    else if (FSecurityProblem != 0 && failure.Kind == TPageFailureKind::pfOther)
        failure = NavigateFailure(static_cast<std::int32_t>(FSecurityProblem));
    return failure;
}

}  // namespace lum::win32
