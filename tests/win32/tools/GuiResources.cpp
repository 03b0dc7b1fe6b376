// Prints the resource use of another process on one line of key=value pairs,
// for the soak test of the full-screen run:
//   GuiResources <process id>
//   GuiResources <window class name>     (the process that owns such a window)
//   GuiResources --self-test             (do the figures follow objects made here?)
// Exits 1 when no such process can be opened (or a self-test figure does
// not follow), 2 on a bad command line.
//
// Printed keys (-1 where the figure cannot be had):
//   pid          the process
//   gdi, user    GetGuiResources(GR_GDIOBJECTS / GR_USEROBJECTS); Wine answers 0
//   handles      GetProcessHandleCount; Wine answers 0 for another process
//   gdi_table    GDI objects in use in the process's own GDI handle table (Wine)
//   windows      windows of the process, top-level and child
//   sys_handles  kernel handles of the process in the system's handle list
//   private_kb   PrivateUsage of GetProcessMemoryInfo, in KiB; Wine answers 0
//   working_kb   WorkingSetSize, in KiB
//   pagefile_kb  PagefileUsage, in KiB: private memory (resident anonymous under Wine)
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "GdiTable.h"

namespace {

using lum::probe::CountGdiTable;

struct ProcessHandle {
    HANDLE Handle = nullptr;
    explicit ProcessHandle(HANDLE h) : Handle(h) {}
    ~ProcessHandle() {
        if (Handle)
            ::CloseHandle(Handle);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
};

struct WindowSearch {
    const wchar_t* ClassName = nullptr;
    DWORD Pid = 0;
    long Count = 0;
};

BOOL CALLBACK FindClass(HWND wnd, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    wchar_t cls[256] = L"";
    ::GetClassNameW(wnd, cls, 256);
    if (::lstrcmpiW(cls, search->ClassName) != 0)
        return TRUE;
    ::GetWindowThreadProcessId(wnd, &search->Pid);
    return FALSE;
}

BOOL CALLBACK CountOwn(HWND wnd, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid == search->Pid)
        ++search->Count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND wnd, LPARAM data) {
    CountOwn(wnd, data);
    ::EnumChildWindows(wnd, CountOwn, data);
    return TRUE;
}

// Windows of the process, as a stand-in for its USER objects where
// GetGuiResources has no figure. Message-only windows are not enumerated.
long CountWindows(DWORD pid) {
    WindowSearch search;
    search.Pid = pid;
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.Count;
}

// Kernel handles of a process counted in the system's handle list, for
// where GetProcessHandleCount answers 0 for other processes (Wine).
struct SystemHandleEntry {
    ULONG OwnerPid;
    UCHAR ObjectType;
    UCHAR Flags;
    USHORT Handle;
    PVOID Object;
    ACCESS_MASK Access;
};

long CountSystemHandles(DWORD pid) {
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    constexpr ULONG kSystemHandleInformation = 16;
    std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            ULONG count = 0;
            std::memcpy(&count, buffer.data(), sizeof count);
            const auto* entries =
                reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
            long own = 0;
            for (ULONG i = 0; i < count; ++i)
                if (entries[i].OwnerPid == pid)
                    ++own;
            return own;
        }
        buffer.resize(buffer.size() * 2);
    }
    return -1;
}

// One measurement of a process; -1 marks a figure that cannot be had.
struct TSample {
    DWORD Pid = 0;
    long Gdi = -1, User = -1, Handles = -1, GdiTable = -1, Windows = -1;
    long PrivateKb = -1, WorkingKb = -1, PagefileKb = -1, SysHandles = -1;
};

TSample Measure(DWORD pid, HANDLE process) {
    TSample s;
    s.Pid = pid;
    s.Gdi = static_cast<long>(::GetGuiResources(process, GR_GDIOBJECTS));
    s.User = static_cast<long>(::GetGuiResources(process, GR_USEROBJECTS));
    DWORD handles = 0;
    if (::GetProcessHandleCount(process, &handles))
        s.Handles = static_cast<long>(handles);
    s.GdiTable = CountGdiTable(process);
    s.Windows = CountWindows(pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory)) {
        s.PrivateKb = static_cast<long>(memory.PrivateUsage / 1024);
        s.WorkingKb = static_cast<long>(memory.WorkingSetSize / 1024);
        s.PagefileKb = static_cast<long>(memory.PagefileUsage / 1024);
    }
    s.SysHandles = CountSystemHandles(pid);
    return s;
}

void Print(const TSample& s) {
    std::printf(
        "pid=%lu gdi=%ld user=%ld handles=%ld gdi_table=%ld windows=%ld sys_handles=%ld "
        "private_kb=%ld working_kb=%ld pagefile_kb=%ld\n",
        static_cast<unsigned long>(s.Pid), s.Gdi, s.User, s.Handles, s.GdiTable, s.Windows,
        s.SysHandles, s.PrivateKb, s.WorkingKb, s.PagefileKb);
}

HANDLE OpenForQuery(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        std::fprintf(stderr, "OpenProcess(%lu) failed: %lu\n", static_cast<unsigned long>(pid),
                     ::GetLastError());
    return process;
}

