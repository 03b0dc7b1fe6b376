// The sign-in window that the URL box's menu opens: at the caret's URL (the
// first URL for a blank line, a line of any length), a top-level resizable
// window captioned with the page's title, focused and taking keys, the
// control's own error page, WM_QUIT, and the dialog unchanged after it.
#include "win32/browser/Win32WebView.h"
#include "win32/browser/standin/StandinSignInRig.h"

namespace lum::win32 {
namespace {

class StandinSignInWindow : public TSignInRig {};

constexpr wchar_t kViewClass[] = L"LumenaryStandinView";

// What a script saw of the sign-in window while it was open.
struct TSeenWindow {
    HWND Window = nullptr;
    HWND Owner = nullptr;
    bool DialogEnabled = true;
    LONG_PTR Style = 0;
    std::wstring Url;
    std::wstring Caption;
    std::wstring FocusClass;
    LONG TabsTaken = 0;  // by the control's TranslateAccelerator
    LONG ViewKeys = 0;   // keys its view window got
    RECT Client{};
    RECT View{};
};

// The script step that waits for the sign-in window and its title, notes
// what it sees, tries the keyboard and a new size, then closes it.
std::function<bool()> WatchSignIn(HWND dialog, TSeenWindow& seen, const wchar_t* title) {
    auto stage = std::make_shared<int>(0);
    auto tabs = std::make_shared<LONG>(0);
    auto keys = std::make_shared<LONG>(0);
    return [=, &seen]() {
        HWND window = ::FindWindowW(kSignInClass, nullptr);
        if (!window)
            return false;
        if (*stage == 0) {
            if (title && Text(window) != title)
                return false;  // until the title arrives
            seen = TSeenWindow{};
            seen.Window = window;
            seen.Owner = ::GetWindow(window, GW_OWNER);
            seen.DialogEnabled = ::IsWindowEnabled(dialog) != FALSE;
            seen.Style = ::GetWindowLongPtrW(window, GWL_STYLE);
            seen.Url = LastNavigate();
            seen.Caption = Text(window);
            wchar_t name[64] = {};
            ::GetClassNameW(::GetFocus(), name, 64);
            seen.FocusClass = name;
            *tabs = Inputs(kAcceleratorsTaken);
            *keys = Inputs(kViewKeys);
            PostKey(::GetFocus(), VK_TAB);
            PostKey(::GetFocus(), 'A');
            *stage = 1;
            return false;
        }
        seen.TabsTaken = Inputs(kAcceleratorsTaken) - *tabs;
        seen.ViewKeys = Inputs(kViewKeys) - *keys;
        ::SetWindowPos(window, nullptr, 10, 10, 640, 480, SWP_NOZORDER);
        ::GetClientRect(window, &seen.Client);
        ::GetWindowRect(::FindWindowExW(window, nullptr, kViewClass, nullptr), &seen.View);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&seen.View), 2);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return true;
    };
}

// Opens the URL box's menu from the keyboard and chooses its last item,
// the sign-in; then step runs until it answers true.
void SignInThroughMenu(HWND edit, std::function<bool()> step) {
    bool chosen = false;
    TTimerScript script([&] {
        if (!chosen) {
            HWND menu = ::FindWindowW(L"#32768", nullptr);
            if (!menu || !::IsWindowVisible(menu))
                return false;
            PostKey(menu, VK_UP);  // from no selection: the last item
            PostKey(menu, VK_RETURN);
            chosen = true;
            return false;
        }
        return step();
    });
    ::SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), -1);
    EXPECT_FALSE(TTimerScript::TimedOut());
}

