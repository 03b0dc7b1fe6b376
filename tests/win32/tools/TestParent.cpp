// Stands in for the Display Properties dialog in the end-to-end scripts: a
// visible top-level window with a preview window inside it. Usage:
//   TestParent.exe <handle file> <timeout seconds> [<state file>] [--disabled]
// Writes "top=", "preview=" (decimal handles) and "previewrect=" (the preview's
// screen rectangle) to the handle file once the windows exist; then, every
// 100 ms, writes to the state file whether the top window is enabled and
// which display form sits in the preview window. Exits 0 when its top window
// is closed or destroyed, 3 at the timeout, 1 when the windows cannot be made.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kStateTimer = 1;
constexpr UINT_PTR kTimeoutTimer = 2;

HWND gTop = nullptr;
HWND gPreview = nullptr;
std::wstring gStateFile;
int gExitCode = 0;

unsigned long Number(HWND wnd) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(wnd));
}

// Written beside the target and renamed over it, so that a reader never sees
// a half-written file.
void WriteAtomically(const std::wstring& path, const std::string& text) {
    const std::wstring temp = path + L".tmp";
    FILE* out = ::_wfopen(temp.c_str(), L"wb");
    if (!out)
        return;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The display form inside the preview window, with its place relative to the
// preview's client area.
std::string FormState() {
    HWND form = gPreview ? ::FindWindowExW(gPreview, nullptr, L"TScreenSaverDisplayForm", nullptr)
                         : nullptr;
    if (!form)
        return "form=0\n";
    RECT r{};
    ::GetWindowRect(form, &r);
    ::MapWindowPoints(HWND_DESKTOP, gPreview, reinterpret_cast<POINT*>(&r), 2);
    char line[200];
    std::snprintf(line, sizeof line, "form=%lu rect=%ld,%ld,%ld,%ld style=0x%08lX visible=%d\n",
                  Number(form), r.left, r.top, r.right, r.bottom,
                  static_cast<unsigned long>(::GetWindowLongW(form, GWL_STYLE)),
                  ::IsWindowVisible(form) ? 1 : 0);
    return line;
}

void WriteState() {
    if (gStateFile.empty() || !gTop)
        return;
    std::string text = ::IsWindowEnabled(gTop) ? "enabled=1\n" : "enabled=0\n";
    text += FormState();
    WriteAtomically(gStateFile, text);
}

LRESULT CALLBACK TopProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_TIMER:
            if (wParam == kTimeoutTimer) {
                gExitCode = 3;
                ::DestroyWindow(wnd);
            } else {
                WriteState();
            }
            return 0;
        case WM_DESTROY:
            gTop = nullptr;
            ::PostQuitMessage(gExitCode);
            return 0;
        default:
            return ::DefWindowProcW(wnd, msg, wParam, lParam);
    }
}

bool Register(const wchar_t* name, WNDPROC proc, int brush) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(brush + 1));
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0;
}

bool CreateWindows(bool disabled) {
    if (!Register(L"LumenaryTestParent", TopProc, COLOR_BTNFACE) ||
        !Register(L"LumenaryTestPreview", ::DefWindowProcW, COLOR_APPWORKSPACE))
        return false;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    gTop = ::CreateWindowExW(0, L"LumenaryTestParent", L"LumenaryTestParent",
                             WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100, 100, 400, 300, nullptr,
                             nullptr, instance, nullptr);
    if (!gTop)
        return false;
    gPreview = ::CreateWindowExW(0, L"LumenaryTestPreview", L"LumenaryTestPreview",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, 152, 112, gTop,
                                 nullptr, instance, nullptr);
    if (!gPreview)
        return false;
    ::ShowWindow(gTop, SW_SHOW);
    ::UpdateWindow(gTop);
    ::SetForegroundWindow(gTop);
    if (disabled)
        ::EnableWindow(gTop, FALSE);
    return true;
}

void WriteHandles(const std::wstring& path) {
    RECT r{};
    ::GetClientRect(gPreview, &r);
    ::MapWindowPoints(gPreview, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    char text[200];
    std::snprintf(text, sizeof text, "top=%lu\npreview=%lu\npreviewrect=%ld,%ld,%ld,%ld\n",
                  Number(gTop), Number(gPreview), r.left, r.top, r.right, r.bottom);
    WriteAtomically(path, text);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 3)
        return 2;
    const std::wstring handleFile = argv[1];
    const long seconds = std::wcstol(argv[2], nullptr, 10);
    bool disabled = false;
    for (int i = 3; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--disabled") == 0)
            disabled = true;
        else
            gStateFile = argv[i];
    }
    ::LocalFree(argv);

    if (!CreateWindows(disabled))
        return 1;
    ::SetTimer(gTop, kTimeoutTimer, static_cast<UINT>((seconds > 0 ? seconds : 30) * 1000),
               nullptr);
    ::SetTimer(gTop, kStateTimer, 100, nullptr);
    WriteState();
    WriteHandles(handleFile);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
