// The one window plumbing of the Win32 layer: a class Derived that owns a
// window derives from BaseWindow<Derived> and gets its window procedure.
// The object is attached to its window when the window is created and
// detached at WM_NCDESTROY; no exception ever leaves the procedure.
#pragma once

#include <windows.h>

#include <exception>

namespace lum::win32 {

// Registers the window class name of this program once; later calls (a
// second window of the same kind) find it registered and do nothing.
void RegisterClassOnce(const wchar_t* name,
                       WNDPROC proc,
                       UINT style = 0,
                       HBRUSH background = nullptr);

// Shows the standard error report for an exception that reached a window
// procedure; without an application object there is nobody to tell.
void ReportWindowException(std::exception_ptr error) noexcept;

// A window made with CreateWindowEx: the object comes in lpCreateParams and
// is attached at WM_NCCREATE; unhandled messages go to DefWindowProc.
struct TPlainWindowKind {
    using TResult = LRESULT;
    static constexpr UINT kAttachMessage = WM_NCCREATE;
    static constexpr int kSlot = GWLP_USERDATA;
    static void* CreationObject(LPARAM lParam) {
        return reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams;
    }
    static TResult Default(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    }
};

// A dialog made with CreateDialog...Param: the object comes as the
// initialisation parameter of WM_INITDIALOG (the dialog manager sends
// nothing earlier that carries it); unhandled messages answer FALSE, which
// hands them to the dialog manager.
struct TDialogWindowKind {
    using TResult = INT_PTR;
    static constexpr UINT kAttachMessage = WM_INITDIALOG;
    static constexpr int kSlot = DWLP_USER;
    static void* CreationObject(LPARAM lParam) { return reinterpret_cast<void*>(lParam); }
    static TResult Default(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
};

// Derived provides
//   TResult HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
// and may hide OnNcDestroy() (after the default processing of WM_NCDESTROY)
// and ReportFailure(std::exception_ptr) (default: the standard error report).
template <typename Derived, typename Kind = TPlainWindowKind>
class BaseWindow {
  public:
    using TResult = typename Kind::TResult;

    HWND Window() const noexcept { return FWnd; }

    // The procedure of every window of Derived's kind.
    static TResult CALLBACK Procedure(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        Derived* self = nullptr;
        if (msg == Kind::kAttachMessage) {
            self = static_cast<Derived*>(Kind::CreationObject(lParam));
            if (self) {
                self->FWnd = wnd;
                ::SetWindowLongPtrW(wnd, Kind::kSlot, reinterpret_cast<LONG_PTR>(self));
            }
        } else {
            self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(wnd, Kind::kSlot));
        }
        if (!self)
            return Kind::Default(wnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            // The last message of the window: the object keeps no handle of it.
            ::SetWindowLongPtrW(wnd, Kind::kSlot, 0);
            const TResult result = Kind::Default(wnd, msg, wParam, lParam);
            self->FWnd = nullptr;
            self->OnNcDestroy();
            return result;
        }
        try {
            return self->HandleMessage(msg, wParam, lParam);
        } catch (...) {
            // The message counts as handled (for a dialog: left to the
            // dialog manager).
            self->ReportFailure(std::current_exception());
            return 0;
        }
    }

  protected:
    BaseWindow() = default;
    // Also when Derived's constructor fails after its window was made.
    ~BaseWindow() { DestroyOwnWindow(); }
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    // Detaches the object and destroys its window (if it still has one).
    void DestroyOwnWindow() noexcept {
        if (HWND wnd = FWnd) {
            ::SetWindowLongPtrW(wnd, Kind::kSlot, 0);
            FWnd = nullptr;
            ::DestroyWindow(wnd);
        }
    }

    void OnNcDestroy() noexcept {}
    void ReportFailure(std::exception_ptr error) noexcept { ReportWindowException(error); }

    HWND FWnd = nullptr;
};

}  // namespace lum::win32