TEST_F(StandinSignInWindow, ChosenItOpensAtTheCaretLineAndClosingLeavesTheDialogAsItWas) {
    Fill({"http://first.invalid/", "  standin:fill?title=Dashboard  ", ""}, 1);
    const std::vector<TChild> childrenBefore = Children(Dialog());
    const std::wstring textBefore = Text(Edit());
    TSeenWindow seen;
    SignInThroughMenu(Edit(), WatchSignIn(Dialog(), seen, L"Dashboard - Lumenaryサインイン"));
    EXPECT_EQ(seen.Url, L"standin:fill?title=Dashboard");
    EXPECT_EQ(seen.Caption, L"Dashboard - Lumenaryサインイン");
    EXPECT_EQ(seen.Owner, Dialog());
    EXPECT_FALSE(seen.DialogEnabled);  // like a modal dialog's owner
    EXPECT_EQ(seen.Style & WS_OVERLAPPEDWINDOW, static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(seen.Style & WS_CHILD, 0);
    EXPECT_EQ(seen.FocusClass, kViewClass);  // UI-active: the page has the keyboard
    EXPECT_EQ(seen.TabsTaken, 1);            // Tab went to the control first
    EXPECT_GE(seen.ViewKeys, 1);             // other keys on to its window
    EXPECT_TRUE(::EqualRect(&seen.Client, &seen.View));
    // Closed: gone, the dialog enabled, active, its text and controls as before.
    EXPECT_EQ(::FindWindowW(kSignInClass, nullptr), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(Dialog()));
    EXPECT_EQ(::GetActiveWindow(), Dialog());
    EXPECT_EQ(::GetFocus(), Edit());
    EXPECT_EQ(Text(Edit()), textBefore);
    EXPECT_EQ(Children(Dialog()), childrenBefore);
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
}

TEST_F(StandinSignInWindow, BlankCaretLineOpensTheFirstUrlAndALongLineWhole) {
    Fill({"", "standin:fill?title=First", "    \t ", "standin:fixed"}, 2);
    TSeenWindow seen;
    SignInThroughMenu(Edit(), WatchSignIn(Dialog(), seen, nullptr));
    EXPECT_EQ(seen.Url, L"standin:fill?title=First");
    const std::string longUrl = "standin:fill?title=Long&pad=" + std::string(5000, 'p');
    Fill({"standin:fixed", longUrl}, 1);
    SignInThroughMenu(Edit(), WatchSignIn(Dialog(), seen, L"Long - Lumenaryサインイン"));
    EXPECT_EQ(seen.Url, Widen(longUrl));
    EXPECT_EQ(seen.Caption, L"Long - Lumenaryサインイン");
}

TEST_F(StandinSignInWindow, CaptionIsTheUrlUntilThePageNamesATitle) {
    TSignInWindow window(Dialog(), "standin:fill?title=Named");
    EXPECT_EQ(Text(window.Window()), L"standin:fill?title=Named - Lumenaryサインイン");
    PumpMessages(100);
    EXPECT_EQ(Text(window.Window()), L"Named - Lumenaryサインイン");
    // An empty title leaves the caption as it is.
    TSignInWindow untitled(Dialog(), "standin:fill?title=");
    PumpMessages(100);
    EXPECT_EQ(Text(untitled.Window()), L"standin:fill?title= - Lumenaryサインイン");
}

TEST_F(StandinSignInWindow, PopUpOfThePageOpensInTheWindowItselfAndNeverInTheCapture) {
    const LONG cancelled = Inputs(kPopupsCancelled);
    const LONG allowed = Inputs(kPopupsAllowed);
    {
        TSignInWindow window(Dialog(), "standin:fill?title=Start&popup=standin:fill?title=Popped");
        for (int i = 0; i < 100 && Text(window.Window()) != L"Popped - Lumenaryサインイン"; ++i)
            PumpMessages(20);
        EXPECT_EQ(Text(window.Window()), L"Popped - Lumenaryサインイン");
        EXPECT_EQ(LastNavigate(), L"standin:fill?title=Popped");
        EXPECT_EQ(Inputs(kPopupsCancelled), cancelled + 1);
    }
    // The capture cancels it and stays on its page.
    auto view = CreateCaptureWebView(0);
    int completed = 0;
    view->OnDocumentComplete = [&](const std::string&) { ++completed; };
    view->Navigate("standin:fill?popup=standin:fixed");
    PumpMessages(300);
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(LastNavigate(), L"standin:fill?popup=standin:fixed");
    EXPECT_EQ(Inputs(kPopupsCancelled), cancelled + 2);
    EXPECT_EQ(Inputs(kPopupsAllowed), allowed);
}

TEST_F(StandinSignInWindow, ControlShowsItsOwnErrorPageInsteadOfCancellingIt) {
    auto* outcomes = Export<LONG WINAPI(LONG)>("StandinOutcomes");
    TSeenWindow seen;
    LONG shownBefore = 0;
    LONG cancelledBefore = 0;
    ASSERT_NE(outcomes, nullptr);
    shownBefore = outcomes(0);
    cancelledBefore = outcomes(1);
    TTimerScript script(WatchSignIn(Dialog(), seen, nullptr));
    RunSignInWindow(Dialog(), Edit(), "standin:error?status=404");
    EXPECT_EQ(outcomes(0), shownBefore + 1);  // the error page
    EXPECT_EQ(outcomes(1), cancelledBefore);
    EXPECT_EQ(seen.Url, L"standin:error?status=404");
    EXPECT_TRUE(::IsWindowEnabled(Dialog()));
}

// Where a person is, the control's own prompts are theirs: a site's
// password dialog opens over the sign-in window, and the control is not
// made silent there.
TEST_F(StandinSignInWindow, SitesPasswordPromptIsLeftToThePersonSigningIn) {
    auto* prompts = Export<LONG WINAPI()>("StandinPromptsOpened");
    ASSERT_NE(prompts, nullptr);
    const LONG before = prompts();
    TSignInWindow window(Dialog(), "standin:auth");
    PumpMessages(200);
    EXPECT_EQ(prompts(), before + 1);
    const HWND prompt = ::FindWindowW(L"LumenaryStandinPrompt", nullptr);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(::GetAncestor(::GetWindow(prompt, GW_OWNER), GA_ROOT), window.Window());
    EXPECT_EQ(Export<LONG WINAPI()>("StandinAmbientSilent")(), -1);
}

// A sign-in pop-up shown in the window that closes itself once it is done
// (window.close()) closes the window, instead of leaving it empty.
TEST_F(StandinSignInWindow, PageThatClosesItselfClosesTheWindow) {
    auto* outcomes = Export<LONG WINAPI(LONG)>("StandinOutcomes");
    ASSERT_NE(outcomes, nullptr);
    const LONG closedBefore = outcomes(6);      // TOutcome::WindowsClosed
    TTimerScript script([] { return false; });  // closes the window at its limit
    RunSignInWindow(Dialog(), Edit(), "standin:fill?title=Done&close=1");
    EXPECT_FALSE(TTimerScript::TimedOut());
    EXPECT_EQ(outcomes(6), closedBefore);
    EXPECT_EQ(::FindWindowW(kSignInClass, nullptr), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(Dialog()));
}

TEST_F(StandinSignInWindow, ControlThatCannotBeCreatedIsReportedAndTheDialogGoesOn) {
    ASSERT_TRUE(FRegistration.Register(L"C:\\missing\\NoSuchControl.dll"));
    RunSignInWindow(Dialog(), Edit(), "standin:fill");
    ASSERT_EQ(FPlatform.Reports.size(), 1u);
    FPlatform.Reports.clear();
    EXPECT_EQ(::FindWindowW(kSignInClass, nullptr), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(Dialog()));
    EXPECT_EQ(::GetFocus(), Edit());
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
}

TEST_F(StandinSignInWindow, QuitMessageEndsTheWindowAndReachesTheOuterLoop) {
    TTimerScript script([&] {
        if (!::FindWindowW(kSignInClass, nullptr))
            return false;
        ::PostQuitMessage(7);
        return true;
    });
    RunSignInWindow(Dialog(), Edit(), "standin:fill");
    EXPECT_EQ(::FindWindowW(kSignInClass, nullptr), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(Dialog()));
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(StandinSignInWindow, RepeatedOpeningLeaksNoWindowsGdiObjectsOrHosts) {
    auto cycle = [this] {
        TTimerScript script([] {
            HWND window = ::FindWindowW(kSignInClass, nullptr);
            if (window)
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            return window != nullptr;
        });
        RunSignInWindow(Dialog(), Edit(), "standin:fill?title=Again");
        PumpMessages(10);
    };
    cycle();
    cycle();  // one-time allocations
    const int windowsBefore = CountThreadWindows();
    const long gdiBefore = probe::CountGdiTable(::GetCurrentProcess());
    const DWORD userBefore = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 4; ++i)
        cycle();
    EXPECT_EQ(CountThreadWindows(), windowsBefore);
    EXPECT_LE(probe::CountGdiTable(::GetCurrentProcess()), gdiBefore + 2);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), userBefore + 2);
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    RecordProperty("gdi", std::to_string(gdiBefore) + "->" +
                              std::to_string(probe::CountGdiTable(::GetCurrentProcess())));
}

}  // namespace
}  // namespace lum::win32
