// Looks at the windows of other processes for the end-to-end scripts and
// prints one line per window (or one value) on standard output; exits 2 on
// a bad command line. Commands:
//   list <exe name>      top-level windows of every process running that file
//   wait <exe name> <class or *> <ms>
//                        waits until such a process shows a window of the
//                        class, then lists as above; exits 1 at the time limit
//   class <class name>   every window of that class, top-level or child
//   children <hwnd>      the direct child windows of a window
//   close <hwnd>         posts WM_CLOSE to the window
//   invalidate <hwnd>    asks the window to paint itself again
//   cursor               whether the foreground thread's cursor is showing
//   syscolor <index>     a system colour as r,g,b
//   foreground           the foreground window's handle
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

HWND ToWindow(const wchar_t* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstoul(text, nullptr, 10)));
}

unsigned long Number(HWND wnd) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(wnd));
}

// The file name of the process that owns the window, without its folder.
std::wstring ProcessName(HWND wnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return L"";
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (!::QueryFullProcessImageNameW(process, 0, path, &size))
        path[0] = 0;
    ::CloseHandle(process);
    const wchar_t* base = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            base = p + 1;
    return base;
}

// One line: handle, class, state, rectangle (screen coordinates, and relative
// to the parent's client area for a child), styles, owner/parent and title.
void PrintWindow(HWND wnd) {
    wchar_t cls[256] = L"", title[512] = L"";
    ::GetClassNameW(wnd, cls, 256);
    ::GetWindowTextW(wnd, title, 512);
    RECT r{};
    ::GetWindowRect(wnd, &r);
    const LONG style = ::GetWindowLongW(wnd, GWL_STYLE);
    const LONG exStyle = ::GetWindowLongW(wnd, GWL_EXSTYLE);
    HWND parent = (style & WS_CHILD) ? ::GetParent(wnd) : nullptr;
    RECT local = r;
    if (parent)
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&local), 2);
    std::printf(
        "hwnd=%lu class=%s visible=%d enabled=%d topmost=%d rect=%ld,%ld,%ld,%ld "
        "local=%ld,%ld,%ld,%ld style=0x%08lX exstyle=0x%08lX parent=%lu owner=%lu exe=%s "
        "title=%s\n",
        Number(wnd), Utf8(cls).c_str(), ::IsWindowVisible(wnd) ? 1 : 0,
        ::IsWindowEnabled(wnd) ? 1 : 0, (exStyle & WS_EX_TOPMOST) ? 1 : 0, r.left, r.top, r.right,
        r.bottom, local.left, local.top, local.right, local.bottom,
        static_cast<unsigned long>(style), static_cast<unsigned long>(exStyle), Number(parent),
        Number(::GetWindow(wnd, GW_OWNER)), Utf8(ProcessName(wnd).c_str()).c_str(),
        Utf8(title).c_str());
}

BOOL CALLBACK Collect(HWND wnd, LPARAM out) {
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(wnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// EnumChildWindows walks every descendant; only the direct children are kept.
std::vector<HWND> ChildWindows(HWND parent, bool direct) {
    std::vector<HWND> windows;
    ::EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&windows));
    if (direct)
        std::erase_if(windows, [parent](HWND w) { return ::GetParent(w) != parent; });
    return windows;
}

bool HasClass(HWND wnd, const wchar_t* name) {
    wchar_t cls[256] = L"";
    ::GetClassNameW(wnd, cls, 256);
    return ::lstrcmpiW(cls, name) == 0;
}

std::vector<HWND> ProcessWindows(const wchar_t* exe) {
    std::vector<HWND> windows = TopLevelWindows();
    std::erase_if(windows, [exe](HWND w) { return ::lstrcmpiW(ProcessName(w).c_str(), exe) != 0; });
    return windows;
}

// Polls every 20 ms until a process running <exe> shows a top-level window of
// the class ("*": any class), then lists its windows; 1 after the time limit.
int WaitVisible(const wchar_t* exe, const wchar_t* cls, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const std::vector<HWND> windows = ProcessWindows(exe);
        const bool found = std::any_of(windows.begin(), windows.end(), [cls](HWND w) {
            return ::IsWindowVisible(w) && (std::wcscmp(cls, L"*") == 0 || HasClass(w, cls));
        });
        if (found || ::GetTickCount() - start > milliseconds) {
            for (HWND w : windows)
                PrintWindow(w);
            return found ? 0 : 1;
        }
        ::Sleep(20);
    }
}

int Query(const std::wstring& command, const wchar_t* arg) {
    if (command == L"list") {
        for (HWND wnd : ProcessWindows(arg))
            PrintWindow(wnd);
    } else if (command == L"class") {
        for (HWND top : TopLevelWindows()) {
            if (HasClass(top, arg))
                PrintWindow(top);
            for (HWND child : ChildWindows(top, false))
                if (HasClass(child, arg))
                    PrintWindow(child);
        }
    } else if (command == L"children") {
        for (HWND child : ChildWindows(ToWindow(arg), true))
            PrintWindow(child);
    } else if (command == L"close") {
        return ::PostMessageW(ToWindow(arg), WM_CLOSE, 0, 0) ? 0 : 1;
    } else if (command == L"invalidate") {
        return ::InvalidateRect(ToWindow(arg), nullptr, TRUE) ? 0 : 1;
    } else if (command == L"syscolor") {
        const COLORREF c = ::GetSysColor(std::wcstol(arg, nullptr, 10));
        std::printf("%d,%d,%d\n", GetRValue(c), GetGValue(c), GetBValue(c));
    } else {
        return 2;
    }
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    if (command == L"cursor") {
        CURSORINFO info{};
        info.cbSize = sizeof(info);
        if (!::GetCursorInfo(&info))
            return 1;
        std::printf("showing=%d\n", (info.flags & CURSOR_SHOWING) ? 1 : 0);
        return 0;
    }
    if (command == L"foreground") {
        std::printf("%lu\n", Number(::GetForegroundWindow()));
        return 0;
    }
    if (command == L"wait" && argc > 4)
        return WaitVisible(argv[2], argv[3], std::wcstoul(argv[4], nullptr, 10));
    return argc > 2 ? Query(command, argv[2]) : 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const int rc = argv ? Run(argc, argv) : 2;
    std::fflush(stdout);
    if (argv)
        ::LocalFree(argv);
    return rc;
}
