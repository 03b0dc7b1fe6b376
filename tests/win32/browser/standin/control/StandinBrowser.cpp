#include "win32/browser/standin/control/StandinBrowser.h"

#include <exdisp.h>
#include <mshtmdid.h>
#include <olectl.h>

namespace lum::standin {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kMessageClass[] = L"LumenaryStandinMessages";
constexpr UINT kStepMessage = WM_APP + 1;  // wParam: the navigation's generation
constexpr DISPID kDispidDocument = 203;

LONG gAgainLoads = 0;
LONG gOutcomes[static_cast<int>(TOutcome::Count)] = {};

void Count(TOutcome outcome) {
    ::InterlockedIncrement(&gOutcomes[static_cast<int>(outcome)]);
}

constexpr wchar_t kErrorPage[] = L"res://standin/error.htm";

std::string Utf8(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n,
                          nullptr, nullptr);
    return result;
}

}  // namespace

LONG OutcomeCount(TOutcome outcome) noexcept {
    const int i = static_cast<int>(outcome);
    return i >= 0 && i < static_cast<int>(TOutcome::Count) ? gOutcomes[i] : -1;
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
    RegisterPromptClass(instance);
}

void UnregisterControlClasses(HINSTANCE instance) {
    UnregisterPromptClass(instance);
    ::UnregisterClassW(kMessageClass, instance);
    ::UnregisterClassW(kViewClass, instance);
}

