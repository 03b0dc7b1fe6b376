// The WebBrowser host's side of a control the user sees and works in:
// navigation, its place in the window, UI activation and the keyboard.
#include <algorithm>

#include "win32/Strings.h"
#include "win32/browser/ComUtil.h"
#include "win32/browser/WebBrowserHost.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

HRESULT TWebBrowserHost::Navigate(const std::string& url, const std::string& headers) {
    if (!FBrowser)
        return E_UNEXPECTED;
    NavigationRequested(url);
    const TBstr wideUrl(Widen(url));
    // Flags, TargetFrameName and PostData omitted; the Headers, "Name:
    // value" lines each ended by CR LF, go with the top-level request only.
    VARIANT omitted;
    omitted.vt = VT_ERROR;
    omitted.scode = DISP_E_PARAMNOTFOUND;
    if (headers.empty())
        return FBrowser->Navigate(wideUrl.Get(), &omitted, &omitted, &omitted, &omitted);
    TBstr text(Widen(headers));
    VARIANT lines;
    lines.vt = VT_BSTR;
    lines.bstrVal = text.Get();
    return FBrowser->Navigate(wideUrl.Get(), &omitted, &omitted, &omitted, &lines);
}

// The control keeps the rectangle it is given; it is clipped by the window
// it lives in, as any child window is.
void TWebBrowserHost::SetBounds(const RECT& rect) noexcept {
    FRect = rect;
    FRect.right = std::max(FRect.right, FRect.left);
    FRect.bottom = std::max(FRect.bottom, FRect.top);
    if (FInPlaceObject)
        FInPlaceObject->SetObjectRects(&FRect, &FRect);
}

// OLEIVERB_UIACTIVATE: the control names its active object to the frame
// (SetActiveObject) and focuses its view; it is asked again on every focus
// of the host window, which the control answers at once when it is active.
void TWebBrowserHost::Activate() noexcept {
    if (FOleObject)
        FOleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, this, 0, FWindow, &FRect);
}

// A message for the host window or one of the control's windows, of the
// keyboard only, goes to the active object; an object that is not UI-active
// (no SetActiveObject yet) is asked through the control itself.
bool TWebBrowserHost::TranslateKey(MSG& msg) noexcept {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
        return false;
    if (msg.hwnd != FWindow && !::IsChild(FWindow, msg.hwnd))
        return false;
    ComPtr<IOleInPlaceActiveObject> active = FActiveObject;
    if (!active && FOleObject)
        FOleObject.As(&active);
    return active && active->TranslateAccelerator(&msg) == S_OK;
}

}  // namespace lum::win32
