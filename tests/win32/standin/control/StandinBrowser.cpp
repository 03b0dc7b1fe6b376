#include "win32/standin/control/StandinBrowser.h"

#include <exdisp.h>
#include <mshtmdid.h>
#include <olectl.h>

namespace lum::standin {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kMessageClass[] = L"LumenaryStandinMessages";
constexpr wchar_t kViewClass[] = L"LumenaryStandinView";
constexpr UINT kStepMessage = WM_APP + 1;  // wParam: the navigation's generation
constexpr DISPID kDispidDocument = 203;
constexpr CLSID kClsidWebBrowser = {0x8856F961,
                                    0x340A,
                                    0x11D0,
                                    {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

LONG gDownloadControl = -2;
LONG gAgainLoads = 0;

std::string Utf8(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n,
                          nullptr, nullptr);
    return result;
}

// The DISPID_AMBIENT_DLCONTROL flags of the site, -1 when it gives none.
LONG ReadDownloadControl(IOleClientSite* site) {
    ComPtr<IDispatch> ambient;
    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&ambient))))
        return -1;
    VARIANT value;
    ::VariantInit(&value);
    DISPPARAMS none{};
    const HRESULT hr = ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT,
                                       DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
    LONG flags = -1;
    if (SUCCEEDED(hr) && SUCCEEDED(::VariantChangeType(&value, &value, 0, VT_I4)))
        flags = value.lVal;
    ::VariantClear(&value);
    return flags;
}

}  // namespace

LONG LastDownloadControl() noexcept {
    return gDownloadControl;
}

void RegisterControlClasses(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = instance;
    wc.lpfnWndProc = ::DefWindowProcW;  // each window is subclassed when made
    wc.lpszClassName = kMessageClass;
    ::RegisterClassExW(&wc);
    wc.lpszClassName = kViewClass;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    ::RegisterClassExW(&wc);
}

void UnregisterControlClasses(HINSTANCE instance) {
    ::UnregisterClassW(kMessageClass, instance);
    ::UnregisterClassW(kViewClass, instance);
}

TStandinBrowser::TStandinBrowser() : FViewState(std::make_shared<TViewState>()) {
    FEvents = Adopt(new TEventsPoint(this));
    // The window that carries the steps of a navigation through the message
    // loop, so that completion always comes later than Navigate's return.
    FMessageWindow = ::CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       nullptr, nullptr);
    ::SetWindowLongPtrW(FMessageWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageProc));
    ::SetWindowLongPtrW(FMessageWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TStandinBrowser::~TStandinBrowser() {
    FEvents->Detach();
    if (FView)
        ::DestroyWindow(FView);
    if (FMessageWindow)
        ::DestroyWindow(FMessageWindow);
}

HRESULT TStandinBrowser::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser ||
        riid == IID_IWebBrowserApp || riid == IID_IWebBrowser2)
        *object = static_cast<IWebBrowser2*>(this);
    else if (riid == IID_IOleObject)
        *object = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        *object = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        *object = static_cast<IViewObject2*>(this);
    else if (riid == IID_IConnectionPointContainer)
        *object = static_cast<IConnectionPointContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT TStandinBrowser::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    static const TDispName kNames[] = {{L"Document", kDispidDocument}};
    return IdsOfNames(kNames, names, count, ids);
}

HRESULT TStandinBrowser::Invoke(DISPID id,
                                REFIID,
                                LCID,
                                WORD flags,
                                DISPPARAMS*,
                                VARIANT* result,
                                EXCEPINFO*,
                                UINT*) {
    if (id != kDispidDocument || !(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    if (!result)
        return E_POINTER;
    IDispatch* document = nullptr;
    const HRESULT hr = get_Document(&document);
    if (FAILED(hr))
        return hr;
    result->vt = VT_DISPATCH;
    result->pdispVal = document;
    return S_OK;
}

// --- Navigation: Navigate returns at once; the page is committed and its
// completions (frames first, then the top-level document) arrive one per
// posted message. A newer Navigate drops whatever of the older is left.

HRESULT TStandinBrowser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    if (!url)
        return E_INVALIDARG;
    ++FGeneration;
    FPendingUrl.assign(url, ::SysStringLen(url));
    FPendingFrames = ParsePageUrl(Utf8(FPendingUrl)).Frames;
    FCommitted = false;
    NextStep(FGeneration);
    return S_OK;
}

HRESULT TStandinBrowser::Stop() {
    ++FGeneration;
    FCommitted = true;
    return S_OK;
}

void TStandinBrowser::NextStep(LONG generation) {
    ::PostMessageW(FMessageWindow, kStepMessage, static_cast<WPARAM>(generation), 0);
}

void TStandinBrowser::Commit() {
    auto page = std::make_shared<TPageState>();
    page->Url = FPendingUrl;
    page->Page = ParsePageUrl(Utf8(FPendingUrl));
    page->Loads = page->Page.Kind == TPageKind::Again ? ++gAgainLoads : 1;
    page->View = FViewState;
    FPage = page;
    FDocument = Adopt(NewDocument(page));
    FCommitted = true;
}

void TStandinBrowser::Step(LONG generation) {
    if (generation != FGeneration)
        return;
    // The sinks may release this control while they handle the event.
    const ComPtr<IWebBrowser2> self(this);
    if (!FCommitted)
        Commit();
    if (FPendingFrames > 0) {
        const std::int32_t frame = FPage->Page.Frames - FPendingFrames + 1;
        --FPendingFrames;
        NextStep(generation);
        const ComPtr<IDispatch> window = Adopt(NewFrame());
        FEvents->FireDocumentComplete(
            window.Get(), L"standin:frame?" + std::to_wstring(frame) + L"&of=" + FPendingUrl);
        return;
    }
    ++FGeneration;  // this navigation is over
    FEvents->FireDocumentComplete(static_cast<IWebBrowser2*>(this), FPage->Url);
}

LRESULT CALLBACK TStandinBrowser::MessageProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TStandinBrowser*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (msg == kStepMessage && self) {
        self->Step(static_cast<LONG>(wParam));
        return 0;
    }
    return ::DefWindowProcW(window, msg, wParam, lParam);
}

