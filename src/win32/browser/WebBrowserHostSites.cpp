// The WebBrowser host's COM plumbing: its one identity (IUnknown), and the
// client site, in-place site and frame, document host and command target
// that the control calls back on.
#include "win32/browser/WebBrowserHost.h"

namespace lum::win32 {

namespace {

// {F38BC242-B950-11D1-8918-00C04FC2C836}: the command group in which the
// control asks its host what to do about a script error.
constexpr GUID kCgidDocHostCommandHandler = {0xF38BC242,
                                             0xB950,
                                             0x11D1,
                                             {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

// The control draws and clips itself against this rectangle only; it is
// never limited by the small capture window around it.
constexpr RECT kClipRect = {0, 0, 32767, 32767};

}  // namespace

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
    else if (riid == __uuidof(IServiceProvider))
        *object = static_cast<IServiceProvider*>(this);
    else if (IsCaptureService(riid) && riid == __uuidof(IAuthenticate))
        *object = static_cast<IAuthenticate*>(this);
    else if (IsCaptureService(riid))
        *object = static_cast<IHttpSecurity*>(this);  // and its IWindowForBindingUI
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
