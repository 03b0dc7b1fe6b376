#include "win32/browser/UrlEditMenu.h"

#include <commctrl.h>

#include "settings/SignInUrl.h"
#include "win32/Strings.h"
#include "win32/UniqueHandle.h"
#include "win32/browser/SignInWindow.h"

namespace lum::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x4C55;  // "LU"

struct TMenuTraits {
    using Type = HMENU;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DestroyMenu(h); }
};

void AddItem(HMENU menu, UINT command, const char* text, bool enabled) {
    ::AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), command,
                  Widen(text).c_str());
}

// Where a menu opened from the keyboard (lParam -1) goes: at the caret, or
// at the box's top left when the caret's place is not known.
POINT KeyboardMenuPoint(HWND edit) {
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    POINT point{0, 0};
    // EM_POSFROMCHAR answers -1 for the place after the last character.
    const LRESULT at = ::SendMessageW(edit, EM_POSFROMCHAR, end, 0);
    if (at != -1) {
        point = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    } else if (::GetFocus() != edit || !::GetCaretPos(&point)) {
        point = {0, 0};
    }
    ::ClientToScreen(edit, &point);
    return point;
}

void ShowMenu(HWND edit, LPARAM where) {
    // As the system's own menu does: the box gets the focus first.
    if (::GetFocus() != edit)
        ::SetFocus(edit);
    POINT point{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
    if (where == -1)
        point = KeyboardMenuPoint(edit);
    const UniqueHandle<TMenuTraits> menu(BuildUrlEditMenu(edit));
    if (!menu)
        return;
    const UINT command = static_cast<UINT>(
        ::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x,
                         point.y, 0, edit, nullptr));
    if (command != 0 && ::IsWindow(edit))
        RunUrlEditCommand(edit, command);
}

LRESULT CALLBACK
UrlEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
        case WM_CONTEXTMENU:
            try {
                ShowMenu(edit, lParam);
            } catch (...) {
                ReportWindowException(std::current_exception());
            }
            return 0;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(edit, &UrlEditProc, kSubclassId);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(edit, msg, wParam, lParam);
}

}  // namespace

bool AttachUrlEditMenu(HWND edit) {
    return ::SetWindowSubclass(edit, &UrlEditProc, kSubclassId, 0) != FALSE;
}

HMENU BuildUrlEditMenu(HWND edit) {
    HMENU menu = ::CreatePopupMenu();
    if (!menu)
        return nullptr;
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    const bool selection = start != end;
    const DWORD length = static_cast<DWORD>(::GetWindowTextLengthW(edit));
    AddItem(menu, cmUrlUndo, "元に戻す(&U)", ::SendMessageW(edit, EM_CANUNDO, 0, 0) != 0);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, cmUrlCut, "切り取り(&T)", selection);
    AddItem(menu, cmUrlCopy, "コピー(&C)", selection);
    AddItem(menu, cmUrlPaste, "貼り付け(&P)", ::IsClipboardFormatAvailable(CF_UNICODETEXT));
    AddItem(menu, cmUrlDelete, "削除(&D)", selection);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    // Greyed only when everything is selected already.
    AddItem(menu, cmUrlSelectAll, "すべて選択(&A)", start != 0 || end != length);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, cmUrlSignIn, kSignInMenuText, !UrlEditSignInUrl(edit).empty());
    return menu;
}

std::string UrlEditSignInUrl(HWND edit) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    // The box does not wrap: its lines are the text's lines.
    const auto line =
        static_cast<int>(::SendMessageW(edit, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
    return SignInUrlAt(Narrow(text), line);
}

void RunUrlEditCommand(HWND edit, UINT command) {
    switch (command) {
        case cmUrlUndo:
            ::SendMessageW(edit, WM_UNDO, 0, 0);
            break;
        case cmUrlCut:
            ::SendMessageW(edit, WM_CUT, 0, 0);
            break;
        case cmUrlCopy:
            ::SendMessageW(edit, WM_COPY, 0, 0);
            break;
        case cmUrlPaste:
            ::SendMessageW(edit, WM_PASTE, 0, 0);
            break;
        case cmUrlDelete:
            ::SendMessageW(edit, WM_CLEAR, 0, 0);
            break;
        case cmUrlSelectAll:
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            break;
        case cmUrlSignIn: {
            const std::string url = UrlEditSignInUrl(edit);
            if (!url.empty())
                RunSignInWindow(::GetAncestor(edit, GA_ROOT), edit, url);
            break;
        }
        default:
            break;
    }
}

}  // namespace lum::win32
