#include "win32/browser/WebBrowserHost.h"

#include "common/Forms.h"
#include "platform/Types.h"
#include "win32/browser/ComUtil.h"
#include "win32/Strings.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kClsidWebBrowser = {0x8856F961,
                                    0x340A,
                                    0x11D0,
                                    {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// {F38BC242-B950-11D1-8918-00C04FC2C836}: the command group in which the
// control asks its host what to do about a script error.
constexpr GUID kCgidDocHostCommandHandler = {0xF38BC242,
                                             0xB950,
                                             0x11D1,
                                             {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

// The control draws and clips itself against this rectangle only; it is
// never limited by the small capture window around it.
constexpr RECT kClipRect = {0, 0, 32767, 32767};

LONG gInstances = 0;  // host objects alive

constexpr const char* kActivateFailed = "OLE コントロールのアクティベートに失敗しました";
}  // namespace

ComPtr<TWebBrowserHost> TWebBrowserHost::Create(HWND window, const RECT& rect, TBrowserUse use) {
    // The object starts with no reference; the ComPtr takes the first.
    ComPtr<TWebBrowserHost> host(new TWebBrowserHost(window, rect, use));
    host->Open();
    return host;
}

TWebBrowserHost::TWebBrowserHost(HWND window, const RECT& rect, TBrowserUse use)
    : FWindow(window), FRect(rect), FUse(use) {
    ::InterlockedIncrement(&gInstances);
}

TWebBrowserHost::~TWebBrowserHost() {
    Disconnect();
    ::InterlockedDecrement(&gInstances);
}

long TWebBrowserHost::Instances() noexcept {
    return gInstances;
}

void TWebBrowserHost::Open() {
    HRESULT hr = ::CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&FOleObject));
    if (FAILED(hr))
        throw Exception("the WebBrowser control cannot be created (" + HResultText(hr) + ")");
    hr = FOleObject->SetClientSite(this);
    if (SUCCEEDED(hr))
        hr = FOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, FWindow, &FRect);
    if (SUCCEEDED(hr))
        hr = FOleObject.As(&FBrowser);
    if (SUCCEEDED(hr) && !FInPlaceObject)
        hr = FOleObject.As(&FInPlaceObject);
    if (FAILED(hr)) {
        Close();
        throw Exception(kActivateFailed);
    }
    ComPtr<IConnectionPointContainer> container;
    hr = FOleObject.As(&container);
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(__uuidof(DWebBrowserEvents2), &FConnectionPoint);
    if (SUCCEEDED(hr))
        hr = FConnectionPoint->Advise(static_cast<IDispatch*>(this), &FCookie);
    if (FAILED(hr)) {
        Close();
        throw Exception("the events of the WebBrowser control cannot be connected (" +
                        HResultText(hr) + ")");
    }
}

void TWebBrowserHost::Close() noexcept {
    // Keep this object alive while the control lets go of its site.
    const ComPtr<TWebBrowserHost> self(this);
    Disconnect();
}

void TWebBrowserHost::Disconnect() noexcept {
    OnDocumentComplete = nullptr;
    OnNavigateFailed = nullptr;
    OnTitleChange = nullptr;
    FActiveObject.Reset();
    if (FInPlaceObject)
        FInPlaceObject->InPlaceDeactivate();
    if (FConnectionPoint && FCookie)
        FConnectionPoint->Unadvise(FCookie);
    FCookie = 0;
    FConnectionPoint.Reset();
    if (FOleObject) {
        FOleObject->SetClientSite(nullptr);
        FOleObject->Close(OLECLOSE_NOSAVE);
    }
    FBrowser.Reset();
    FInPlaceObject.Reset();
    FOleObject.Reset();
}

HWND TWebBrowserHost::ControlWindow() const noexcept {
    HWND window = nullptr;
    if (!FInPlaceObject || FAILED(FInPlaceObject->GetWindow(&window)))
        return nullptr;
    return window;
}

// --- IUnknown: one identity (the client site) for every interface.

