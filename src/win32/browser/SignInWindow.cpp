#include "win32/browser/SignInWindow.h"

#include <ole2.h>

#include <algorithm>

#include "common/Forms.h"
#include "settings/SignInUrl.h"
#include "win32/Strings.h"
#include "win32/WindowDpi.h"
#include "win32/browser/BrowserEmulation.h"
#include "win32/browser/ComUtil.h"

namespace lum::win32 {

namespace {

constexpr const wchar_t* kClassName = L"TLumenarySignInForm";
// The window's size at 96 dpi, where the work area allows it.
constexpr int kWidth = 1024;
constexpr int kHeight = 768;

}  // namespace

TSignInWindow::TSignInWindow(HWND owner, const std::string& url) : FOwner(owner) {
    RegisterClassOnce(kClassName, &Procedure, CS_HREDRAW | CS_VREDRAW,
                      reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    // The window opens over its owner, at the scale of the owner's monitor.
    const int dpi = WindowDpi(owner);
    // Until the page names its title, the URL stands for it.
    ::CreateWindowExW(0, kClassName, Widen(SignInWindowTitle(url)).c_str(),
                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                      ScaleToDpi(kWidth, dpi), ScaleToDpi(kHeight, dpi), owner, nullptr,
                      ::GetModuleHandleW(nullptr), this);
    if (!FWnd)
        throw Exception("サインインのウィンドウを作成できません");
    PlaceOverOwner();
    RECT client{};
    ::GetClientRect(FWnd, &client);
    try {
        FHost = TWebBrowserHost::Create(FWnd, client, TBrowserUse::Visible);
        FHost->OnTitleChange = [this](const std::string& title) {
            if (FWnd && !title.empty())
                ::SetWindowTextW(FWnd, Widen(SignInWindowTitle(title)).c_str());
        };
        // A sign-in page that closes itself once it is done (a pop-up
        // shown in this window): the window closes, as the pop-up would
        // have; the control would otherwise be left empty.
        FHost->OnWindowClosing = [this] {
            if (FWnd)
                ::PostMessageW(FWnd, WM_CLOSE, 0, 0);
        };
        const HRESULT hr = FHost->Navigate(url);
        if (FAILED(hr))
            throw Exception("\"" + url + "\" を開けません (" + HResultText(hr) + ")");
    } catch (...) {
        CloseControl();
        DestroyOwnWindow();
        throw;
    }
}

TSignInWindow::~TSignInWindow() {
    EnableOwner();
    CloseControl();
    DestroyOwnWindow();
}

// Centred on the work area of the owner's monitor, and no larger than nine
// tenths of it, so that the dialog still shows around it.
void TSignInWindow::PlaceOverOwner() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(FOwner ? FOwner : FWnd, MONITOR_DEFAULTTONEAREST),
                           &monitor))
        return;
    const RECT& area = monitor.rcWork;
    RECT frame{};
    ::GetWindowRect(FWnd, &frame);
    const int width = std::min<int>(frame.right - frame.left, (area.right - area.left) * 9 / 10);
    const int height = std::min<int>(frame.bottom - frame.top, (area.bottom - area.top) * 9 / 10);
    ::SetWindowPos(FWnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TSignInWindow::RunModal() {
    if (!FWnd)
        return;
    if (FOwner && ::IsWindowEnabled(FOwner)) {
        ::EnableWindow(FOwner, FALSE);
        FOwnerDisabled = true;
    }
    ::ShowWindow(FWnd, SW_SHOW);
    ::SetForegroundWindow(FWnd);
    MSG msg{};
    while (FWnd) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT belongs to the outer loop: leave it there.
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        // The control sees its keys first, as in a browser: Tab moves
        // through the page's fields, Enter sends a form, Backspace edits.
        if (FHost && FHost->TranslateKey(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    EnableOwner();
}

// The owner is enabled before the window goes, as a modal dialog's is, so
// that the system activates the owner and not some other program's window.
void TSignInWindow::EnableOwner() noexcept {
    if (!FOwnerDisabled)
        return;
    FOwnerDisabled = false;
    if (::IsWindow(FOwner))
        ::EnableWindow(FOwner, TRUE);
}

void TSignInWindow::CloseControl() noexcept {
    if (!FHost)
        return;
    FHost->Close();
    FHost.Reset();
}

LRESULT TSignInWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SIZE:
            if (FHost && wParam != SIZE_MINIMIZED)
                FHost->SetBounds(RECT{0, 0, LOWORD(lParam), HIWORD(lParam)});
            return 0;
        case WM_DPICHANGED:
            // Dragged to a monitor of another scale: the size the system
            // suggests for it (the page follows through WM_SIZE).
            if (const auto* r = reinterpret_cast<const RECT*>(lParam))
                ::SetWindowPos(FWnd, nullptr, r->left, r->top, r->right - r->left,
                               r->bottom - r->top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        case WM_SETFOCUS:
            // The keyboard goes on to the page.
            if (FHost)
                FHost->Activate();
            return 0;
        case WM_CLOSE:
            EnableOwner();
            ::DestroyWindow(FWnd);
            return 0;
        case WM_DESTROY:
            // The control is closed while its window still exists.
            CloseControl();
            return 0;
        default:
            return ::DefWindowProcW(FWnd, msg, wParam, lParam);
    }
}

void RunSignInWindow(HWND owner, HWND focusAfter, const std::string& url) noexcept {
    const HRESULT ole = ::OleInitialize(nullptr);
    // Pages in the engine's standards mode, as the captures show them, even
    // when no capture has run yet in this process.
    EnsureBrowserEmulation();
    try {
        TSignInWindow window(owner, url);
        window.RunModal();
    } catch (...) {
        ReportWindowException(std::current_exception());
    }
    if (SUCCEEDED(ole))
        ::OleUninitialize();
    if (::IsWindow(owner) && ::IsWindowEnabled(owner)) {
        ::SetActiveWindow(owner);
        if (::IsWindow(focusAfter))
            ::SetFocus(focusAfter);
    }
}

}  // namespace lum::win32
