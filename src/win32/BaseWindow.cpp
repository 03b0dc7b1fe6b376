#include "win32/BaseWindow.h"

#include <string>

#include "common/Forms.h"

namespace lum::win32 {

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

void ReportWindowException(std::exception_ptr error) noexcept {
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            Application().ShowException(e);
        } catch (...) {
            Application().ShowException(std::string("unknown error"));
        }
    } catch (...) {
        // No application object (before the program's start or after its end).
    }
}

}  // namespace lum::win32
