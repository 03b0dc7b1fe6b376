// The Windows tests' message pump: dispatches whatever the thread's queue
// holds, again and again, for the given time (timers, posted completions and
// deferred releases all arrive through it).
#pragma once

#include <windows.h>

namespace lum::win32 {

inline void PumpMessages(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(2);
    } while (::GetTickCount() - start < milliseconds);
}

}  // namespace lum::win32
