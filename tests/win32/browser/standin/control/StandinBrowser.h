// The stand-in WebBrowser control: what the real control does as far as a
// host that embeds it in place, navigates it, reads the body's size, sizes
// it and draws it with OleDraw can see. Pages come from the catalogue in
// StandinPages.h; none is fetched or rendered by an engine.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <ole2.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "win32/browser/standin/control/StandinCom.h"
#include "win32/browser/standin/control/StandinDom.h"
#include "win32/browser/standin/control/StandinEvents.h"
#include "win32/browser/standin/control/StandinSite.h"
#include "win32/browser/standin/control/StandinStubs.h"

namespace lum::standin {

// {8856F961-340A-11D0-A96B-00C04FD705A2}: the WebBrowser class it serves.
inline constexpr CLSID kClsidWebBrowser = {0x8856F961,
                                           0x340A,
                                           0x11D0,
                                           {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// The class of the control's in-place window.
inline constexpr wchar_t kViewClass[] = L"LumenaryStandinView";

// The DISPID_AMBIENT_DLCONTROL flags the last client site answered, -1
// when it did not answer, -2 before any site was set; its
// DISPID_AMBIENT_SILENT likewise (1 silent, 0 not).
LONG LastDownloadControl() noexcept;
LONG LastAmbientSilent() noexcept;
// What happened to navigations that gave no page, counted over the process.
enum class TOutcome {
    ErrorPages,          // a NavigateError not cancelled: the control's error page shown
    ErrorsCancelled,     // a NavigateError cancelled by a sink
    DownloadsCancelled,  // FileDownload of a file cancelled
    DownloadsStarted,    // FileDownload of a file let through
    PagesCancelled,      // FileDownload of a document cancelled: the page never loads
    LoadsStopped,        // Stop while a navigation was under way: it is given up
    WindowsClosed,       // WindowClosing not cancelled: the control closed its document
    Count
};
LONG OutcomeCount(TOutcome outcome) noexcept;
// What reached the control from a user, counted over the process: keyboard
// messages its TranslateAccelerator was given (it keeps Tab, as a page
// does), keys and clicks its view window got, and UI activations.
// Pop-ups (NewWindow3) that a sink cancelled or let through are counted here too.
enum class TInput {
    Accelerators,
    AcceleratorsTaken,
    ViewKeys,
    ViewClicks,
    UIActivations,
    PopupsCancelled,
    PopupsAllowed,
    Count
};
void CountInput(TInput input) noexcept;
LONG InputCount(TInput input) noexcept;
// The URL of the last Navigate of any control of the process.
void NoteNavigate(const std::wstring& url);
std::wstring LastNavigateUrl();
// The title a page names (TitleChange): its "title" query value, else
// "Standin page".
std::wstring PageTitle(const std::wstring& url);
// The pop-up a page opens once it has completed: everything after its
// "popup=" (the last query value), empty for none.
std::wstring PopupTarget(const std::wstring& url);
// Registers the window classes of the control (DLL attach) and removes them.
void RegisterControlClasses(HINSTANCE instance);
void UnregisterControlClasses(HINSTANCE instance);

class TStandinBrowser final : public TStubWebBrowser2,
                              public IOleObject,
                              public IOleInPlaceObject,
                              public IViewObject2,
                              public IConnectionPointContainer,
                              public IOleInPlaceActiveObject,
                              TRefCount {
  public:
    TStandinBrowser();
    ~TStandinBrowser() override;
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    // IDispatch of the control: "Document" (203) by late binding.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IWebBrowser2
    HRESULT STDMETHODCALLTYPE Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** document) override;
    HRESULT STDMETHODCALLTYPE get_Width(LONG* width) override;
    HRESULT STDMETHODCALLTYPE put_Width(LONG width) override;
    HRESULT STDMETHODCALLTYPE get_Height(LONG* height) override;
    HRESULT STDMETHODCALLTYPE put_Height(LONG height) override;
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override;
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* busy) override;
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* state) override;
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL* silent) override;
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID command,
                                     OLECMDEXECOPT,
                                     VARIANT* in,
                                     VARIANT*) override;
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL silent) override;
    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, WINBOOL, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE
    DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT posRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override;
    // IOleWindow, IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    // IViewObject, IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect,
                                   LONG,
                                   void*,
                                   DVTARGETDEVICE*,
                                   HDC,
                                   HDC dc,
                                   LPCRECTL bounds,
                                   LPCRECTL,
                                   WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR) override;
    HRESULT STDMETHODCALLTYPE
    GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD, DWORD, IAdviseSink*) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD*, DWORD*, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL size) override;
    // IOleInPlaceActiveObject (StandinActive.cpp)
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override;
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

  private:
    static LRESULT CALLBACK MessageProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ViewProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void NextStep(LONG generation);
    void Step(LONG generation);
    bool Begin(LONG generation);
    void Fail(LONG generation, const TPageSpec& page);
    void CompleteFrame(LONG generation);
    void CompletePage();
    void Commit();
    void Resize(const RECT& rect);
    HRESULT AskForRect(const RECT& rect);
    void DrawPage(HDC dc, const RECT& rect) const;
    // OLEIVERB_UIACTIVATE of an in-place active control: the frame gets
    // this as its active object, the view the focus.
    void UIActivate();
    // NewWindow3 for the page's pop-up, if it has one.
    void OpenPopup();
    // The site's answer to what the page's download asks (StandinSite.cpp).
    TPromptEnd Ask(const TPageSpec& page);
    void ClosePrompt() noexcept;
    void CloseByScript();

    Microsoft::WRL::ComPtr<IOleClientSite> FSite;
    Microsoft::WRL::ComPtr<IOleInPlaceSite> FInPlaceSite;
    Microsoft::WRL::ComPtr<TEventsPoint> FEvents;
    HWND FMessageWindow = nullptr;  // takes the posted steps of a navigation
    HWND FView = nullptr;           // the in-place window, a child of the site's window
    RECT FRect{};                   // the in-place position rectangle
    std::shared_ptr<TViewState> FViewState;
    std::shared_ptr<TPageState> FPage;  // the committed page, nullptr before the first
    Microsoft::WRL::ComPtr<IDispatch> FDocument;
    std::wstring FPendingUrl;
    std::int32_t FPendingFrames = 0;
    std::int32_t FReloadsLeft = 0;  // reloads of its own the page still makes
    bool FReloading = false;
    bool FLoading = false;  // a navigation is under way: Navigate to its DocumentComplete
    bool FCommitted = true;
    bool FUIActive = false;
    bool FSilent = false;
    HWND FPrompt = nullptr;  // the prompt a download opened, until it is answered
    LONG FGeneration = 0;    // one per Navigate: steps of an older one are dropped
};

}  // namespace lum::standin
