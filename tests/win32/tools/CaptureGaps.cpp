// How long the capture keeps the message loop from the user: runs capture
// passes of the real capture window over a page of the stand-in control
// (standin:giant by default: a page far taller than the height cap) at
// 1920 x 1080, while a second thread posts a message every 5 ms and notes
// how long each waited to be handled. Prints, per pass, the pass's time and
// the longest wait; then the longest over all passes.
//
//     CaptureGaps.exe <LumenaryStandin.dll> <cache folder> [url] [passes]
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "common/Forms.h"
#include "slideshow/Working.h"
#include "win32/Strings.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32MessageLoop.h"
#include "win32/browser/Win32WebView.h"
#include "win32/browser/standin/StandinRegistration.h"

namespace {

using namespace lum;

constexpr UINT kProbe = WM_APP + 0x70;
constexpr DWORD kProbeEveryMs = 5;

class TSource final : public ICaptureSource {
  public:
    std::vector<std::string> Urls;
    const std::vector<std::string>& URLs() const override { return Urls; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 1920; }
    std::int32_t Height() const override { return 1080; }
};

LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Ms(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// The probe messages arrive at this thread's message-only window; the
// longest wait between a post and its handling is kept.
std::atomic<LONGLONG> gLongest{0};

LRESULT CALLBACK ProbeProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kProbe)
        return ::DefWindowProcW(window, msg, wParam, lParam);
    const LONGLONG posted = (static_cast<LONGLONG>(wParam) << 32) | static_cast<DWORD>(lParam);
    const LONGLONG waited = Now() - posted;
    if (waited > gLongest.load())
        gLongest.store(waited);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 3)
        return 2;
    const std::string url = argc > 3 ? win32::Narrow(argv[3]) : "standin:giant";
    const int passes = argc > 4 ? _wtoi(argv[4]) : 3;
    std::string cache = win32::Narrow(argv[2]);
    if (cache.back() != '\\')
        cache += '\\';
    std::FILE* out = _wfopen(L"CONOUT$", L"w");
    if (!out)
        out = stdout;

    ::OleInitialize(nullptr);
    standin::TStandinRegistration registration;
    if (!registration.Register(argv[1]))
        return 3;
    win32::TWin32ApplicationPlatform platform;
    TApplication application(platform);
    SetApplication(&application);

    WNDCLASSW wc{};
    wc.lpfnWndProc = &ProbeProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"LumenaryCaptureGapsProbe";
    ::RegisterClassW(&wc);
    const HWND probe = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       instance, nullptr);
    std::atomic<bool> running{true};
    std::thread poster([&] {
        while (running.load()) {
            const LONGLONG now = Now();
            ::PostMessageW(probe, kProbe, static_cast<WPARAM>(now >> 32),
                           static_cast<LPARAM>(static_cast<DWORD>(now)));
            ::Sleep(kProbeEveryMs);
        }
    });

    win32::TWin32FileSystem files;
    TSource source;
    source.Urls = {url};
    double worst = 0;
    {
        TWorkingForm form(win32::CreateCaptureWebView(0), files, cache, source);
        for (int pass = 0; pass < passes; ++pass) {
            gLongest.store(0);
            const LONGLONG start = Now();
            form.StartCapture();
            MSG msg;
            while ((form.Busy() || form.NextIndex() == 0) && Ms(Now() - start) < 120000 &&
                   ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            const double longest = Ms(gLongest.load());
            worst = std::max(worst, longest);
            std::fprintf(out, "pass %d: %.0f ms, longest wait for the message loop %.0f ms\n",
                         pass + 1, Ms(Now() - start), longest);
        }
    }
    std::fprintf(out, "longest wait over %d passes of %s: %.0f ms\n", passes, url.c_str(), worst);
    std::fflush(out);
    running.store(false);
    poster.join();
    SetApplication(nullptr);
    registration.Unregister();
    ::OleUninitialize();
    return 0;
}
