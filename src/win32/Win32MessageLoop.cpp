#include "win32/Win32MessageLoop.h"

#include "win32/Strings.h"

namespace lum::win32 {

namespace {

constexpr UINT kDeferredMessage = WM_APP + 1;
constexpr const wchar_t* kClassName = L"LumenaryDeferred";

}  // namespace

TWin32ApplicationPlatform::TWin32ApplicationPlatform() {
    RegisterClassOnce(kClassName, &Procedure, CS_DBLCLKS);
    ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                      ::GetModuleHandleW(nullptr), this);
}

TWin32ApplicationPlatform::~TWin32ApplicationPlatform() {
    RunDeferred();
    DestroyOwnWindow();
}

void TWin32ApplicationPlatform::ShowErrorReport(const std::string& title,
                                                const std::string& message) {
    // Owned by the active window (in a run, the topmost full-screen form)
    // and itself topmost, so the report is never hidden behind the saver.
    HWND owner = ::GetActiveWindow();
    ::MessageBoxW(owner, Widen(message).c_str(), Widen(title).c_str(),
                  MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND |
                      (owner ? MB_APPLMODAL : MB_TASKMODAL));
}

void TWin32ApplicationPlatform::WriteLog(const std::string& line) {
    ::OutputDebugStringW(Widen("Lumenary: " + line + "\n").c_str());
}

void TWin32ApplicationPlatform::PostDeferred(std::function<void()> action) {
    FQueue.Push(std::move(action));
    // A window message, not a thread message: modal loops keep dispatching
    // it. PostMessage may be called from any thread; the window's own runs it.
    ::PostMessageW(Window(), kDeferredMessage, 0, 0);
}

void TWin32ApplicationPlatform::RunDeferred() {
    FQueue.RunAll([](std::function<void()>& action) {
        try {
            action();
        } catch (...) {
            // After the program's end there is no application left to report to.
            ReportWindowException(std::current_exception());
        }
    });
}

LRESULT TWin32ApplicationPlatform::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDeferredMessage) {
        RunDeferred();
        return 0;
    }
    return ::DefWindowProcW(Window(), msg, wParam, lParam);
}

int RunMessageLoop(const std::function<bool(const MSG&)>& shortcut) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && shortcut &&
            shortcut(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace lum::win32