TStandinBrowser::TStandinBrowser() : FViewState(std::make_shared<TViewState>()) {
    FEvents = Adopt(new TEventsPoint(this));
    // The window that carries the steps of a navigation through the message
    // loop, so that completion always comes later than Navigate's return.
    FMessageWindow = ::CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       ModuleInstance(), nullptr);
    ::SetWindowLongPtrW(FMessageWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageProc));
    ::SetWindowLongPtrW(FMessageWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TStandinBrowser::~TStandinBrowser() {
    ClosePrompt();
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
    else if (riid == IID_IOleInPlaceActiveObject)
        *object = static_cast<IOleInPlaceActiveObject*>(this);
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

HRESULT TStandinBrowser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT* headers) {
    if (!url)
        return E_INVALIDARG;
    NoteHeaders(headers);
    ++FGeneration;
    FLoading = true;
    ClosePrompt();
    // A control that never finishes a page: Navigate is taken, nothing
    // follows (scripts that check the display alone, with page files of
    // their own, set LUM_STANDIN_HANG=1).
    if (::GetEnvironmentVariableW(L"LUM_STANDIN_HANG", nullptr, 0) > 0) {
        FPendingUrl.assign(url, ::SysStringLen(url));
        FCommitted = false;
        return S_OK;
    }
    FPendingUrl.assign(url, ::SysStringLen(url));
    NoteNavigate(FPendingUrl);
    const TPageSpec page = ParsePageUrl(Utf8(FPendingUrl));
    FPendingFrames = page.Frames;
    FReloadsLeft = page.Reloads;
    FReloading = false;
    FCommitted = false;
    NextStep(FGeneration);
    return S_OK;
}

// As the real control's: the pending navigation and its downloads are
// cancelled and the page stays as far as it got; no event follows.
HRESULT TStandinBrowser::Stop() {
    if (FLoading)
        Count(TOutcome::LoadsStopped);
    ClosePrompt();
    FLoading = false;
    ++FGeneration;
    FCommitted = true;
    FPendingFrames = 0;
    return S_OK;
}

void TStandinBrowser::NextStep(LONG generation) {
    ::PostMessageW(FMessageWindow, kStepMessage, static_cast<WPARAM>(generation), 0);
}

void TStandinBrowser::Commit() {
    StopScripts(FMessageWindow);  // the page left behind runs no more
    auto page = std::make_shared<TPageState>();
    page->Url = FPendingUrl;
    page->Page = ParsePageUrl(Utf8(FPendingUrl));
    page->Loads = page->Page.Kind == TPageKind::Again ? ++gAgainLoads : 1;
    page->View = FViewState;
    page->Dpi = DocumentDpi(FSite.Get());
    FPage = page;
    FDocument = Adopt(NewDocument(page));
    FCommitted = true;
    FEvents->FireTitleChange(PageTitle(page->Url));
    if (FPage == page)
        page->StartScripts(FMessageWindow);
}

// The start of a navigation, as the real control (IE 7 and later) makes it:
// FileDownload of the document, which a sink may cancel (then no page ever
// loads). False when the navigation went no further.
bool TStandinBrowser::Begin(LONG generation) {
    TPageSpec page = ParsePageUrl(Utf8(FPendingUrl));
    if (page.Kind == TPageKind::Auth || page.Kind == TPageKind::Certificate) {
        const TPromptEnd end = Ask(page);
        if (generation != FGeneration || end == TPromptEnd::Prompted)
            return false;  // a person has to answer first
        if (end == TPromptEnd::Refused) {
            // The server's own status, or the certificate's problem as an HRESULT.
            page.Code = page.Kind == TPageKind::Auth ? 401 : (0x80070000u | page.Code);
            Fail(generation, page);
            return false;
        }
    }
    if (page.Kind == TPageKind::Error) {
        Fail(generation, page);
        return false;
    }
    const bool file = page.Kind == TPageKind::Download;
    const bool cancelled = FEvents->FireFileDownload(!file);
    if (generation != FGeneration)
        return false;  // the sink navigated elsewhere
    if (file || cancelled) {
        ++FGeneration;  // no document: the navigation is over
        FCommitted = true;
        FLoading = false;
        Count(file ? (cancelled ? TOutcome::DownloadsCancelled : TOutcome::DownloadsStarted)
                   : TOutcome::PagesCancelled);
        return false;
    }
    Commit();
    return true;
}

// A page that cannot be loaded: NavigateError (as often as the URL says);
// unless a sink cancels it, the control goes on to its own error page.
void TStandinBrowser::Fail(LONG generation, const TPageSpec& page) {
    bool cancelled = false;
    for (std::int32_t i = 0; i < page.Repeat; ++i) {
        cancelled =
            FEvents->FireNavigateError(static_cast<IWebBrowser2*>(this), FPendingUrl, page.Code) ||
            cancelled;
        if (generation != FGeneration)
            return;
    }
    ++FGeneration;
    FCommitted = true;
    FLoading = false;
    if (cancelled)
        Count(TOutcome::ErrorsCancelled);
    if (cancelled && !page.ErrorPage)
        return;
    Count(TOutcome::ErrorPages);
    FPendingUrl = kErrorPage;
    Commit();
    FPage->Complete = true;
    FEvents->FireDocumentComplete(static_cast<IWebBrowser2*>(this), FPage->Url);
}

void TStandinBrowser::Step(LONG generation) {
    if (generation != FGeneration)
        return;
    // The sinks may release this control while they handle the event.
    const ComPtr<IWebBrowser2> self(this);
    if (!FCommitted) {
        if (FReloading) {
            FReloading = false;
            Commit();
        } else if (!Begin(generation)) {
            return;
        }
    }
    // A page that never completes is drawn and titled, and stays loading
    // until Stop or the next Navigate.
    if (FPage->Page.Kind == TPageKind::Hang)
        return;
    if (FPendingFrames > 0)
        return CompleteFrame(generation);
    CompletePage();
}

// One frame's document completes, with the frame's own window; the next
// step is posted first, unless the frame never completes (nor, then, does
// the page).
void TStandinBrowser::CompleteFrame(LONG generation) {
    const std::int32_t frame = FPage->Page.Frames - FPendingFrames + 1;
    if (frame == FPage->Page.HangFrame)
        return;
    --FPendingFrames;
    NextStep(generation);
    const ComPtr<IDispatch> window = Adopt(NewFrame());
    const std::wstring url =
        frame == FPage->Page.BlankFrame
            ? std::wstring(L"about:blank")
            : L"standin:frame?" + std::to_wstring(frame) + L"&of=" + FPendingUrl;
    // A frame that fails is reported with its own window; the page
    // goes on loading whatever the sink answers.
    if (frame == FPage->Page.FrameError) {
        FEvents->FireNavigateError(window.Get(), url, 0x800C0005);
        if (generation != FGeneration)
            return;
    }
    FEvents->FireDocumentComplete(window.Get(), url);
}

// The page's own DocumentComplete, last, with the control as its window.
void TStandinBrowser::CompletePage() {
    ++FGeneration;  // this navigation is over
    FLoading = false;
    FPage->Complete = true;
    const LONG over = FGeneration;
    FEvents->FireDocumentComplete(static_cast<IWebBrowser2*>(this), FPage->Url);
    if (FGeneration == over)
        OpenPopup();
    if (FGeneration == over && FPage->Page.Closes)
        CloseByScript();
    // A page that reloads itself does so once its completion was handled,
    // unless the sink navigated elsewhere meanwhile.
    if (FGeneration == over && FReloadsLeft > 0) {
        --FReloadsLeft;
        FReloading = true;
        FCommitted = false;
        FLoading = true;
        FPendingFrames = FPage->Page.Frames;
        NextStep(FGeneration);
    }
}

// The page's script calls window.close(): WindowClosing to the sinks, and
// unless one cancels it the control closes its document, leaving its view
// empty (no page, no completion).
void TStandinBrowser::CloseByScript() {
    if (FEvents->FireWindowClosing())
        return;
    Count(TOutcome::WindowsClosed);
    FPendingUrl = L"about:blank";
    Commit();
}

LRESULT CALLBACK TStandinBrowser::MessageProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TStandinBrowser*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (msg == kStepMessage && self) {
        self->Step(static_cast<LONG>(wParam));
        return 0;
    }
    if (msg == WM_TIMER && self && self->FPage) {
        self->FPage->RunTimer(wParam);
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

}  // namespace lum::standin
