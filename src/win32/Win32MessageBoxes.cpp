#include "win32/Win32MessageBoxes.h"

#include <algorithm>
#include <string>

#include "win32/Strings.h"

namespace lum::win32 {

namespace {

// The box being shown on this thread: its captions and the CBT hook that
// fixes them. Boxes opened from inside a box's own loop stack up.
struct THookState {
    HHOOK Hook = nullptr;
    std::wstring First;
    std::wstring Second;
    bool Done = false;
    THookState* Outer = nullptr;
};
thread_local THookState* tCurrentBox = nullptr;

bool IsDialogClass(HWND wnd) {
    wchar_t name[16] = {};
    ::GetClassNameW(wnd, name, 16);
    return std::wstring(name) == L"#32770";
}

// A message box picks its own button captions and its place over its owner
// (or wherever the system likes). The box's first activation is the moment
// it exists with all its buttons and is not yet drawn: the captions are
// replaced and the box moved to the middle of the screen there.
void PrepareBox(THookState& state, HWND box) {
    if (!state.First.empty())
        ::SetDlgItemTextW(box, IDOK, state.First.c_str());
    if (!state.Second.empty())
        ::SetDlgItemTextW(box, IDCANCEL, state.Second.c_str());
    RECT rect{};
    ::GetWindowRect(box, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int left = std::max(0, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int top = std::max(0, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    ::SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    THookState* state = tCurrentBox;
    if (code == HCBT_ACTIVATE && state && !state->Done) {
        HWND wnd = reinterpret_cast<HWND>(wParam);
        if (IsDialogClass(wnd)) {
            state->Done = true;
            PrepareBox(*state, wnd);
        }
    }
    return ::CallNextHookEx(state ? state->Hook : nullptr, code, wParam, lParam);
}

LPCWSTR StandardIcon(std::uint32_t icon) {
    switch (icon) {
        case MsgIcon::Hand:
            return IDI_HAND;
        case MsgIcon::Question:
            return IDI_QUESTION;
        case MsgIcon::Exclamation:
            return IDI_EXCLAMATION;
        case MsgIcon::Asterisk:
            return IDI_ASTERISK;
        default:
            return nullptr;
    }
}

// The box becomes the current one of this thread, on top of any outer one,
// with the hook that prepares it.
void HookBox(THookState& state) {
    state.Outer = tCurrentBox;
    state.Hook = ::SetWindowsHookExW(WH_CBT, &CbtProc, nullptr, ::GetCurrentThreadId());
    tCurrentBox = &state;
}

// The box has closed: the outer box, if any, is the current one again.
void UnhookBox(const THookState& state) {
    tCurrentBox = state.Outer;
    if (state.Hook)
        ::UnhookWindowsHookEx(state.Hook);
}

// The box's parameters; text and caption must outlive them.
MSGBOXPARAMSW BoxParams(const std::wstring& text,
                        const std::wstring& caption,
                        std::uint32_t icon,
                        bool twoButtons) {
    MSGBOXPARAMSW params{};
    params.cbSize = sizeof(params);
    params.hwndOwner = nullptr;  // no owner: task-modal instead, centred by the hook
    params.lpszText = text.c_str();
    params.lpszCaption = caption.c_str();
    // A box with an MB_ICON... style plays that icon's sound when it opens,
    // a second time after the beep the caller has just played. The same
    // system icon given as a user icon (module 0: the system's icons) is
    // drawn alike and plays nothing.
    params.hInstance = nullptr;
    params.lpszIcon = StandardIcon(icon);
    params.dwStyle = (twoButtons ? MB_OKCANCEL : MB_OK) | MB_DEFBUTTON1 | MB_TASKMODAL |
                     MB_SETFOREGROUND | (params.lpszIcon ? MB_USERICON : 0);
    return params;
}

// The window that was active before the box, if it can still take it.
void ReturnActivation(HWND active) {
    if (active && ::IsWindow(active) && ::IsWindowEnabled(active)) {
        ::SetForegroundWindow(active);
        ::SetActiveWindow(active);
    }
}

}  // namespace

void TWin32MessageBoxes::MessageBeep(std::uint32_t icon) {
    ::MessageBeep(icon);
}

bool TWin32MessageBoxes::ShowMessageBox(const TMessageBoxRequest& request) {
    // A two-button box is OK/Cancel underneath, not Yes/No: only a box with
    // a Cancel button answers Esc and its close box, and both must mean no.
    const bool twoButtons = request.Buttons == TMsgButtons::AcceptCancel;
    // Everything that can throw comes before the hook: the hook must never
    // outlive the state it points at.
    const std::wstring text = Widen(request.Text);
    const std::wstring caption = Widen(request.Caption);
    THookState state;
    state.First = Widen(request.FirstButton);
    state.Second = twoButtons ? Widen(request.SecondButton) : std::wstring();
    HookBox(state);
    const MSGBOXPARAMSW params = BoxParams(text, caption, request.Icon, twoButtons);
    // A box without owner leaves the activation to whichever window the
    // system picks when it closes (under Wine without a window manager, to
    // none): the window that was active gets it back.
    HWND active = ::GetActiveWindow();
    const int answer = ::MessageBoxIndirectW(&params);

    UnhookBox(state);
    ReturnActivation(active);
    return answer == IDOK;
}

}  // namespace lum::win32
