// Folder src/win32/browser (lum_win32_browser, in Lumenary.scr): the
// WebBrowser control's COM host, its capture view, navigation failures,
// browser emulation, the sign-in window, the URL box's menu. It includes
// src/win32 and the core.
//
// The WebBrowser ActiveX control hosted in place in a window, without ATL:
// one COM object is its client site, in-place site and frame, document host,
// DWebBrowserEvents2 sink and, for the capture, the service provider that
// answers a page's prompts (credentials, certificate problems) without a
// window. Creation failures throw lum::Exception; no exception ever leaves a
// COM method (the standard error report shows it).
#pragma once

#include <windows.h>

#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <servprov.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <functional>
#include <string>

#include "platform/WebView.h"

namespace lum::win32 {

// What the control is hosted for: the hidden capture window, or a window the
// user works in (the sign-in window), where the control shows its own error
// pages, context menu and page dialogs, and takes the keyboard.
enum class TBrowserUse { Capture, Visible };

class TWebBrowserHost final : public IOleClientSite,
                              public IOleInPlaceSite,
                              public IOleInPlaceFrame,
                              public IDocHostUIHandler,
                              public IDocHostShowUI,
                              public IOleCommandTarget,
                              public IDispatch,
                              public IServiceProvider,
                              public IAuthenticate,
                              public IHttpSecurity {
  public:
    // Creates the control in window at rect, activated in place, with its
    // events connected. Throws "OLE コントロールのアクティベートに失敗しました"
    // when it cannot be activated.
    static Microsoft::WRL::ComPtr<TWebBrowserHost> Create(HWND window,
                                                          const RECT& rect,
                                                          TBrowserUse use = TBrowserUse::Capture);

    // Disconnects and closes the control in the reverse order of creation;
    // the later calls do nothing.
    void Close() noexcept;
    // nullptr once closed.
    IWebBrowser2* Browser() const noexcept { return FBrowser.Get(); }
    // The control's own window, nullptr if it has none.
    HWND ControlWindow() const noexcept;
    // Host objects alive in the process (for leak checks).
    static long Instances() noexcept;

    // Fired for DocumentComplete with the document's URL, topLevel when the
    // document is the control's own (not a frame's). An exception that
    // leaves it is shown by the application's standard error report.
    std::function<void(const std::string& url, bool topLevel)> OnDocumentComplete;
    // Fired, from within the control's event, when the top-level page could
    // not be loaded: a NavigateError of the control itself (its own error
    // page is cancelled), or a file download it was about to start (also
    // cancelled). Errors of frames are not reported. Exceptions as above.
    std::function<void(const std::string& url, const TPageFailure& failure)> OnNavigateFailed;
    // The host is about to navigate the control to url itself: until a
    // BeforeNavigate2 says otherwise, that is the navigation a download
    // belongs to.
    void NavigationRequested(const std::string& url);
    // NavigationRequested, then the control's Navigate with the request's
    // extra header lines (none when empty) and every other optional
    // argument omitted; the control's answer.
    HRESULT Navigate(const std::string& url, const std::string& headers = {});

    // Fired when a page's script closes its window (window.close()). The
    // control's window is never closed by a page: the event is always
    // cancelled, and the host decides what to close. Exceptions as above.
    std::function<void()> OnWindowClosing;

    // For a visible control (WebBrowserHostView.cpp). Fired for TitleChange
    // with the page's title; exceptions as above.
    std::function<void(const std::string& title)> OnTitleChange;
    // Moves the control to rect of the host window (its new client area).
    void SetBounds(const RECT& rect) noexcept;
    // UI-activates the control: it takes the focus and its keyboard.
    void Activate() noexcept;
    // Gives the control a keyboard message of its window first (Tab, Enter,
    // Backspace, its shortcuts): true when it used it, and the message must
    // then not be translated or dispatched.
    bool TranslateKey(MSG& msg) noexcept;

    // What the site answers for DISPID_AMBIENT_DLCONTROL: images and videos,
    // frames, scripts; no background sounds, ActiveX controls, Java or
    // behaviours; no dialogs of the control's own (silent).
    static long DownloadControlFlags() noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;
    // IOleWindow (of the site and of the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override;
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** doc,
                                               LPRECT posRect,
                                               LPRECT clipRect,
                                               LPOLEINPLACEFRAMEINFO frameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT posRect) override;
    // IOleInPlaceUIWindow, IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override;
    // IDocHostUIHandler
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO*) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD,
                                     IOleInPlaceActiveObject*,
                                     IOleCommandTarget*,
                                     IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override;
    // IDocHostShowUI
    HRESULT STDMETHODCALLTYPE
    ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD type, LPOLESTR, DWORD, LRESULT* result) override;
    HRESULT STDMETHODCALLTYPE ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) override;
    // IOleCommandTarget
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group,
                                          ULONG count,
                                          OLECMD commands[],
                                          OLECMDTEXT*) override;
    HRESULT STDMETHODCALLTYPE
    Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT* out) override;
    // IDispatch: DWebBrowserEvents2
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override;
    // IServiceProvider, IAuthenticate, IWindowForBindingUI and IHttpSecurity
    // (WebBrowserHostServices.cpp): in the capture, a page's prompts are
    // answered here, never by a window.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Authenticate(HWND* window,
                                           LPWSTR* userName,
                                           LPWSTR* password) override;
    HRESULT STDMETHODCALLTYPE GetWindow(REFGUID reason, HWND* window) override;
    HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD problem) override;

  private:
    TWebBrowserHost(HWND window, const RECT& rect, TBrowserUse use);
    ~TWebBrowserHost();
    void Open();
    void Disconnect() noexcept;
    void DocumentComplete(DISPPARAMS* params) noexcept;
    void NavigateError(DISPPARAMS* params) noexcept;
    void BeforeNavigate(DISPPARAMS* params) noexcept;
    void FileDownload(DISPPARAMS* params) noexcept;
    void Failed(const std::wstring& url, const TPageFailure& failure) noexcept;
    void TitleChange(DISPPARAMS* params) noexcept;
    void NewWindow(DISPPARAMS* params) noexcept;
    void WindowClosing(DISPPARAMS* params) noexcept;
    // The capture's own interfaces: whether riid is one of the services the
    // capture answers (none for a visible control).
    bool IsCaptureService(REFIID riid) const noexcept;
    // The failure of a NavigateError's status, with what this host refused
    // during the navigation (credentials, a certificate problem).
    TPageFailure RefusedFailure(std::int32_t status) const;
    // Whether an event's pDisp is the control itself (the top-level frame).
    bool IsControl(const VARIANT* window) const noexcept;

    LONG FRefs = 0;
    HWND FWindow;
    RECT FRect;
    TBrowserUse FUse;
    Microsoft::WRL::ComPtr<IOleObject> FOleObject;
    Microsoft::WRL::ComPtr<IOleInPlaceObject> FInPlaceObject;
    Microsoft::WRL::ComPtr<IWebBrowser2> FBrowser;
    Microsoft::WRL::ComPtr<IConnectionPoint> FConnectionPoint;
    DWORD FCookie = 0;
    // The object the control names while it is UI-active (SetActiveObject).
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> FActiveObject;
    // The last navigation begun: whether it is the control's own, its URL.
    bool FLastTopLevel = true;
    std::wstring FLastUrl;
    // What the capture refused during the current navigation: credentials
    // (the site asked for a password), a certificate problem (its WinINet
    // code, 0 for none).
    bool FCredentialsRefused = false;
    DWORD FSecurityProblem = 0;
};

}  // namespace lum::win32
