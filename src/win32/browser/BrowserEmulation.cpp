#include "win32/browser/BrowserEmulation.h"

#include <vector>

#include "win32/UniqueHandle.h"

namespace lum::win32 {

std::wstring ProgramFileName() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        // A path that fills the buffer may have been cut short.
        if (n < path.size()) {
            const std::wstring full(path.data(), n);
            const std::size_t slash = full.find_last_of(L"\\/");
            return slash == std::wstring::npos ? full : full.substr(slash + 1);
        }
        path.resize(path.size() * 2);
    }
}

void EnsureBrowserEmulation() {
    const std::wstring name = ProgramFileName();
    if (name.empty())
        return;
    UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.Put(),
                          nullptr) != ERROR_SUCCESS)
        return;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) !=
        ERROR_FILE_NOT_FOUND)
        return;
    const DWORD mode = kBrowserEmulationMode;
    ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                     sizeof(mode));
}

}  // namespace lum::win32
