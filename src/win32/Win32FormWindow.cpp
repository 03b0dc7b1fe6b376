#include "win32/Win32FormWindow.h"

#include "win32/BaseWindow.h"
#include "win32/DeviceContexts.h"
#include "win32/DoubleBuffer.h"
#include "win32/Strings.h"

namespace lum::win32 {

namespace {

class TWin32FormWindow : public IFormWindow, public BaseWindow<TWin32FormWindow> {
  public:
    TWin32FormWindow(TWinControl& form, const TFormWindowStyle& style);
    ~TWin32FormWindow() override { DestroyOwnWindow(); }

    THandle Handle() override { return reinterpret_cast<THandle>(FWnd); }
    TRect Bounds() override;
    void SetBounds(const TRect& bounds) override;
    bool Visible() override { return FWnd && ::IsWindowVisible(FWnd); }
    void SetVisible(bool visible) override;
    void SetParentWindow(THandle parent) override;
    void Invalidate() override;
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
    friend class BaseWindow<TWin32FormWindow>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnNcDestroy() noexcept;

    TWinControl& FForm;
    bool FMain;
    // The form sees messages only once its window exists: those sent while
    // CreateWindowEx runs get the default processing (the form's handle is
    // not known to it yet, and asking for it would create a second window).
    bool FAttached = false;
    TDoubleBuffer FBuffer;
};

TWin32FormWindow::TWin32FormWindow(TWinControl& form, const TFormWindowStyle& style)
    : FForm(form), FMain(style.MainWindow) {
    const std::wstring className = Widen(style.ClassName);
    RegisterClassOnce(className.c_str(), &Procedure, CS_DBLCLKS);
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
    if (m.Msg == WM_DPICHANGED) {
        // A per-monitor aware window is resized by nobody but itself: it
        // takes the rectangle the system suggests for the new DPI (lParam).
        if (const auto* r = reinterpret_cast<const RECT*>(m.LParam))
            ::SetWindowPos(FWnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
        m.Result = 0;
        return;
    }
    m.Result = ::DefWindowProcW(FWnd, m.Msg, m.WParam, m.LParam);
}

// A new frame is asked for with a paint of one pixel: the paint records the
// frame and shows only what changed (see Paint). A window that the system
// asks to paint (uncovered, say) gets its whole update region as well.
void TWin32FormWindow::Invalidate() {
    static constexpr RECT kCorner{0, 0, 1, 1};
    if (FWnd)
        ::InvalidateRect(FWnd, FBuffer.HoldsFrame() ? &kCorner : nullptr, FALSE);
}

void TWin32FormWindow::Paint(const std::function<void(ICanvas&)>& paint) {
    std::vector<RECT> changed;
    {
        // The paint ends (and validates the window) also when paint throws.
        const PaintDc dc(FWnd);
        if (!dc)
            return;
        changed = FBuffer.Render(FWnd, dc.Get(), paint);
        FBuffer.Present(dc.Get(), dc.Info().rcPaint);
    }
    // The paint DC reaches no further than the update region: the changed
    // parts go to the screen through the window's own DC.
    if (!changed.empty()) {
        const WindowDc dc(FWnd);
        for (const RECT& rect : changed)
            FBuffer.Present(dc.Get(), rect);
    }
}

void TWin32FormWindow::OnNcDestroy() noexcept {
    // Destroyed from outside (the preview's parent went away, or the close
    // passed): the form keeps no dangling handle, and the main form's end
    // ends the message loop.
    if (FMain)
        ::PostQuitMessage(0);
}

LRESULT TWin32FormWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!FAttached)
        return ::DefWindowProcW(FWnd, msg, wParam, lParam);
    if (msg == WM_SYSCOLORCHANGE) {
        // Another colour scheme: every part drawn in a system colour is
        // wrong now, not only what changes in the next frame.
        FBuffer.Forget();
        ::InvalidateRect(FWnd, nullptr, FALSE);
    }
    if (msg == WM_DPICHANGED) {
        // Text of another size: the next paint makes the font for the new
        // DPI and draws the whole frame again.
        FBuffer.Forget();
        ::InvalidateRect(FWnd, nullptr, FALSE);
    }
    TMessage m{msg, wParam, lParam, 0};
    // No exception crosses the window procedure: it becomes the standard
    // error report and the message counts as handled.
    try {
        FForm.Dispatch(m);
    } catch (...) {
        ReportWindowException(std::current_exception());
    }
    return m.Result;
}

}  // namespace

std::unique_ptr<IFormWindow> TWin32FormWindowFactory::CreateFormWindow(
    TWinControl& form,
    const TFormWindowStyle& style) {
    return std::make_unique<TWin32FormWindow>(form, style);
}

}  // namespace lum::win32
