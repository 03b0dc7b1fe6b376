// The stand-in control as the user's browser: UI activation, the keyboard
// it takes from its host's message loop (IOleInPlaceActiveObject), the
// titles of its pages, and what a test reads of them.
#include <algorithm>
#include <string_view>

#include "win32/browser/standin/control/StandinBrowser.h"

namespace lum::standin {

using Microsoft::WRL::ComPtr;

namespace {

LONG gInputs[static_cast<int>(TInput::Count)] = {};
std::wstring gLastUrl;

}  // namespace

void CountInput(TInput input) noexcept {
    ::InterlockedIncrement(&gInputs[static_cast<int>(input)]);
}

LONG InputCount(TInput input) noexcept {
    const int i = static_cast<int>(input);
    return i >= 0 && i < static_cast<int>(TInput::Count) ? gInputs[i] : -1;
}

void NoteNavigate(const std::wstring& url) {
    gLastUrl = url;
}

std::wstring LastNavigateUrl() {
    return gLastUrl;
}

std::wstring PageTitle(const std::wstring& url) {
    const std::wstring_view text(url);
    std::size_t at = text.find(L"?title=");
    if (at == std::wstring_view::npos)
        at = text.find(L"&title=");
    if (at == std::wstring_view::npos)
        return L"Standin page";
    const std::wstring_view rest = text.substr(at + 7);
    return std::wstring(rest.substr(0, rest.find(L'&')));
}

std::wstring PopupTarget(const std::wstring& url) {
    std::size_t at = url.find(L"?popup=");
    if (at == std::wstring::npos)
        at = url.find(L"&popup=");
    return at == std::wstring::npos ? std::wstring() : url.substr(at + 7);
}

void TStandinBrowser::OpenPopup() {
    if (!FPage)
        return;
    const std::wstring target = PopupTarget(FPage->Url);
    if (target.empty())
        return;
    const bool cancelled = FEvents->FireNewWindow3(FPage->Url, target);
    CountInput(cancelled ? TInput::PopupsCancelled : TInput::PopupsAllowed);
}

void TStandinBrowser::UIActivate() {
    if (!FInPlaceSite || !FView)
        return;
    if (!FUIActive) {
        FUIActive = true;
        FInPlaceSite->OnUIActivate();
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT pos{};
        RECT clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof(info);
        if (SUCCEEDED(FInPlaceSite->GetWindowContext(&frame, &document, &pos, &clip, &info)) &&
            frame)
            frame->SetActiveObject(this, L"Standin");
    }
    CountInput(TInput::UIActivations);
    ::SetFocus(FView);
}

HRESULT TStandinBrowser::UIDeactivate() {
    if (!FUIActive || !FInPlaceSite)
        return S_OK;
    FUIActive = false;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT pos{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    if (SUCCEEDED(FInPlaceSite->GetWindowContext(&frame, &document, &pos, &clip, &info)) && frame)
        frame->SetActiveObject(nullptr, nullptr);
    FInPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

// Tab moves between a page's fields: the control keeps it; every other key
// goes on to its window.
HRESULT TStandinBrowser::TranslateAccelerator(LPMSG msg) {
    if (!msg)
        return E_INVALIDARG;
    CountInput(TInput::Accelerators);
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
        CountInput(TInput::AcceleratorsTaken);
        return S_OK;
    }
    return S_FALSE;
}

HRESULT TStandinBrowser::OnFrameWindowActivate(WINBOOL) {
    return S_OK;
}
HRESULT TStandinBrowser::OnDocWindowActivate(WINBOOL) {
    return S_OK;
}
HRESULT TStandinBrowser::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) {
    return S_OK;
}
HRESULT TStandinBrowser::EnableModeless(WINBOOL) {
    return S_OK;
}

}  // namespace lum::standin

using namespace lum::standin;

extern "C" {

// For tests: what reached the controls (TInput: 0 keyboard messages given
// to TranslateAccelerator, 1 of them kept, 2 keys and 3 clicks of a view,
// 4 UI activations, 5 pop-ups cancelled, 6 let through); -1 for others.
LONG WINAPI StandinInputs(LONG input) {
    return InputCount(static_cast<TInput>(input));
}

// For tests: the URL of the last Navigate into buffer (size characters with
// the terminating zero); its length.
LONG WINAPI StandinLastNavigate(wchar_t* buffer, LONG size) {
    const std::wstring url = LastNavigateUrl();
    if (buffer && size > 0) {
        const std::size_t n = std::min<std::size_t>(url.size(), static_cast<std::size_t>(size - 1));
        url.copy(buffer, n);
        buffer[n] = L'\0';
    }
    return static_cast<LONG>(url.size());
}

}  // extern "C"
