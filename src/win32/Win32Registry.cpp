#include "win32/Win32Registry.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "win32/Strings.h"

namespace lum::win32 {

namespace {

HKEY AsHKey(IRegistry::TKey key) {
    return reinterpret_cast<HKEY>(key);
}
IRegistry::TKey AsKey(HKEY key) {
    return reinterpret_cast<IRegistry::TKey>(key);
}

// The longest value name the registry allows is 16383 characters, the
// longest key name 255.
constexpr DWORD kMaxValueName = 16384;
constexpr DWORD kMaxKeyName = 256;

// Reads the data of a string value. The value may change between the size
// query and the read; a few retries with the new size cover that.
bool ReadStringData(HKEY key, const std::wstring& name, DWORD size, std::wstring& text) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        // Whole wide characters plus one spare, so an odd byte count or data
        // without a terminating NUL never reads past the buffer.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD type = 0;
        DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        const LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (rc == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return false;
        // The text ends at the first NUL; a trailing odd byte is no character.
        const std::size_t chars = got / sizeof(wchar_t);
        std::size_t length = 0;
        while (length < chars && buffer[length] != L'\0')
            ++length;
        text.assign(buffer.data(), length);
        return true;
    }
    return false;
}

}  // namespace

IRegistry::TKey TWin32Registry::CurrentUser() {
    return AsKey(HKEY_CURRENT_USER);
}

IRegistry::TKey TWin32Registry::CreateKey(TKey parent, const std::string& path) {
    HKEY key = nullptr;
    const LONG rc =
        ::RegCreateKeyExW(AsHKey(parent), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return rc == ERROR_SUCCESS ? AsKey(key) : 0;
}

IRegistry::TKey TWin32Registry::OpenKey(TKey parent, const std::string& path) {
    HKEY key = nullptr;
    const LONG rc = ::RegOpenKeyExW(AsHKey(parent), Widen(path).c_str(), 0, KEY_ALL_ACCESS, &key);
    return rc == ERROR_SUCCESS ? AsKey(key) : 0;
}

void TWin32Registry::CloseKey(TKey key) {
    if (key && key != CurrentUser())
        ::RegCloseKey(AsHKey(key));
}

bool TWin32Registry::QueryValue(TKey key, const std::string& name, TRegValue& value) {
    const std::wstring wideName = Widen(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExW(AsHKey(key), wideName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    value.Type = type;
    value.Text.clear();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return true;
    std::wstring text;
    if (size > 0 && !ReadStringData(AsHKey(key), wideName, size, text))
        return false;
    value.Text = Narrow(text);
    return true;
}

bool TWin32Registry::SetStringValue(TKey key, const std::string& name, const std::string& text) {
    const std::wstring wide = Widen(text);
    const DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(AsHKey(key), Widen(name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(wide.c_str()), bytes) == ERROR_SUCCESS;
}

std::uint32_t TWin32Registry::ValueCount(TKey key) {
    DWORD values = 0;
    if (::RegQueryInfoKeyW(AsHKey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return values;
}

bool TWin32Registry::ValueName(TKey key, std::uint32_t index, std::string& name) {
    std::vector<wchar_t> buffer(kMaxValueName + 1, L'\0');
    DWORD length = kMaxValueName + 1;
    if (::RegEnumValueW(AsHKey(key), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    name = Narrow(std::wstring_view(buffer.data(), std::min<DWORD>(length, kMaxValueName)));
    return true;
}

std::uint32_t TWin32Registry::SubkeyCount(TKey key) {
    DWORD subkeys = 0;
    if (::RegQueryInfoKeyW(AsHKey(key), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return subkeys;
}

bool TWin32Registry::SubkeyName(TKey key, std::uint32_t index, std::string& name) {
    wchar_t buffer[kMaxKeyName + 1] = {};
    DWORD length = kMaxKeyName + 1;
    if (::RegEnumKeyExW(AsHKey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    name = Narrow(std::wstring_view(buffer, std::min<DWORD>(length, kMaxKeyName)));
    return true;
}

bool TWin32Registry::DeleteKey(TKey parent, const std::string& name) {
    return ::RegDeleteKeyW(AsHKey(parent), Widen(name).c_str()) == ERROR_SUCCESS;
}

}  // namespace lum::win32
