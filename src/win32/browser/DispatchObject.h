// An object of a page's document object model (the body element, its
// style), reached by property name through IDispatch as a script would.
// Every failing call throws lum::Exception naming the property.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <string>

#include "win32/Strings.h"
#include "win32/browser/ComUtil.h"

namespace lum::win32 {

class TDispatchObject final {
  public:
    TDispatchObject(Microsoft::WRL::ComPtr<IDispatch> object, std::string path)
        : FObject(std::move(object)), FPath(std::move(path)) {}

    std::int32_t GetIntProperty(const std::string& name) {
        TVariant value;
        Get(name, value);
        if (FAILED(::VariantChangeType(&value, &value, 0, VT_I4)))
            throw Exception("\"" + FPath + "." + name + "\" of the page is not a number");
        return value.lVal;
    }

    std::unique_ptr<TDispatchObject> GetObjectProperty(const std::string& name) {
        TVariant value;
        Get(name, value);
        if (value.vt != VT_DISPATCH || !value.pdispVal)
            throw Exception("\"" + FPath + "." + name + "\" of the page is not an object");
        return std::make_unique<TDispatchObject>(Microsoft::WRL::ComPtr<IDispatch>(value.pdispVal),
                                                 FPath + "." + name);
    }

    void PutStringProperty(const std::string& name, const std::string& value) {
        const DISPID id = Id(name);
        TVariant argument;
        argument.bstrVal = TBstr(Widen(value)).Release();
        argument.vt = VT_BSTR;
        DISPID named = DISPID_PROPERTYPUT;  // a property put names its one argument so
        DISPPARAMS params{&argument, &named, 1, 1};
        const HRESULT hr = FObject->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                           &params, nullptr, nullptr, nullptr);
        if (FAILED(hr))
            throw Exception("\"" + FPath + "." + name + "\" of the page cannot be set (" +
                            HResultText(hr) + ")");
    }

    // The method name called with one text argument (none when empty): the
    // object it answers, nullptr when it answers none (null, nothing).
    std::unique_ptr<TDispatchObject> CallMethod(const std::string& name,
                                                const std::string& argument) {
        const DISPID id = Id(name);
        TVariant text;
        text.bstrVal = TBstr(Widen(argument)).Release();
        text.vt = VT_BSTR;
        DISPPARAMS params{&text, nullptr, argument.empty() ? 0u : 1u, 0};
        TVariant result;
        const HRESULT hr = FObject->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                           &params, &result, nullptr, nullptr);
        if (FAILED(hr))
            throw Exception("\"" + FPath + "." + name + "()\" of the page failed (" +
                            HResultText(hr) + ")");
        if (result.vt != VT_DISPATCH || !result.pdispVal)
            return nullptr;
        return std::make_unique<TDispatchObject>(Microsoft::WRL::ComPtr<IDispatch>(result.pdispVal),
                                                 FPath + "." + name + "()");
    }

    // A number property (a box's edge may be fractional).
    double GetNumberProperty(const std::string& name) {
        TVariant value;
        Get(name, value);
        if (FAILED(::VariantChangeType(&value, &value, 0, VT_R8)))
            throw Exception("\"" + FPath + "." + name + "\" of the page is not a number");
        return value.dblVal;
    }

  private:
    DISPID Id(const std::string& name) {
        std::wstring wide = Widen(name);
        LPOLESTR names[] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = FObject->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            throw Exception("\"" + FPath + "\" of the page has no \"" + name + "\" (" +
                            HResultText(hr) + ")");
        return id;
    }

    void Get(const std::string& name, TVariant& value) {
        const DISPID id = Id(name);
        DISPPARAMS none{};
        const HRESULT hr = FObject->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                           &none, &value, nullptr, nullptr);
        if (FAILED(hr))
            throw Exception("\"" + FPath + "." + name + "\" of the page cannot be read (" +
                            HResultText(hr) + ")");
    }

    Microsoft::WRL::ComPtr<IDispatch> FObject;
    std::string FPath;  // "body", "body.style": for messages
};

}  // namespace lum::win32