HRESULT TWebBrowserHost::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (riid == __uuidof(IOleWindow) || riid == __uuidof(IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (riid == __uuidof(IOleInPlaceUIWindow) || riid == __uuidof(IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (riid == __uuidof(IDocHostUIHandler))
        *object = static_cast<IDocHostUIHandler*>(this);
    else if (riid == __uuidof(IDocHostShowUI))
        *object = static_cast<IDocHostShowUI*>(this);
    else if (riid == __uuidof(IOleCommandTarget))
        *object = static_cast<IOleCommandTarget*>(this);
    else if (riid == IID_IDispatch || riid == __uuidof(DWebBrowserEvents2))
        *object = static_cast<IDispatch*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TWebBrowserHost::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&FRefs));
}

ULONG TWebBrowserHost::Release() {
    const LONG refs = ::InterlockedDecrement(&FRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

// --- IOleClientSite

HRESULT TWebBrowserHost::SaveObject() {
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::GetContainer(IOleContainer** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}
HRESULT TWebBrowserHost::ShowObject() {
    return S_OK;
}
HRESULT TWebBrowserHost::OnShowWindow(WINBOOL) {
    return S_OK;
}
HRESULT TWebBrowserHost::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

// --- IOleWindow, IOleInPlaceSite

HRESULT TWebBrowserHost::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = FWindow;
    return S_OK;
}
HRESULT TWebBrowserHost::ContextSensitiveHelp(WINBOOL) {
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::CanInPlaceActivate() {
    return S_OK;
}
HRESULT TWebBrowserHost::OnInPlaceActivate() {
    return S_OK;
}
HRESULT TWebBrowserHost::OnUIActivate() {
    return S_OK;
}

HRESULT TWebBrowserHost::GetWindowContext(IOleInPlaceFrame** frame,
                                          IOleInPlaceUIWindow** doc,
                                          LPRECT posRect,
                                          LPRECT clipRect,
                                          LPOLEINPLACEFRAMEINFO frameInfo) {
    if (!frame || !doc || !posRect || !clipRect || !frameInfo)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    *posRect = FRect;
    *clipRect = kClipRect;
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = FWindow;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT TWebBrowserHost::Scroll(SIZE) {
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::OnUIDeactivate(WINBOOL) {
    return S_OK;
}
HRESULT TWebBrowserHost::OnInPlaceDeactivate() {
    return S_OK;
}
HRESULT TWebBrowserHost::DiscardUndoState() {
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::DeactivateAndUndo() {
    return E_NOTIMPL;
}

// The control asks for a new extent (put_Width / put_Height): it gets exactly
// that rectangle, and the capture window keeps its own layout.
HRESULT TWebBrowserHost::OnPosRectChange(LPCRECT posRect) {
    if (!posRect)
        return E_POINTER;
    if (!FInPlaceObject && FOleObject)
        FOleObject.As(&FInPlaceObject);
    if (!FInPlaceObject)
        return E_UNEXPECTED;
    FRect = *posRect;
    return FInPlaceObject->SetObjectRects(posRect, &kClipRect);
}

// --- IOleInPlaceUIWindow, IOleInPlaceFrame: no tool space, menus or status.

HRESULT TWebBrowserHost::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}
HRESULT TWebBrowserHost::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
HRESULT TWebBrowserHost::SetBorderSpace(LPCBORDERWIDTHS) {
    return OLE_E_INVALIDRECT;
}
HRESULT TWebBrowserHost::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    FActiveObject = object;
    return S_OK;
}
HRESULT TWebBrowserHost::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
HRESULT TWebBrowserHost::RemoveMenus(HMENU) {
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::SetStatusText(LPCOLESTR) {
    return S_OK;
}
HRESULT TWebBrowserHost::EnableModeless(WINBOOL) {
    return S_OK;
}
HRESULT TWebBrowserHost::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

// --- IDocHostUIHandler: the control's defaults, except that nobody gets a
// context menu in the capture (a visible control shows its own), the view
// has no sunken 3-D edge of its own, and pages are laid out for the system's
// DPI like the rest of this DPI-aware program.

HRESULT TWebBrowserHost::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return FUse == TBrowserUse::Visible ? S_FALSE : S_OK;
}
HRESULT TWebBrowserHost::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info || info->cbSize < sizeof(DOCHOSTUIINFO))
        return E_INVALIDARG;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}
HRESULT TWebBrowserHost::ShowUI(DWORD,
                                IOleInPlaceActiveObject*,
                                IOleCommandTarget*,
                                IOleInPlaceFrame*,
                                IOleInPlaceUIWindow*) {
    return S_FALSE;
}
HRESULT TWebBrowserHost::HideUI() {
    return S_OK;
}
HRESULT TWebBrowserHost::UpdateUI() {
    return S_OK;
}
HRESULT TWebBrowserHost::OnDocWindowActivate(WINBOOL) {
    return S_OK;
}
HRESULT TWebBrowserHost::OnFrameWindowActivate(WINBOOL) {
    return S_OK;
}
HRESULT TWebBrowserHost::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) {
    return S_OK;
}
HRESULT TWebBrowserHost::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return S_FALSE;
}
HRESULT TWebBrowserHost::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key)
        *key = nullptr;
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::GetDropTarget(IDropTarget*, IDropTarget** target) {
    if (target)
        *target = nullptr;
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::GetExternal(IDispatch** external) {
    if (external)
        *external = nullptr;
    return E_NOTIMPL;
}
HRESULT TWebBrowserHost::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
    if (out)
        *out = nullptr;
    return S_FALSE;
}
HRESULT TWebBrowserHost::FilterDataObject(IDataObject*, IDataObject** out) {
    if (out)
        *out = nullptr;
    return S_FALSE;
}

// --- IDocHostShowUI: a page's alert, confirm and help never open a window
// during a run (a visible control shows its own dialogs); the page is told
// the dialog was answered (OK for a plain message, Cancel when there was a
// choice) and goes on loading.

HRESULT TWebBrowserHost::ShowMessage(HWND,
                                     LPOLESTR,
                                     LPOLESTR,
                                     DWORD type,
                                     LPOLESTR,
                                     DWORD,
                                     LRESULT* result) {
    if (FUse == TBrowserUse::Visible)
        return S_FALSE;
    if (result)
        *result = (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    return S_OK;
}
HRESULT TWebBrowserHost::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
    return S_OK;
}

// --- IOleCommandTarget: the control asks here before it shows its script
// error dialog. The answer "handled, keep running scripts" means no dialog
// and a page that still completes.

HRESULT TWebBrowserHost::QueryStatus(const GUID* group, ULONG, OLECMD[], OLECMDTEXT*) {
    return group && *group == kCgidDocHostCommandHandler ? OLECMDERR_E_NOTSUPPORTED
                                                         : OLECMDERR_E_UNKNOWNGROUP;
}

HRESULT TWebBrowserHost::Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT* out) {
    if (!group || *group != kCgidDocHostCommandHandler)
        return OLECMDERR_E_UNKNOWNGROUP;
    if (id != OLECMDID_SHOWSCRIPTERROR)
        return OLECMDERR_E_NOTSUPPORTED;
    if (out) {
        ::VariantClear(out);
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;  // continue running the page's scripts
    }
    return S_OK;
}

}  // namespace lum::win32
