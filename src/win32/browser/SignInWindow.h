// The sign-in window of the settings dialog: a normal, resizable window with
// the WebBrowser control, visible and working, at one page, so that the user
// signs in by hand once and the captures (which share the system's cookie
// store) are signed in after. Its caption is the page's title. Creation
// throws lum::Exception; nothing else throws.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "win32/BaseWindow.h"
#include "win32/browser/WebBrowserHost.h"

namespace lum::win32 {

class TSignInWindow final : public BaseWindow<TSignInWindow> {
  public:
    // Creates the window owned by owner (nullptr: none), hidden, with the
    // control in its client area navigated to url. OLE must be initialised
    // on the thread.
    TSignInWindow(HWND owner, const std::string& url);
    ~TSignInWindow();
    TSignInWindow(const TSignInWindow&) = delete;
    TSignInWindow& operator=(const TSignInWindow&) = delete;

    // Shows the window and runs it as a modal dialog runs: the owner is
    // disabled until the window is closed, then enabled and active again.
    // Returns once the window is gone, or at WM_QUIT (posted again for the
    // loop outside).
    void RunModal();
    // The hosted control; nullptr once the window is closed.
    TWebBrowserHost* Host() const noexcept { return FHost.Get(); }

  private:
    friend class BaseWindow<TSignInWindow>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void PlaceOverOwner();
    void EnableOwner() noexcept;
    void CloseControl() noexcept;

    HWND FOwner;
    bool FOwnerDisabled = false;  // by RunModal, until the window closes
    Microsoft::WRL::ComPtr<TWebBrowserHost> FHost;
};

// Opens the sign-in window at url over owner (the settings dialog) and
// returns when it has been closed; the focus is back in focusAfter then.
// A window that cannot be opened is told in the standard error report.
void RunSignInWindow(HWND owner, HWND focusAfter, const std::string& url) noexcept;

}  // namespace lum::win32
