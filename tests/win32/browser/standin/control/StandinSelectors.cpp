// What a host asks of the stand-in's document by name, as of the real
// control's (IE 9 and later, standards mode): document.createStyleSheet(),
// whose cssText a host sets, and document.querySelector(selectors), which
// answers the first element selected or null, with its
// getBoundingClientRect() in CSS pixels relative to the window's scroll
// position. The stand-in knows one style rule ("#banner" hidden) and one
// selector ("#panel").
#include <string>

#include "win32/browser/standin/control/StandinCom.h"
#include "win32/browser/standin/control/StandinDom.h"

namespace lum::standin {

namespace {

constexpr DISPID kCssText = 1;
constexpr DISPID kBoundingRect = 2;
constexpr DISPID kLeft = 3;
constexpr DISPID kTop = 4;
constexpr DISPID kRight = 5;
constexpr DISPID kBottom = 6;

std::wstring Text(const VARIANT* value) {
    return value && value->vt == VT_BSTR && value->bstrVal
               ? std::wstring(value->bstrVal, ::SysStringLen(value->bstrVal))
               : std::wstring();
}

// A style sheet: a rule that sets "#banner" to display: none takes the
// banner away, as the real engine lays the page out anew without it.
class TStyleSheet final : public IDispatch, TRefCount {
  public:
    explicit TStyleSheet(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO
    LUM_STANDIN_DISPATCH_ONLY
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"cssText", kCssText}};
        return IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT*,
                                     EXCEPINFO*,
                                     UINT*) override {
        if (id != kCssText || !(flags & DISPATCH_PROPERTYPUT))
            return DISP_E_MEMBERNOTFOUND;
        const std::wstring css = Text(PutArgument(params));
        const std::size_t banner = css.find(L"#banner");
        if (banner != std::wstring::npos &&
            css.find(L"display: none", banner) != std::wstring::npos)
            FPage->BannerHidden = true;
        return S_OK;
    }

  private:
    std::shared_ptr<TPageState> FPage;
};

// The box of "#panel" as getBoundingClientRect() gives it: its edges in CSS
// pixels, below the banner, relative to the window's scroll position.
class TBox final : public IDispatch, TRefCount {
  public:
    explicit TBox(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO
    LUM_STANDIN_DISPATCH_ONLY
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {
            {L"left", kLeft}, {L"top", kTop}, {L"right", kRight}, {L"bottom", kBottom}};
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
        if (id < kLeft || id > kBottom || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (!result)
            return E_POINTER;
        const TPageSpec& page = FPage->Page;
        const std::int32_t top = page.PanelY + FPage->BannerRows() - FPage->ScrollY;
        const std::int32_t edges[] = {page.PanelX, top, page.PanelX + page.PanelW,
                                      top + page.PanelH};
        result->vt = VT_R8;
        result->dblVal = edges[id - kLeft];
        return S_OK;
    }

  private:
    std::shared_ptr<TPageState> FPage;
};

class TPanel final : public IDispatch, TRefCount {
  public:
    explicit TPanel(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO
    LUM_STANDIN_DISPATCH_ONLY
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"getBoundingClientRect", kBoundingRect}};
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
        if (id != kBoundingRect || !(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        if (!result)
            return E_POINTER;
        result->vt = VT_DISPATCH;
        result->pdispVal = new TBox(FPage);
        return S_OK;
    }

  private:
    std::shared_ptr<TPageState> FPage;
};

}  // namespace

bool DocumentMethod(const std::shared_ptr<TPageState>& page,
                    DISPID id,
                    DISPPARAMS* params,
                    VARIANT* result,
                    HRESULT& hr) {
    if (id != kDispidCreateStyleSheet && id != kDispidQuerySelector)
        return false;
    if (!result) {
        hr = E_POINTER;
        return true;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = nullptr;
    if (id == kDispidCreateStyleSheet) {
        result->pdispVal = new TStyleSheet(page);
    } else if (params && params->cArgs == 1 && Text(&params->rgvarg[0]) == L"#panel" &&
               page->Page.PanelW > 0) {
        result->pdispVal = new TPanel(page);
    }
    hr = S_OK;
    return true;
}

}  // namespace lum::standin
