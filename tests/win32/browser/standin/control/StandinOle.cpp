// The stand-in control's side of OLE embedding: in-place activation in a
// window of the site's, its position, drawing, and the connection point.
#include "win32/browser/standin/control/StandinBrowser.h"

#include <olectl.h>

#include <algorithm>

namespace lum::standin {

using Microsoft::WRL::ComPtr;

// --- Drawing: the page's rows in its colour code, at the size asked for,
// scaled to the DPI the page is drawn at (StandinScreen.cpp).

void TStandinBrowser::DrawPage(HDC dc, const RECT& rect) const {
    const std::int32_t width = rect.right - rect.left;
    const std::int32_t height = rect.bottom - rect.top;
    const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    const COLORREF oldColor = ::GetDCBrushColor(dc);
    if (FPage && FPage->Page.SlowMs > 0)
        ::Sleep(static_cast<DWORD>(FPage->Page.SlowMs));  // a heavy page draws slowly
    if (!FPage || FPage->Page.Kind == TPageKind::Blank) {
        ::PatBlt(dc, rect.left, rect.top, width, height, WHITENESS);
    } else {
        // As the real control, it paints only what falls within the device
        // context's clipping region (a window's invalid part, the bitmap a
        // band of a picture is drawn into).
        std::int32_t first = 0;
        std::int32_t last = height;
        RECT clip{};
        if (::GetClipBox(dc, &clip) != ERROR) {
            first = std::clamp<std::int32_t>(clip.top - rect.top, 0, height);
            last = std::clamp<std::int32_t>(clip.bottom - rect.top, first, height);
        }
        for (std::int32_t y = first; y < last; ++y) {
            const TRgb c = FPage->DrawnRow(y);
            ::SetDCBrushColor(dc, RGB(c.R, c.G, c.B));
            ::PatBlt(dc, rect.left, rect.top + y, width, 1, PATCOPY);
        }
        FPage->DrawMark(dc, rect);
        // Until the page's body is told otherwise, its view keeps a scroll bar.
        if (::lstrcmpiW(FPage->Overflow.c_str(), L"hidden") != 0 && width > kScrollBarWidth) {
            ::SetDCBrushColor(dc, RGB(kScrollBarGrey, kScrollBarGrey, kScrollBarGrey));
            ::PatBlt(dc, rect.right - kScrollBarWidth, rect.top, kScrollBarWidth, height, PATCOPY);
        }
    }
    ::SetDCBrushColor(dc, oldColor);
    ::SelectObject(dc, oldBrush);
}

HRESULT TStandinBrowser::Draw(DWORD aspect,
                              LONG,
                              void*,
                              DVTARGETDEVICE*,
                              HDC,
                              HDC dc,
                              LPCRECTL bounds,
                              LPCRECTL,
                              WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                              ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    DrawPage(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
    return S_OK;
}

LRESULT CALLBACK TStandinBrowser::ViewProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TStandinBrowser*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        const HDC dc = ::BeginPaint(window, &ps);
        RECT client;
        ::GetClientRect(window, &client);
        self->DrawPage(dc, client);
        ::EndPaint(window, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND)
        return 1;
    if (msg == WM_KEYDOWN || msg == WM_CHAR)
        CountInput(TInput::ViewKeys);
    if (msg == WM_LBUTTONDOWN) {
        CountInput(TInput::ViewClicks);
        ::SetFocus(window);
    }
    return ::DefWindowProcW(window, msg, wParam, lParam);
}

// --- IOleObject

HRESULT TStandinBrowser::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = FSite.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT TStandinBrowser::DoVerb(LONG verb,
                                LPMSG,
                                IOleClientSite* site,
                                LONG,
                                HWND parent,
                                LPCRECT posRect) {
    if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW && verb != OLEIVERB_UIACTIVATE)
        return OLEOBJ_S_INVALIDVERB;
    if (FView) {  // already active
        if (verb == OLEIVERB_UIACTIVATE)
            UIActivate();
        return S_OK;
    }
    ComPtr<IOleInPlaceSite> inPlace;
    IOleClientSite* from = site ? site : FSite.Get();
    if (!from || FAILED(from->QueryInterface(IID_PPV_ARGS(&inPlace))))
        return E_NOINTERFACE;
    if (inPlace->CanInPlaceActivate() != S_OK)
        return E_FAIL;
    HWND window = nullptr;
    if (FAILED(inPlace->GetWindow(&window)) || !window)
        window = parent;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT pos = posRect ? *posRect : RECT{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &pos, &clip, &info)) && posRect)
        pos = *posRect;  // the rectangle DoVerb names wins
    inPlace->OnInPlaceActivate();
    FView = ::CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left,
                              pos.top, pos.right - pos.left, pos.bottom - pos.top, window, nullptr,
                              ModuleInstance(), nullptr);
    if (!FView) {
        inPlace->OnInPlaceDeactivate();
        return E_FAIL;
    }
    ::SetWindowLongPtrW(FView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(FView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ViewProc));
    FInPlaceSite = inPlace;
    Resize(pos);
    if (verb == OLEIVERB_UIACTIVATE)
        UIActivate();
    return S_OK;
}