DWORD PidFromArgument(const wchar_t* arg) {
    wchar_t* end = nullptr;
    const unsigned long pid = std::wcstoul(arg, &end, 10);
    if (end != arg && *end == 0)
        return static_cast<DWORD>(pid);
    WindowSearch search;
    search.ClassName = arg;
    ::EnumWindows(FindClass, reinterpret_cast<LPARAM>(&search));
    return search.Pid;
}

int Run(const wchar_t* arg) {
    const DWORD pid = PidFromArgument(arg);
    if (pid == 0) {
        std::fprintf(stderr, "no process found for %ls\n", arg);
        return 1;
    }
    ProcessHandle process(OpenForQuery(pid));
    if (!process.Handle)
        return 1;
    Print(Measure(pid, process.Handle));
    return 0;
}

// Objects made on purpose by --self-test, released by the destructor: 100
// pens, 20 events, 5 windows and 64 MiB of touched private memory.
class TSelfTestObjects {
  public:
    TSelfTestObjects() {
        for (int i = 0; i < 100; ++i)
            FPens.push_back(::CreatePen(PS_SOLID, 1, RGB(i, 0, 0)));
        for (int i = 0; i < 20; ++i)
            FEvents.push_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        for (int i = 0; i < 5; ++i)
            FWindows.push_back(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                                 nullptr, nullptr, nullptr));
        FMemory = static_cast<unsigned char*>(
            ::VirtualAlloc(nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (FMemory)
            for (SIZE_T at = 0; at < kBytes; at += 4096)
                FMemory[at] = 1;  // committed pages count only once touched
    }
    ~TSelfTestObjects() {
        for (HGDIOBJ pen : FPens)
            ::DeleteObject(pen);
        for (HANDLE event : FEvents)
            ::CloseHandle(event);
        for (HWND wnd : FWindows)
            ::DestroyWindow(wnd);
        if (FMemory)
            ::VirtualFree(FMemory, 0, MEM_RELEASE);
    }
    TSelfTestObjects(const TSelfTestObjects&) = delete;
    TSelfTestObjects& operator=(const TSelfTestObjects&) = delete;

  private:
    static constexpr SIZE_T kBytes = 64u << 20;
    std::vector<HGDIOBJ> FPens;
    std::vector<HANDLE> FEvents;
    std::vector<HWND> FWindows;
    unsigned char* FMemory = nullptr;
};

// Whether a figure rose by what was made (lo to hi) and fell back to within
// a tenth of that once it was released.
bool Tracks(const char* name, long before, long during, long after, long lo, long hi) {
    const long up = during - before;
    const long left = after - before;
    const bool ok = before >= 0 && up >= lo && up <= hi && left >= -lo / 10 && left <= hi / 10 + 2;
    std::printf("%s: %s (%+ld, then %+ld)\n", name, ok ? "tracks" : "does not track", up, left);
    return ok;
}

// --self-test: measures this process, through a real process handle as for
// any other, before, while and after it holds TSelfTestObjects, and says
// which figures followed. Exits 0 when, for each kind of resource, the
// system's figure or its stand-in did.
int SelfTest() {
    const DWORD pid = ::GetCurrentProcessId();
    ProcessHandle process(OpenForQuery(pid));
    if (!process.Handle)
        return 1;
    const TSample a = Measure(pid, process.Handle);
    TSample b;
    {
        TSelfTestObjects objects;
        b = Measure(pid, process.Handle);
    }
    const TSample c = Measure(pid, process.Handle);
    Print(a);
    Print(b);
    Print(c);
    // Making windows also makes a few GDI objects (DCs) and, once per thread
    // under Wine, a hidden IME window.
    const bool gdi = Tracks("gdi", a.Gdi, b.Gdi, c.Gdi, 100, 115);
    const bool gdiTable = Tracks("gdi_table", a.GdiTable, b.GdiTable, c.GdiTable, 100, 115);
    const bool user = Tracks("user", a.User, b.User, c.User, 5, 8);
    const bool windows = Tracks("windows", a.Windows, b.Windows, c.Windows, 5, 7);
    const bool handles = Tracks("handles", a.Handles, b.Handles, c.Handles, 20, 25);
    const bool sysHandles = Tracks("sys_handles", a.SysHandles, b.SysHandles, c.SysHandles, 20, 25);
    const bool priv = Tracks("private_kb", a.PrivateKb, b.PrivateKb, c.PrivateKb, 60000, 70000);
    Tracks("working_kb", a.WorkingKb, b.WorkingKb, c.WorkingKb, 60000, 70000);
    const bool pagefile =
        Tracks("pagefile_kb", a.PagefileKb, b.PagefileKb, c.PagefileKb, 60000, 70000);
    const bool ok =
        (gdi || gdiTable) && (user || windows) && (handles || sysHandles) && (priv || pagefile);
    return ok ? 0 : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    int rc = 2;
    if (argv && argc == 2)
        rc = ::lstrcmpW(argv[1], L"--self-test") == 0 ? SelfTest() : Run(argv[1]);
    std::fflush(stdout);
    std::fflush(stderr);
    if (argv)
        ::LocalFree(argv);
    return rc;
}
