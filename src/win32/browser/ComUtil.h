// Small owners for the OLE automation types the web view passes around
// (VARIANT, BSTR) and the text of a failed HRESULT for error messages.
// Allocation failures throw lum::Exception.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace lum::win32 {

// A VARIANT cleared when it goes.
struct TVariant : VARIANT {
    TVariant() noexcept { ::VariantInit(this); }
    ~TVariant() { ::VariantClear(this); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
};

// A BSTR freed when it goes.
class TBstr {
  public:
    explicit TBstr(std::wstring_view text)
        : FValue(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!FValue)
            throw Exception("out of memory for a string");
    }
    ~TBstr() { ::SysFreeString(FValue); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    BSTR Get() const noexcept { return FValue; }
    // Hands the string over (for a VARIANT that will free it).
    BSTR Release() noexcept {
        BSTR value = FValue;
        FValue = nullptr;
        return value;
    }

  private:
    BSTR FValue;
};

// "0x80004005" for error messages.
inline std::string HResultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace lum::win32
