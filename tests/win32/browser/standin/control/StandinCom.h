// COM plumbing shared by the objects of the stand-in WebBrowser control: a
// count of live objects (the DLL stays loaded while any exists), and the
// parts of IDispatch that no object here implements (type information).
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <string>

namespace lum::standin {

// The DLL's module, for its window classes and windows.
HINSTANCE ModuleInstance() noexcept;
// Objects of this DLL alive now.
LONG LiveObjects() noexcept;
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;

// A reference count; the object deletes itself at zero.
class TRefCount {
  public:
    TRefCount() noexcept { ObjectCreated(); }
    virtual ~TRefCount() { ObjectDestroyed(); }
    TRefCount(const TRefCount&) = delete;
    TRefCount& operator=(const TRefCount&) = delete;

  protected:
    ULONG AddRefImpl() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&FRefs)); }
    ULONG ReleaseImpl() noexcept {
        const LONG refs = ::InterlockedDecrement(&FRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

  private:
    LONG FRefs = 1;  // the creator's reference
};

#define LUM_STANDIN_REFCOUNT                     \
    ULONG STDMETHODCALLTYPE AddRef() override {  \
        return AddRefImpl();                     \
    }                                            \
    ULONG STDMETHODCALLTYPE Release() override { \
        return ReleaseImpl();                    \
    }

// An object that is only an IDispatch (a script reaches it by name).
#define LUM_STANDIN_DISPATCH_ONLY LUM_STANDIN_DISPATCH_AND(IDispatch)

// An object that is an IDispatch and one interface derived from it, which it
// is by that interface.
#define LUM_STANDIN_DISPATCH_AND(Interface)                                               \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {       \
        if (!object)                                                                      \
            return E_POINTER;                                                             \
        *object = nullptr;                                                                \
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != __uuidof(Interface)) \
            return E_NOINTERFACE;                                                         \
        *object = static_cast<Interface*>(this);                                          \
        AddRef();                                                                         \
        return S_OK;                                                                      \
    }

// No type information: callers bind by name through GetIDsOfNames.
#define LUM_STANDIN_NO_TYPEINFO                                                    \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {             \
        if (!count)                                                                \
            return E_POINTER;                                                      \
        *count = 0;                                                                \
        return S_OK;                                                               \
    }                                                                              \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override { \
        if (info)                                                                  \
            *info = nullptr;                                                       \
        return DISP_E_BADINDEX;                                                    \
    }

// Takes over the creator's reference of a new object. (ComPtr::Attach of
// this MinGW adds a reference of its own, unlike the Windows SDK's.)
template <typename T>
Microsoft::WRL::ComPtr<T> Adopt(T* object) {
    Microsoft::WRL::ComPtr<T> owner(object);
    if (object)
        object->Release();
    return owner;
}

// One name of a late-bound object and its DISPID.
struct TDispName {
    const wchar_t* Name;
    DISPID Id;
};

// GetIDsOfNames over a table, names compared without letter case as a
// script engine does; DISP_E_UNKNOWNNAME for a name not in it.
template <std::size_t N>
HRESULT IdsOfNames(const TDispName (&table)[N], LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i > 0) {
            result = DISP_E_UNKNOWNNAME;  // no named arguments here
            continue;
        }
        for (const TDispName& entry : table) {
            if (names[i] && ::lstrcmpiW(names[i], entry.Name) == 0)
                ids[i] = entry.Id;
        }
        if (ids[i] == DISPID_UNKNOWN)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

// The one string argument of a property put, or nullptr.
inline const VARIANT* PutArgument(const DISPPARAMS* params) {
    if (!params || params->cArgs != 1 || !params->rgvarg)
        return nullptr;
    return &params->rgvarg[0];
}

}  // namespace lum::standin
