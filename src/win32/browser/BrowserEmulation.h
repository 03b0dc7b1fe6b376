// The browser-emulation setting of this program: lets pages in the hosted
// WebBrowser control render in the engine's current standards mode instead
// of the legacy mode a hosted control falls back to. Failures are ignored.
#pragma once

#include <windows.h>

#include <string>

namespace lum::win32 {

inline constexpr const wchar_t* kBrowserEmulationKey =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
inline constexpr DWORD kBrowserEmulationMode = 11001;

// Writes the FEATURE_BROWSER_EMULATION value (REG_DWORD 11001) under
// HKEY_CURRENT_USER for this program's file name when there is none. An
// existing value, of whatever type, is left as the user set it. The engine
// reads the value when it first loads in the process: call this before the
// first WebBrowser control is created.
void EnsureBrowserEmulation();

// The file name of the running program ("Lumenary.scr").
std::wstring ProgramFileName();

}  // namespace lum::win32
