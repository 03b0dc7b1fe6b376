#include "win32/FormWindow.h"

#include "win32/Strings.h"

namespace lum::win32 {

namespace {

constexpr UINT kDeferredMessage = WM_APP + 1;

class TWin32FormWindow : public IFormWindow {
  public:
    TWin32FormWindow(TWinControl& form, const TFormWindowStyle& style);
    ~TWin32FormWindow() override;

    THandle Handle() override { return reinterpret_cast<THandle>(FWnd); }
    TRect Bounds() override;
    void SetBounds(const TRect& bounds) override;
    bool Visible() override { return FWnd && ::IsWindowVisible(FWnd); }
    void SetVisible(bool visible) override;
    void SetParentWindow(THandle parent) override;
    void Invalidate() override { ::InvalidateRect(FWnd, nullptr, FALSE); }
    void DefaultHandler(TMessage& message) override;
    void Paint(const std::function<void(ICanvas&)>& paint) override;
    void SetTimer(std::uint32_t id, std::uint32_t ms) override {
        ::SetTimer(FWnd, id, ms, nullptr);
    }
    void KillTimer(std::uint32_t id) override {
        if (FWnd)
            ::KillTimer(FWnd, id);
    }

  private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

    TWinControl& FForm;
    bool FMain;
    HWND FWnd = nullptr;
    HWND FCurrentWnd = nullptr;  // the window whose message is being handled
    // The form sees messages only once its window exists: those sent while
    // CreateWindowEx runs get the default processing (the form's handle is
    // not known to it yet, and asking for it would create a second window).
    bool FAttached = false;
};

TWin32FormWindow::TWin32FormWindow(TWinControl& form, const TFormWindowStyle& style)
    : FForm(form), FMain(style.MainWindow) {
    const std::wstring className = Widen(style.ClassName);
    RegisterClassOnce(className.c_str(), &Proc, CS_DBLCLKS);
    const DWORD ws = style.Popup ? (WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)
                                 : (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    const TRect& b = style.Bounds;
    ::CreateWindowExW(0, className.c_str(), Widen(style.Caption).c_str(), ws, b.Left, b.Top,
                      b.Width(), b.Height(), reinterpret_cast<HWND>(style.Owner), nullptr,
                      ::GetModuleHandleW(nullptr), this);
    if (!FWnd)
        throw Exception("the window of " + style.ClassName + " cannot be created");
    FAttached = true;
}

TWin32FormWindow::~TWin32FormWindow() {
    if (FWnd) {
        HWND wnd = FWnd;
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        FWnd = nullptr;
        ::DestroyWindow(wnd);
    }
}

TRect TWin32FormWindow::Bounds() {
    RECT r{};
    ::GetWindowRect(FWnd, &r);
    if (HWND parent = ::GetParent(FWnd); parent && (::GetWindowLongW(FWnd, GWL_STYLE) & WS_CHILD))
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return TRect{r.left, r.top, r.right, r.bottom};
}

void TWin32FormWindow::SetBounds(const TRect& b) {
    ::SetWindowPos(FWnd, nullptr, b.Left, b.Top, b.Width(), b.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32FormWindow::SetVisible(bool visible) {
    ::ShowWindow(FWnd, visible ? SW_SHOW : SW_HIDE);
    if (visible)
        ::UpdateWindow(FWnd);
}

void TWin32FormWindow::SetParentWindow(THandle parent) {
    ::SetParent(FWnd, reinterpret_cast<HWND>(parent));
}

void TWin32FormWindow::DefaultHandler(TMessage& m) {
    m.Result = ::DefWindowProcW(FCurrentWnd ? FCurrentWnd : FWnd, m.Msg, m.WParam, m.LParam);
}

void TWin32FormWindow::Paint(const std::function<void(ICanvas&)>& paint) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(FWnd, &ps);
    if (dc)
        PaintDoubleBuffered(FWnd, dc, paint);
    ::EndPaint(FWnd, &ps);
}

LRESULT CALLBACK TWin32FormWindow::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TWin32FormWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FWnd = wnd;
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWin32FormWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    return self->HandleMessage(wnd, msg, wParam, lParam);
}

LRESULT TWin32FormWindow::HandleMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCDESTROY) {
        // Destroyed from outside (the preview's parent went away, or the
        // close passed): the form keeps no dangling handle.
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        const LRESULT r = ::DefWindowProcW(wnd, msg, wParam, lParam);
        FWnd = nullptr;
        if (FMain)
            ::PostQuitMessage(0);
        return r;
    }
    if (!FAttached)
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    HWND previous = FCurrentWnd;
    FCurrentWnd = wnd;
    // No exception crosses the window procedure: it becomes the standard
    // error report and the message counts as handled.
    try {
        FForm.Dispatch(m);
    } catch (const std::exception& e) {
        Application().ShowException(e);
    } catch (...) {
        Application().ShowException(std::string("unknown error"));
    }
    FCurrentWnd = previous;
    return m.Result;
}

}  // namespace

void RegisterClassOnce(const wchar_t* name, WNDPROC proc, UINT style, HBRUSH background) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(instance, name, &wc))
        return;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
}

std::unique_ptr<IFormWindow> TWin32FormWindowFactory::CreateFormWindow(
    TWinControl& form,
    const TFormWindowStyle& style) {
    return std::make_unique<TWin32FormWindow>(form, style);
}

TWin32ApplicationPlatform::TWin32ApplicationPlatform() {
    RegisterClassOnce(L"LumenaryDeferred", &Proc, CS_DBLCLKS);
    FWindow = ::CreateWindowExW(0, L"LumenaryDeferred", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TWin32ApplicationPlatform::~TWin32ApplicationPlatform() {
    RunDeferred();
    if (FWindow)
        ::DestroyWindow(FWindow);
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

void TWin32ApplicationPlatform::PostDeferred(std::function<void()> action) {
    FQueue.push_back(std::move(action));
    // A window message, not a thread message: modal loops keep dispatching it.
    ::PostMessageW(FWindow, kDeferredMessage, 0, 0);
}

void TWin32ApplicationPlatform::RunDeferred() {
    while (!FQueue.empty()) {
        auto action = std::move(FQueue.front());
        FQueue.erase(FQueue.begin());
        try {
            action();
        } catch (const std::exception& e) {
            // After the program's end there is no application left to report to.
            try {
                Application().ShowException(e);
            } catch (...) {
            }
        }
    }
}

LRESULT CALLBACK TWin32ApplicationPlatform::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDeferredMessage) {
        if (auto* self = reinterpret_cast<TWin32ApplicationPlatform*>(
                ::GetWindowLongPtrW(wnd, GWLP_USERDATA)))
            self->RunDeferred();
        return 0;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
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

#include "win32/GdiCanvas.h"

namespace lum::win32 {

void PaintDoubleBuffered(HWND wnd, HDC dc, const std::function<void(ICanvas&)>& paint) {
    RECT client{};
    ::GetClientRect(wnd, &client);
    TGdiCanvas canvas(dc, client.right - client.left, client.bottom - client.top);
    paint(canvas);
    canvas.Present();
}

}  // namespace lum::win32