HRESULT TStandinBrowser::get_Document(IDispatch** document) {
    if (!document)
        return E_POINTER;
    *document = FDocument.Get();
    if (!*document)
        return S_FALSE;  // nothing loaded yet, as the real control answers
    (*document)->AddRef();
    return S_OK;
}

HRESULT TStandinBrowser::get_LocationURL(BSTR* url) {
    if (!url)
        return E_POINTER;
    *url = ::SysAllocString(FPage ? FPage->Url.c_str() : L"");
    return S_OK;
}

HRESULT TStandinBrowser::get_Busy(VARIANT_BOOL* busy) {
    if (!busy)
        return E_POINTER;
    *busy = FCommitted && FPendingFrames == 0 ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT TStandinBrowser::get_ReadyState(READYSTATE* state) {
    if (!state)
        return E_POINTER;
    VARIANT_BOOL busy = VARIANT_FALSE;
    get_Busy(&busy);
    *state = busy ? READYSTATE_LOADING : READYSTATE_COMPLETE;
    return S_OK;
}

// --- Size: the control asks its in-place site for the new rectangle; the
// site answers with SetObjectRects, which is what resizes the view.

HRESULT TStandinBrowser::get_Width(LONG* width) {
    if (!width)
        return E_POINTER;
    *width = FRect.right - FRect.left;
    return S_OK;
}

HRESULT TStandinBrowser::get_Height(LONG* height) {
    if (!height)
        return E_POINTER;
    *height = FRect.bottom - FRect.top;
    return S_OK;
}

HRESULT TStandinBrowser::put_Width(LONG width) {
    if (width < 0)
        return E_INVALIDARG;
    RECT rect = FRect;
    rect.right = rect.left + width;
    return AskForRect(rect);
}

HRESULT TStandinBrowser::put_Height(LONG height) {
    if (height < 0)
        return E_INVALIDARG;
    RECT rect = FRect;
    rect.bottom = rect.top + height;
    return AskForRect(rect);
}

HRESULT TStandinBrowser::AskForRect(const RECT& rect) {
    if (!FInPlaceSite) {
        Resize(rect);
        return S_OK;
    }
    return FInPlaceSite->OnPosRectChange(&rect);
}

void TStandinBrowser::Resize(const RECT& rect) {
    FRect = rect;
    FViewState->Width = rect.right - rect.left;
    FViewState->Height = rect.bottom - rect.top;
    if (FView) {
        ::MoveWindow(FView, rect.left, rect.top, FViewState->Width, FViewState->Height, TRUE);
    }
}

// --- Drawing: the page's rows in its colour code, at the size asked for.

void TStandinBrowser::DrawPage(HDC dc, const RECT& rect) const {
    const std::int32_t width = rect.right - rect.left;
    const std::int32_t height = rect.bottom - rect.top;
    const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    const COLORREF oldColor = ::GetDCBrushColor(dc);
    if (!FPage || FPage->Page.Kind == TPageKind::Blank) {
        ::PatBlt(dc, rect.left, rect.top, width, height, WHITENESS);
    } else {
        const std::uint8_t tag = FPage->Tag();
        for (std::int32_t y = 0; y < height; ++y) {
            const TRgb c = RowColor(tag, y);
            ::SetDCBrushColor(dc, RGB(c.R, c.G, c.B));
            ::PatBlt(dc, rect.left, rect.top + y, width, 1, PATCOPY);
        }
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
    return ::DefWindowProcW(window, msg, wParam, lParam);
}

// --- IOleObject

HRESULT TStandinBrowser::SetClientSite(IOleClientSite* site) {
    FSite = site;
    if (site)
        gDownloadControl = ReadDownloadControl(site);
    return S_OK;
}

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
    if (FView)
        return S_OK;  // already active
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
                              nullptr, nullptr);
    if (!FView) {
        inPlace->OnInPlaceDeactivate();
        return E_FAIL;
    }
    ::SetWindowLongPtrW(FView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(FView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ViewProc));
    FInPlaceSite = inPlace;
    Resize(pos);
    return S_OK;
}

HRESULT TStandinBrowser::Close(DWORD) {
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
    ::DestroyWindow(FView);
    FView = nullptr;
    const ComPtr<IOleInPlaceSite> site = std::move(FInPlaceSite);
    if (site)
        site->OnInPlaceDeactivate();
    return S_OK;
}
HRESULT TStandinBrowser::UIDeactivate() {
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
