// What the stand-in control asks of its client site beyond the in-place
// protocol, as the real control does: the ambient properties it reads (the
// download controls, "silent"), the services a download's prompts look for
// through the site's IServiceProvider (IAuthenticate, IHttpSecurity,
// IWindowForBindingUI), and the prompt windows it opens where the site
// answers none. It also keeps the order of the teardown calls a host makes.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>

namespace lum::standin {

// The class of every prompt window the control opens (credentials dialog,
// security alert).
inline constexpr wchar_t kPromptClass[] = L"LumenaryStandinPrompt";

// An ambient property of the site as an integer (VT_BOOL true as 1), -1
// when the site gives none.
LONG ReadAmbient(IOleClientSite* site, DISPID id);

// How a download's prompt ended: the site let the page load (credentials
// given, a problem to be ignored), refused it (the download fails), or a
// prompt window opened (*prompt), which a person would have to answer: the
// real control's modal dialog holds the navigation until then.
enum class TPromptEnd { Allowed, Refused, Prompted };

// The server asked for credentials. As urlmon asks on the control's behalf:
// the site's IAuthenticate first (credentials: allowed; a window and none:
// the dialog, owned by it; a failure: refused), else the site's
// IWindowForBindingUI (a window: the dialog, owned by it; none: refused),
// else the dialog owned by the control's own window.
TPromptEnd AskForCredentials(IOleClientSite* site, HWND controlWindow, HWND* prompt);
// The server's certificate has the WinINet problem: the site's
// IHttpSecurity::OnSecurityProblem (RPC_E_RETRY: allowed; S_FALSE: the
// security alert, owned by its GetWindow's window or the control's; a
// failure such as E_ABORT: refused), else the alert owned by the control's
// window (which "silent" does not suppress: security alerts are not).
TPromptEnd AskAboutSecurityProblem(IOleClientSite* site,
                                   DWORD problem,
                                   HWND controlWindow,
                                   HWND* prompt);
// Prompt windows opened over the process.
LONG PromptsOpened() noexcept;
void RegisterPromptClass(HINSTANCE instance);
void UnregisterPromptClass(HINSTANCE instance);

// What the last navigation was asked to send and show: the Headers
// argument of Navigate ("Name: value" lines; empty for none), and the last
// OLECMDID_OPTICAL_ZOOM a host set (-1 before any).
void NoteHeaders(const VARIANT* headers);
std::wstring LastHeaders();
LONG LastZoom() noexcept;

// The teardown calls of the last host, in order: 'D' InPlaceDeactivate of
// an active control, 'U' Unadvise, 'C' Close, 'S' SetClientSite(nullptr).
// A new site starts the record anew.
void NoteTeardown(wchar_t call);
void StartTeardownRecord();
std::wstring TeardownCalls();

}  // namespace lum::standin