HRESULT TStandinBrowser::Close(DWORD) {
    NoteTeardown(L'C');
    InPlaceDeactivate();
    ++FGeneration;  // nothing of a navigation arrives after Close
    return S_OK;
}

HRESULT TStandinBrowser::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}
HRESULT TStandinBrowser::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::InitFromData(IDataObject*, WINBOOL, DWORD) {
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::Update() {
    return S_OK;
}
HRESULT TStandinBrowser::IsUpToDate() {
    return S_OK;
}
HRESULT TStandinBrowser::GetUserClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = kClsidWebBrowser;
    return S_OK;
}
HRESULT TStandinBrowser::GetUserType(DWORD, LPOLESTR* type) {
    if (type)
        *type = nullptr;
    return OLE_S_USEREG;
}
HRESULT TStandinBrowser::SetExtent(DWORD aspect, SIZEL* size) {
    return aspect == DVASPECT_CONTENT && size ? S_OK : E_INVALIDARG;
}
HRESULT TStandinBrowser::GetExtent(DWORD aspect, SIZEL* size) {
    return GetExtent(aspect, -1, nullptr, size);
}
HRESULT TStandinBrowser::Advise(IAdviseSink*, DWORD* connection) {
    if (connection)
        *connection = 0;
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::Unadvise(DWORD) {
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise)
        *advise = nullptr;
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}
HRESULT TStandinBrowser::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// --- IOleWindow, IOleInPlaceObject

HRESULT TStandinBrowser::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = FView;
    return FView ? S_OK : E_FAIL;
}
HRESULT TStandinBrowser::ContextSensitiveHelp(WINBOOL) {
    return E_NOTIMPL;
}

HRESULT TStandinBrowser::InPlaceDeactivate() {
    if (!FView)
        return S_OK;
    NoteTeardown(L'D');
    UIDeactivate();
    ::DestroyWindow(FView);
    FView = nullptr;
    const ComPtr<IOleInPlaceSite> site = std::move(FInPlaceSite);
    if (site)
        site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT TStandinBrowser::SetObjectRects(LPCRECT posRect, LPCRECT) {
    if (!posRect)
        return E_INVALIDARG;
    Resize(*posRect);
    return S_OK;
}
HRESULT TStandinBrowser::ReactivateAndUndo() {
    return E_NOTIMPL;
}

// --- IViewObject2 (Draw above)

HRESULT TStandinBrowser::GetColorSet(DWORD,
                                     LONG,
                                     void*,
                                     DVTARGETDEVICE*,
                                     HDC,
                                     LOGPALETTE** colors) {
    if (colors)
        *colors = nullptr;
    return S_FALSE;
}
HRESULT TStandinBrowser::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze)
        *freeze = 0;
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::Unfreeze(DWORD) {
    return E_NOTIMPL;
}
HRESULT TStandinBrowser::SetAdvise(DWORD, DWORD, IAdviseSink*) {
    return S_OK;
}
HRESULT TStandinBrowser::GetAdvise(DWORD*, DWORD*, IAdviseSink** sink) {
    if (sink)
        *sink = nullptr;
    return S_OK;
}
// The extent in HIMETRIC at 96 dots per inch.
HRESULT TStandinBrowser::GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    if (!size)
        return E_POINTER;
    size->cx = ::MulDiv(FViewState->Width, 2540, 96);
    size->cy = ::MulDiv(FViewState->Height, 2540, 96);
    return S_OK;
}

// --- IConnectionPointContainer

HRESULT TStandinBrowser::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT TStandinBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (riid != DIID_DWebBrowserEvents2)
        return CONNECT_E_NOCONNECTION;
    *point = FEvents.Get();
    FEvents->AddRef();
    return S_OK;
}

}  // namespace lum::standin
