// The scripts of the stand-in's pages and the script engine a host reaches:
// what the real control documents and Lumenary relies on, modelled without
// an engine.
// - The page's scripts run on the control's thread, between messages, from
//   timers they set while the page loads (a late page draws its rows anew
//   once; a restless one changes every kRestlessMs, as a clock does; a lazy
//   one fetches the content of rows once they have been scrolled into view).
// - document.Script is the global object of the page's script engine: a host
//   calls its "eval" by name with a text, and a global function the text
//   defined by name, as a method of it. The stand-in runs no script: the one
//   text it knows is Lumenary's settle watch (recognised by the name of the
//   function it defines), whose answers it gives from what it knows of the
//   page, as the watch would see it: a timer counts only when the watch was
//   in before the page's script set it. Any other text is a script error.
// - document.parentWindow is the page's window: scrollTo moves its scroll
//   position (read back as the root element's scrollTop, standards mode);
//   its "screen" is reached by name (StandinScreen.cpp).
#include "win32/browser/standin/control/StandinDom.h"

#include <mshtmdid.h>

#include <algorithm>
#include <cwchar>

#include "win32/browser/standin/control/StandinCom.h"
#include "win32/browser/standin/control/StandinStubs.h"

namespace lum::standin {

namespace {

constexpr UINT_PTR kLateTimer = 1;
constexpr UINT_PTR kRestlessTimer = 2;
constexpr UINT_PTR kLazyTimer = 3;
constexpr DISPID kEval = 1;
constexpr DISPID kSettle = 2;
constexpr wchar_t kSettleName[] = L"__lumenarySettle";

class TScript final : public IDispatch, TRefCount {
  public:
    explicit TScript(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    LUM_STANDIN_DISPATCH_ONLY
    // The watch's function is a name of the global object once the watch
    // has run, not before.
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"eval", kEval}};
        static const TDispName kWatched[] = {{L"eval", kEval}, {kSettleName, kSettle}};
        return FPage->Watched ? IdsOfNames(kWatched, names, count, ids)
                              : IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override {
        if (!(flags & DISPATCH_METHOD) || !params || params->cArgs != 1)
            return DISP_E_MEMBERNOTFOUND;
        VARIANT argument;
        ::VariantInit(&argument);
        const HRESULT hr = ::VariantCopy(&argument, &params->rgvarg[0]);
        if (FAILED(hr))
            return hr;
        HRESULT answer = DISP_E_MEMBERNOTFOUND;
        if (id == kEval)
            answer = Eval(argument);
        else if (id == kSettle && FPage->Watched)
            answer = Settle(argument, result);
        ::VariantClear(&argument);
        return answer;
    }

  private:
    HRESULT Eval(const VARIANT& code) {
        if (code.vt != VT_BSTR || !code.bstrVal || !std::wcsstr(code.bstrVal, kSettleName))
            return DISP_E_EXCEPTION;  // a script error: no other script runs here
        if (!FPage->Watched) {
            FPage->Watched = true;
            FPage->LastChange = ::GetTickCount();  // the watch starts its quiet time
        }
        return S_OK;
    }
    HRESULT Settle(VARIANT& quiet, VARIANT* result) {
        if (FAILED(::VariantChangeType(&quiet, &quiet, 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        if (!result)
            return S_OK;
        const std::wstring answer = FPage->SettleAnswer(quiet.lVal);
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
        return S_OK;
    }

    std::shared_ptr<TPageState> FPage;
};

class TWindow final : public TStubHtmlWindow2, TRefCount {
  public:
    explicit TWindow(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch &&
            riid != __uuidof(IHTMLFramesCollection2) && riid != __uuidof(IHTMLWindow2))
            return E_NOINTERFACE;
        *object = static_cast<IHTMLWindow2*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"screen", DISPID_IHTMLWINDOW2_SCREEN}};
        return IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS*,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override {
        if (id != DISPID_IHTMLWINDOW2_SCREEN || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (!result)
            return E_POINTER;
        result->vt = VT_DISPATCH;
        result->pdispVal = NewScreen(FPage);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE scrollTo(LONG, LONG y) override {
        FPage->ScrollTo(y);
        return S_OK;
    }

  private:
    std::shared_ptr<TPageState> FPage;
};

}  // namespace

IDispatch* NewScript(std::shared_ptr<TPageState> page) {
    return new TScript(std::move(page));
}

IHTMLWindow2* NewWindow(std::shared_ptr<TPageState> page) {
    return new TWindow(std::move(page));
}

void StopScripts(HWND timers) {
    for (const UINT_PTR id : {kLateTimer, kRestlessTimer, kLazyTimer})
        ::KillTimer(timers, id);
}

void TPageState::StartScripts(HWND timers) {
    Timers = timers;
    LastChange = ::GetTickCount();
    if (Page.Kind == TPageKind::Late) {
        LateCounted = Watched;
        ::SetTimer(timers, kLateTimer, static_cast<UINT>(Page.LateMs), nullptr);
    } else if (Page.Kind == TPageKind::Restless) {
        ::SetTimer(timers, kRestlessTimer, kRestlessMs, nullptr);  // an interval: not counted
    } else if (Page.Kind == TPageKind::Lazy) {
        Requested = Loaded = ViewHeight();  // the first view loads with the page
    }
}

void TPageState::RunTimer(UINT_PTR id) {
    LastChange = ::GetTickCount();
    if (id == kLateTimer) {
        ::KillTimer(Timers, kLateTimer);
        LateDrawn = true;
        LateCounted = false;
    } else if (id == kRestlessTimer) {
        ++Changes;
    } else if (id == kLazyTimer) {
        ::KillTimer(Timers, kLazyTimer);
        Loaded = Requested;
    }
}

// Rows that come into view for the first time start their fetch; the
// content arrives kLazyLoadMs later, all at once. Rows a scroll jumped over
// (the first such gap) never get theirs.
void TPageState::ScrollTo(std::int32_t y) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    Scroll(width, height);
    ScrollY = std::clamp(y, 0, std::max(0, height - ViewHeight()));
    if (Page.Kind != TPageKind::Lazy || ScrollY + ViewHeight() <= Requested)
        return;
    // Rows a jump passes over never come into view: they stay pending.
    if (ScrollY > Requested && GapEnd == 0) {
        GapStart = Requested;
        GapEnd = ScrollY;
    }
    Requested = ScrollY + ViewHeight();
    ::SetTimer(Timers, kLazyTimer, kLazyLoadMs, nullptr);
}

// In the watch's order: timers it saw set, images in flight, then changes.
std::wstring TPageState::SettleAnswer(std::int32_t quiet) const {
    if (!Complete)
        return L"loading";
    if (LateCounted)
        return L"timers";
    if (Requested > Loaded)
        return L"images";
    if (static_cast<std::int32_t>(::GetTickCount() - LastChange) < quiet)
        return L"changing";
    return L"quiet";
}

std::uint8_t TPageState::RowTag(std::int32_t y) const {
    switch (Page.Kind) {
        case TPageKind::Late:
            return LateDrawn ? kLateTag : kLateEarlyTag;
        case TPageKind::Restless:
            return static_cast<std::uint8_t>(kRestlessTag + 2 * (Changes % 4));
        case TPageKind::Lazy:
            return y < Loaded && (y < GapStart || y >= GapEnd) ? kLazyTag : kLazyPendingTag;
        case TPageKind::Frames:
            return Complete ? kFramesTag : kFramesPendingTag;
        default:
            return Tag();
    }
}

}  // namespace lum::standin
