// What the tests of the settings dialog's sign-in window share: the stand-in
// control registered, the dialog open, the stand-in's figures, a snapshot of
// the dialog's controls, and steps run from a thread timer inside the modal
// loops of the code under test (the menu's, the sign-in window's).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/Forms.h"
#include "win32/PumpMessages.h"
#include "win32/ReportPlatform.h"
#include "win32/Strings.h"
#include "win32/browser/SignInWindow.h"
#include "win32/browser/UrlEditMenu.h"
#include "win32/browser/WebBrowserHost.h"
#include "win32/browser/standin/StandinRegistration.h"
#include "win32/settings/ConfigDialog.h"
#include "win32/tools/GdiTable.h"

namespace lum::win32 {
namespace {

using namespace lum::standin;

enum TInputKind {
    kAccelerators,
    kAcceleratorsTaken,
    kViewKeys,
    kViewClicks,
    kUIActivations,
    kPopupsCancelled,
    kPopupsAllowed
};
constexpr const wchar_t* kSignInClass = L"TLumenarySignInForm";
constexpr DWORD kScriptLimitMs = 8000;

template <class F>
F* Export(const char* name) {
    const HMODULE dll = ::GetModuleHandleW(L"LumenaryStandin.dll");
    return dll ? reinterpret_cast<F*>(reinterpret_cast<void*>(::GetProcAddress(dll, name)))
               : nullptr;
}
inline LONG Inputs(TInputKind kind) {
    auto* call = Export<LONG WINAPI(LONG)>("StandinInputs");
    return call ? call(kind) : 0;
}
inline std::wstring LastNavigate() {
    auto* call = Export<LONG WINAPI(wchar_t*, LONG)>("StandinLastNavigate");
    if (!call)
        return L"(not loaded)";
    std::wstring url(static_cast<std::size_t>(call(nullptr, 0)) + 1, L'\0');
    url.resize(static_cast<std::size_t>(call(url.data(), static_cast<LONG>(url.size()))));
    return url;
}

inline std::wstring Text(HWND wnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(wnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Runs step from a thread timer, in whatever message loop runs, until it
// answers true; after kScriptLimitMs it ends any menu and closes any
// sign-in window, so that a failing test does not hang.
class TTimerScript {
  public:
    explicit TTimerScript(std::function<bool()> step) {
        gStep = std::move(step);
        gStart = ::GetTickCount();
        gTimedOut = false;
        FTimer = ::SetTimer(nullptr, 0, 30, &Tick);
    }
    ~TTimerScript() {
        ::KillTimer(nullptr, FTimer);
        gStep = nullptr;
    }
    static bool TimedOut() { return gTimedOut; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (!gStep)
            return;
        if (::GetTickCount() - gStart > kScriptLimitMs) {
            gTimedOut = true;
            gStep = nullptr;
            ::EndMenu();
            if (HWND window = ::FindWindowW(kSignInClass, nullptr))
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            return;
        }
        const auto step = gStep;
        if (step())
            gStep = nullptr;
    }
    static inline std::function<bool()> gStep;
    static inline DWORD gStart = 0;
    static inline bool gTimedOut = false;
    UINT_PTR FTimer = 0;
};

// An item of a popup menu: its text ("-" for a separator) and whether it is
// greyed.
struct TItem {
    std::wstring Text;
    bool Greyed;
    bool operator==(const TItem&) const = default;
};
inline void PrintTo(const TItem& item, std::ostream* out) {
    *out << Narrow(item.Text) << (item.Greyed ? " (greyed)" : "");
}
inline std::vector<TItem> Items(HMENU menu) {
    std::vector<TItem> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 127;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        const bool separator = (info.fType & MFT_SEPARATOR) != 0;
        // Wine marks separators greyed; only the items matter.
        items.push_back({separator ? L"-" : text, !separator && (info.fState & MFS_GRAYED) != 0});
    }
    return items;
}

// The popup menu now open, nullptr when there is none.
inline HMENU OpenMenu() {
    HWND window = ::FindWindowW(L"#32768", nullptr);
    if (!window || !::IsWindowVisible(window))
        return nullptr;
    return reinterpret_cast<HMENU>(::SendMessageW(window, MN_GETHMENU, 0, 0));
}

// Every child window of the dialog: its id, class and place on screen.
struct TChild {
    int Id;
    std::wstring Class;
    RECT Rect;
    bool operator==(const TChild& o) const {
        return Id == o.Id && Class == o.Class && ::EqualRect(&Rect, &o.Rect);
    }
};
inline BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, 64);
    RECT rect{};
    ::GetWindowRect(child, &rect);
    reinterpret_cast<std::vector<TChild>*>(list)->push_back({::GetDlgCtrlID(child), name, rect});
    return TRUE;
}
inline std::vector<TChild> Children(HWND dialog) {
    std::vector<TChild> list;
    ::EnumChildWindows(dialog, &AddChild, reinterpret_cast<LPARAM>(&list));
    return list;
}

inline BOOL CALLBACK CountOne(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}
inline BOOL CALLBACK CountTopLevel(HWND window, LPARAM counter) {
    *reinterpret_cast<int*>(counter) += 1;
    ::EnumChildWindows(window, &CountOne, counter);
    return TRUE;
}
inline int CountThreadWindows() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

inline void PostKey(HWND target, UINT vk) {
    ::PostMessageW(target, WM_KEYDOWN, vk, 1);
    ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

inline void SetClipboardText(const wchar_t* text) {
    if (!::OpenClipboard(nullptr))
        return;
    ::EmptyClipboard();
    if (text) {
        const std::size_t bytes = (::lstrlenW(text) + 1) * sizeof(wchar_t);
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
        ::memcpy(::GlobalLock(memory), text, bytes);
        ::GlobalUnlock(memory);
        if (!::SetClipboardData(CF_UNICODETEXT, memory))
            ::GlobalFree(memory);
    }
    ::CloseClipboard();
}

class TSignInRig : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FRegistration.Register(Widen(LUM_STANDIN_DLL)));
        // Loaded for the whole test, so that its figures can be read before
        // the first control is made and after the last is gone.
        std::wstring path = L"Z:" + Widen(LUM_STANDIN_DLL);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        FStandin = ::LoadLibraryW(path.c_str());
        ASSERT_NE(FStandin, nullptr);
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        FApplication.Title = "Lumenary";
        SetApplication(&FApplication);
        FDialog = std::make_unique<TConfigDialogWindow>(0);
        ::ShowWindow(Dialog(), SW_SHOW);
        ::SetForegroundWindow(Dialog());
        PumpMessages(30);
    }
    void TearDown() override {
        FDialog.reset();
        PumpMessages(20);
        SetApplication(nullptr);
        ::OleUninitialize();
        FRegistration.Unregister();
        if (FStandin)
            ::FreeLibrary(FStandin);
        EXPECT_TRUE(FPlatform.Reports.empty()) << FPlatform.Reports.front();
    }

    HWND Dialog() const { return reinterpret_cast<HWND>(FDialog->Handle()); }
    HWND Edit() const { return FDialog->Control(idURLList); }

    // The URL box holds lines (joined with CRLF) with the caret at the
    // start of line caretLine, and nothing to undo.
    void Fill(const std::vector<std::string>& lines, int caretLine) {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i)
            text += (i ? "\r\n" : "") + lines[i];
        FDialog->SetURLText(text);
        ::SendMessageW(Edit(), EM_EMPTYUNDOBUFFER, 0, 0);
        ::SetFocus(Edit());
        const LRESULT at = ::SendMessageW(Edit(), EM_LINEINDEX, caretLine, 0);
        ::SendMessageW(Edit(), EM_SETSEL, at, at);
    }

    TStandinRegistration FRegistration;
    HMODULE FStandin = nullptr;
    TReportPlatform FPlatform;
    TApplication FApplication{FPlatform};
    std::unique_ptr<TConfigDialogWindow> FDialog;
};

}  // namespace
}  // namespace lum::win32
