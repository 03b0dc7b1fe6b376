#include "win32/browser/standin/control/StandinDom.h"

#include <mshtmdid.h>
#include "win32/browser/standin/control/StandinCom.h"

#include "win32/browser/standin/control/StandinStubs.h"

namespace lum::standin {

namespace {

constexpr DISPID kScrollWidth = 1;
constexpr DISPID kScrollHeight = 2;
constexpr DISPID kStyle = 3;
constexpr DISPID kScrollTop = 4;
constexpr DISPID kOverflow = 1;
constexpr DISPID kBorder = 2;

HRESULT PutText(const DISPPARAMS* params, std::wstring& target) {
    const VARIANT* value = PutArgument(params);
    if (!value)
        return DISP_E_BADPARAMCOUNT;
    VARIANT text;
    ::VariantInit(&text);
    if (FAILED(::VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
    target.assign(text.bstrVal ? text.bstrVal : L"", ::SysStringLen(text.bstrVal));
    ::VariantClear(&text);
    return S_OK;
}

HRESULT GetText(VARIANT* result, const std::wstring& value) {
    if (!result)
        return E_POINTER;
    result->vt = VT_BSTR;
    result->bstrVal = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return S_OK;
}

// body.style: IDispatch only, the way a script reaches it.
class TStyle final : public IDispatch, TRefCount {
  public:
    explicit TStyle(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    LUM_STANDIN_DISPATCH_ONLY
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"overflow", kOverflow}, {L"border", kBorder}};
        return IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override {
        std::wstring* field = id == kOverflow ? &FPage->Overflow
                              : id == kBorder ? &FPage->Border
                                              : nullptr;
        if (!field)
            return DISP_E_MEMBERNOTFOUND;
        if (flags & DISPATCH_PROPERTYPUT)
            return PutText(params, *field);
        if (flags & DISPATCH_PROPERTYGET)
            return GetText(result, *field);
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    std::shared_ptr<TPageState> FPage;
};

// The body element, or the root element (no style): its scroll size
// follows the view it is laid out in.
class TBody final : public TStubHtmlElement, TRefCount {
  public:
    explicit TBody(std::shared_ptr<TPageState> page, bool root = false)
        : FPage(std::move(page)), FRoot(root) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    LUM_STANDIN_DISPATCH_AND(IHTMLElement)
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {{L"scrollWidth", kScrollWidth},
                                           {L"scrollHeight", kScrollHeight},
                                           {L"scrollTop", kScrollTop},
                                           {L"style", kStyle}};
        static const TDispName kRootNames[] = {{L"scrollWidth", kScrollWidth},
                                               {L"scrollHeight", kScrollHeight},
                                               {L"scrollTop", kScrollTop}};
        return FRoot ? IdsOfNames(kRootNames, names, count, ids)
                     : IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS*,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override {
        if (id != kScrollWidth && id != kScrollHeight && id != kScrollTop &&
            (id != kStyle || FRoot))
            return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;  // read-only here
        if (!result)
            return E_POINTER;
        if (id == kStyle) {
            result->vt = VT_DISPATCH;
            result->pdispVal = new TStyle(FPage);
            return S_OK;
        }
        if (id == kScrollTop) {
            // Standards mode: the root element scrolls, the body stays at 0.
            result->vt = VT_I4;
            result->lVal = FRoot ? FPage->ScrollY : 0;
            return S_OK;
        }
        if (FPage->Page.SlowMs > 0)
            ::Sleep(static_cast<DWORD>(FPage->Page.SlowMs));  // laid out anew, slowly
        std::int32_t width = 0;
        std::int32_t height = 0;
        if (FRoot)
            FPage->RootScroll(width, height);
        else
            FPage->Scroll(width, height);
        result->vt = VT_I4;
        result->lVal = id == kScrollWidth ? width : height;
        return S_OK;
    }

  private:
    std::shared_ptr<TPageState> FPage;
    bool FRoot;
};

class TDocument final : public TStubHtmlDocument2, public TStubHtmlDocument3, TRefCount {
  public:
    explicit TDocument(std::shared_ptr<TPageState> page) : FPage(std::move(page)) {}
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid == __uuidof(IHTMLDocument3) && !FPage->Page.LateRoot) {
            *object = static_cast<IHTMLDocument3*>(this);
            AddRef();
            return S_OK;
        }
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != __uuidof(IHTMLDocument) &&
            riid != __uuidof(IHTMLDocument2))
            return E_NOINTERFACE;
        *object = static_cast<IHTMLDocument2*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const TDispName kNames[] = {
            {L"body", DISPID_IHTMLDOCUMENT2_BODY},
            {L"documentElement", DISPID_IHTMLDOCUMENT3_DOCUMENTELEMENT},
            {L"parentWindow", DISPID_IHTMLDOCUMENT2_PARENTWINDOW},
            {L"createStyleSheet", kDispidCreateStyleSheet},
            {L"querySelector", kDispidQuerySelector}};
        return IdsOfNames(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO*,
                                     UINT*) override {
        HRESULT hr = S_OK;
        if ((flags & DISPATCH_METHOD) && DocumentMethod(FPage, id, params, result, hr))
            return hr;
        if ((id != DISPID_IHTMLDOCUMENT2_BODY && id != DISPID_IHTMLDOCUMENT3_DOCUMENTELEMENT &&
             id != DISPID_IHTMLDOCUMENT2_PARENTWINDOW) ||
            !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (!result)
            return E_POINTER;
        if (id == DISPID_IHTMLDOCUMENT2_PARENTWINDOW) {
            result->vt = VT_DISPATCH;
            result->pdispVal = NewWindow(FPage);
            return S_OK;
        }
        IHTMLElement* body = nullptr;
        if (id == DISPID_IHTMLDOCUMENT2_BODY)
            get_body(&body);
        else
            get_documentElement(&body);
        result->vt = VT_DISPATCH;
        result->pdispVal = body;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** body) override {
        if (!body)
            return E_POINTER;
        *body = new TBody(FPage);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_documentElement(IHTMLElement** root) override {
        if (!root)
            return E_POINTER;
        *root = new TBody(FPage, true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Script(IDispatch** script) override {
        if (!script)
            return E_POINTER;
        *script = NewScript(FPage);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_parentWindow(IHTMLWindow2** window) override {
        if (!window)
            return E_POINTER;
        *window = NewWindow(FPage);
        return S_OK;
    }
    // "interactive" from its commit until its own DocumentComplete: the
    // document is there, what it loads (its frames) is not all there yet.
    HRESULT STDMETHODCALLTYPE get_readyState(BSTR* state) override {
        if (!state)
            return E_POINTER;
        *state = ::SysAllocString(FPage->Complete ? L"complete" : L"interactive");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* url) override {
        if (!url)
            return E_POINTER;
        *url = ::SysAllocString(FPage->Url.c_str());
        return S_OK;
    }

  private:
    std::shared_ptr<TPageState> FPage;
};

class TFrame final : public IDispatch, TRefCount {
  public:
    LUM_STANDIN_REFCOUNT
    LUM_STANDIN_NO_TYPEINFO

    LUM_STANDIN_DISPATCH_ONLY
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

}  // namespace

IDispatch* NewDocument(std::shared_ptr<TPageState> page) {
    return static_cast<IHTMLDocument2*>(new TDocument(std::move(page)));
}

IDispatch* NewFrame() {
    return new TFrame();
}

}  // namespace lum::standin
