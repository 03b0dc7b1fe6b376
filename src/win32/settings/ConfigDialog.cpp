#include "win32/settings/ConfigDialog.h"

#include <cwctype>

#include "settings/ConfigDlg.h"

namespace lum::win32 {

INT_PTR TConfigDialogWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:  // the close box
            FModalResult = 2;
            return TRUE;
        case WM_MEASUREITEM:
            MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            DrawColorItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_VSCROLL:
            // An arrow of a spin control moved it: its new position is the
            // last valid one from now on.
            if (LOWORD(wParam) == SB_THUMBPOSITION) {
                const auto position = static_cast<std::int32_t>(static_cast<short>(HIWORD(wParam)));
                if (reinterpret_cast<HWND>(lParam) == Control(idURLReloadTimeUpDown))
                    FSpinPositions[0] = position;
                else if (reinterpret_cast<HWND>(lParam) == Control(idURLShowTimeUpDown))
                    FSpinPositions[1] = position;
            }
            return TRUE;
        default:
            return FALSE;
    }
}

void TConfigDialogWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return;
    switch (id) {
        case IDOK:
            // A save that fails (and was reported) keeps the dialog open
            // with what it shows.
            if (!FEvents.OKBtnClick || FEvents.OKBtnClick())
                FModalResult = 1;
            break;
        case IDCANCEL:
            FModalResult = 2;
            break;
        case idEraseSection:
            if (FEvents.EraseSectionClick)
                FEvents.EraseSectionClick();
            break;
        default:
            break;
    }
}

// The labels of the two time boxes have access keys that lead nowhere. The
// dialog manager would move the focus to the control after such a label, so
// their letters are dropped before it sees them: with Alt always, without
// Alt where the focused control takes no characters (then a bare letter is
// an access key too).
bool TConfigDialogWindow::IsDeadAccessKey(const MSG& msg) const {
    if (msg.message != WM_SYSCHAR && msg.message != WM_CHAR)
        return false;
    const wint_t key = std::towupper(static_cast<wint_t>(msg.wParam));
    if (key != L'M' && key != L'S')
        return false;
    if (msg.hwnd != FWnd && !::IsChild(FWnd, msg.hwnd))
        return false;
    if (msg.message == WM_SYSCHAR)
        return true;
    const LRESULT code =
        ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    return (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) == 0;
}

int TConfigDialogWindow::ShowModal() {
    HWND wnd = FWnd;
    HWND owner = ::GetWindow(wnd, GW_OWNER);
    const bool disableOwner = owner && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);
    ShowForInput(wnd);
    RunModalLoop(wnd);
    // The window stays on screen until the dialog is released: the host
    // enables the owner window after this returns and brings it to the
    // foreground, which needs this program to still hold the foreground.
    // Hiding the dialog here, while its owner is still disabled, would hand
    // the activation to some other program's window first.
    if (disableOwner)
        ::EnableWindow(owner, TRUE);
    return FModalResult;
}

// The dialog on screen and in the foreground; the first time, the focus on
// its first control.
void TConfigDialogWindow::ShowForInput(HWND wnd) {
    ::ShowWindow(wnd, SW_SHOW);
    ::SetForegroundWindow(wnd);
    if (!FFocusSet) {
        FFocusSet = true;
        // The first control of the Tab order, with the caret at the start
        // (activation may have selected the whole text).
        ::SetFocus(Control(idURLList));
        ::SendMessageW(Control(idURLList), EM_SETSEL, 0, 0);
    }
}

// Dispatches the thread's messages, the dialog's own through the dialog
// manager, until a button or the close box sets the modal result, the window
// is gone or WM_QUIT arrives (which cancels).
void TConfigDialogWindow::RunModalLoop(HWND wnd) {
    FModalResult = 0;
    MSG msg{};
    while (FModalResult == 0 && ::IsWindow(wnd)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT belongs to the outer loop: leave it there and cancel.
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            FModalResult = 2;
            break;
        }
        if (IsDeadAccessKey(msg))
            continue;
        if (!::IsDialogMessageW(wnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

THandle TConfigDialogWindow::Handle() {
    return reinterpret_cast<THandle>(FWnd);
}

TRect TConfigDialogWindow::BoundsRect() {
    RECT rect{};
    ::GetWindowRect(FWnd, &rect);
    return TRect{rect.left, rect.top, rect.right, rect.bottom};
}

void TConfigDialogWindow::SetBounds(const TRect& bounds) {
    ::SetWindowPos(FWnd, nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TConfigDialogWindow::SetVisible(bool visible) {
    ::ShowWindow(FWnd, visible ? SW_SHOW : SW_HIDE);
}

TSize TConfigDialogWindow::ScreenSize() {
    return TSize{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

void TConfigDialogWindow::SetEvents(TConfigDialogEvents events) {
    FEvents = std::move(events);
}

std::unique_ptr<TCustomForm> CreateLumenaryConfigDlg(TComponent* owner,
                                                     IRegistry& registry,
                                                     IFileSystem& fileSystem,
                                                     IMessageBoxes& messageBoxes,
                                                     const std::string& cacheDir,
                                                     THandle parentWnd) {
    return std::make_unique<TLumenaryConfigDlg>(owner, registry, fileSystem, messageBoxes, cacheDir,
                                                std::make_unique<TConfigDialogWindow>(parentWnd));
}

}  // namespace lum::win32
