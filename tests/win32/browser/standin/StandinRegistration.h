// Registers the stand-in WebBrowser control for the WebBrowser class while a
// test needs it, and puts the built-in registration back afterwards. Register
// returns false when the registry refuses a key.
//
// Windows reads a per-user class registration (HKEY_CURRENT_USER, under
// Software\Classes) before the machine's, so that is where the stand-in goes. Wine's
// COM reads only the machine's classes (HKEY_LOCAL_MACHINE\Software\Classes,
// its HKEY_CLASSES_ROOT), so under Wine the server path of the class there is
// pointed at the stand-in too, and the path it had is written back on
// Unregister. The e2e scripts do the same through scripts/wine-env.sh.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lum::standin {

inline constexpr const wchar_t* kUserClassKey =
    L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}";
inline constexpr const wchar_t* kServerKey =
    L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";

class TStandinRegistration {
  public:
    TStandinRegistration() = default;
    ~TStandinRegistration() { Unregister(); }
    TStandinRegistration(const TStandinRegistration&) = delete;
    TStandinRegistration& operator=(const TStandinRegistration&) = delete;

    // dllPath: a Windows path, or a Unix path that Wine reaches on drive Z:.
    bool Register(std::wstring dllPath) {
        if (!dllPath.empty() && dllPath[0] == L'/')
            dllPath = L"Z:" + dllPath;
        for (wchar_t& c : dllPath) {
            if (c == L'/')
                c = L'\\';
        }
        FUser = true;
        if (!Set(HKEY_CURRENT_USER, nullptr, dllPath) ||
            !Set(HKEY_CURRENT_USER, L"ThreadingModel", L"Apartment"))
            return false;
        if (!FMachine) {
            FMachineServer = Get(HKEY_LOCAL_MACHINE);
            FMachine = true;
        }
        return Set(HKEY_LOCAL_MACHINE, nullptr, dllPath);
    }

    void Unregister() {
        if (FUser)
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kUserClassKey);
        if (FMachine)
            Set(HKEY_LOCAL_MACHINE, nullptr, FMachineServer);
        FUser = FMachine = false;
    }

  private:
    static bool Set(HKEY root, const wchar_t* name, const std::wstring& value) {
        return ::RegSetKeyValueW(root, kServerKey, name, REG_SZ, value.c_str(),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    static std::wstring Get(HKEY root) {
        DWORD size = 0;
        if (::RegGetValueW(root, kServerKey, nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return L"";
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (::RegGetValueW(root, kServerKey, nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
            ERROR_SUCCESS)
            return L"";
        return text.data();
    }

    bool FUser = false;
    bool FMachine = false;
    std::wstring FMachineServer;  // the class's server path before Register
};

}  // namespace lum::standin
