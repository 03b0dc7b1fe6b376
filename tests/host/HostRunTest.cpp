#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

// A full-screen run (on a system that is not NT unless the test says
// otherwise before Run); the close events counted and logged.
struct TRun : THostFixture {
    TRun() { System.NT = false; }
    int Closes = 0;
    int Cancels = 0;
    std::function<void(TZelScreenSaver&)> Stored;  // extra stored values

    TZelScreenSaver& Run(const std::string& line = "/s") {
        BindEvents = [this](TZelScreenSaver& h) {
            h.OnClose = [this](TZelScreenSaver*) {
                ++Closes;
                System.Log.push_back("OnClose cursor " + std::to_string(System.CursorCounter));
            };
            h.OnCloseCancel = [this](TZelScreenSaver*) {
                ++Cancels;
                System.Log.push_back("OnCloseCancel");
            };
            if (Stored) Stored(h);
        };
        return Start(line);
    }
    void Move(std::int32_t x, std::int32_t y) {
        System.Cursor = TPoint{x, y};
        Window().Send(Msg::MouseMove);
    }
    bool Closed() { return Window().Destroyed; }
};

// --- Mouse movement ---------------------------------------------------------------

TEST(HostRun, MouseMoveClosesOnlyAwayFromFirstPosition) {
    TRun r;
    auto& host = r.Run();
    r.System.Cursor = TPoint{-40, 7};
    r.Window().Send(Msg::MouseMove);
    EXPECT_TRUE(host.MouseMoved());
    EXPECT_EQ(host.MousePos(), (TPoint{-40, 7}));
    EXPECT_EQ(r.PostedCloses(), 0);
    r.Move(-40, 7);
    EXPECT_EQ(r.PostedCloses(), 0);
    r.Move(-40, 8);
    EXPECT_EQ(r.PostedCloses(), 1);
    r.Move(-41, 7);
    EXPECT_EQ(r.PostedCloses(), 2);
    EXPECT_EQ(host.MousePos(), (TPoint{-40, 7}));  // later moves keep the reference
    EXPECT_FALSE(r.App.ShowMainForm);
    // Every move still reaches the form itself.
    EXPECT_EQ(r.Form->Count(Msg::MouseMove), 4);
}

TEST(HostRun, MouseMoveWithoutItsBitOnlyRecords) {
    TRun r;
    r.Stored = [](TZelScreenSaver& h) { h.TrapEvents = kAllTrapEvents & ~zelteMouseMove; };
    auto& host = r.Run();
    r.Move(5, 5);
    r.Move(500, 500);
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(host.MousePos(), (TPoint{5, 5}));
}

TEST(HostRun, RefusedCloseTakesCursorAtRefusalAsReference) {
    TRun r;
    UsePasswordLibrary(r.System, {false});
    auto& host = r.Run();
    r.Move(10, 10);
    r.Move(20, 20);
    ASSERT_EQ(r.PostedCloses(), 1);
    r.System.Posted.clear();
    r.System.Cursor = TPoint{300, 200};
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Cancels, 1);
    EXPECT_TRUE(host.MouseMoved());
    EXPECT_EQ(host.MousePos(), (TPoint{300, 200}));
    r.Move(300, 200);
    EXPECT_EQ(r.PostedCloses(), 0);
    r.Move(301, 200);
    EXPECT_EQ(r.PostedCloses(), 1);
}

// --- Buttons and keys --------------------------------------------------------------

TEST(HostRun, EachButtonClosesPerItsOwnBit) {
    const std::pair<std::uint32_t, TZelScreenSaverTrapEvents> buttons[] = {
        {Msg::LButtonDown, zelteMouseDownL},
        {Msg::RButtonDown, zelteMouseDownR},
        {Msg::MButtonDown, zelteMouseDownM},
    };
    for (const auto& [msg, bit] : buttons) {
        for (const bool set : {true, false}) {
            TRun r;
            const TZelScreenSaverTrapEvents events = set ? bit : kAllTrapEvents & ~bit;
            r.Stored = [events](TZelScreenSaver& h) { h.TrapEvents = events; };
            r.Run();
            r.Window().Send(msg);
            EXPECT_EQ(r.PostedCloses(), set ? 1 : 0) << msg << " " << set;
            EXPECT_EQ(r.Form->Count(msg), 1) << msg;
        }
    }
}

TEST(HostRun, KeyDownClosesAndStillReachesForm) {
    TRun r;
    r.Run();
    r.Window().Send(Msg::KeyDown, 'Q');
    EXPECT_EQ(r.PostedCloses(), 1);
    ASSERT_EQ(r.Form->Count(Msg::KeyDown), 1);
    EXPECT_EQ(r.Form->OwnFull.back().WParam, static_cast<std::uintptr_t>('Q'));
    EXPECT_FALSE(r.Closed());  // the close comes later, from the message loop
    r.Pump();
    EXPECT_TRUE(r.Closed());
}

TEST(HostRun, KeyDownWithoutItsBitDoesNothing) {
    TRun r;
    r.Stored = [](TZelScreenSaver& h) { h.TrapEvents = kAllTrapEvents & ~zelteKeyDown; };
    r.Run();
    r.Window().Send(Msg::KeyDown, 'Q');
    r.System.KeysDown = {Vk::Menu, Vk::Tab, Vk::Snapshot};
    r.Window().Send(Msg::SysKeyDown, Vk::Menu);
    r.Window().Send(Msg::Timer, 99);
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 1);
}

TEST(HostRun, HeldAltTabOrPrintScreenHandsFormAnEscape) {
    for (const std::uint32_t vk : {Vk::Menu, Vk::Tab, Vk::Snapshot}) {
        TRun r;
        r.Run();
        r.System.KeysDown = {vk};
        r.Window().Send(Msg::SysKeyDown, 'F');
        EXPECT_EQ(r.PostedCloses(), 1) << vk;
        // The Escape passes the filter and reaches the form's own handler,
        // before the message that triggered it.
        ASSERT_EQ(r.Form->OwnFull.size(), 2u) << vk;
        EXPECT_EQ(r.Form->OwnFull[0].Msg, Msg::KeyDown);
        EXPECT_EQ(r.Form->OwnFull[0].WParam, Vk::Escape);
        EXPECT_EQ(r.Form->OwnFull[0].LParam, 0);
        EXPECT_EQ(r.Form->OwnFull[1].Msg, Msg::SysKeyDown);
    }
}

TEST(HostRun, HeldKeyActsOnlyOnMessagesNotListedInFilter) {
    TRun r;
    r.Stored = [](TZelScreenSaver& h) { h.TrapEvents = zelteKeyDown; };
    r.Run();
    r.System.KeysDown = {Vk::Menu};
    for (std::uint32_t msg : {Msg::MouseMove, Msg::LButtonDown, Msg::RButtonDown,
                              Msg::MButtonDown})
        r.Window().Send(msg);
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 0);
    r.Window().Send(Msg::Paint);
    EXPECT_EQ(r.PostedCloses(), 1);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 1);
}

TEST(HostRun, ScreenSaveCommandIsSwallowedOthersPass) {
    TRun r;
    r.Run();
    EXPECT_EQ(r.Window().Send(Msg::SysCommand, kScScreenSave), 1);
    EXPECT_EQ(r.Form->Count(Msg::SysCommand), 0);
    EXPECT_EQ(r.Window().Send(Msg::SysCommand, 0xF060), 0);  // SC_CLOSE
    EXPECT_EQ(r.Form->Count(Msg::SysCommand), 1);
    EXPECT_EQ(r.PostedCloses(), 0);
}

// --- Cursor and the screen-saver flag -------------------------------------------------

TEST(HostRun, CursorEndsHiddenOrShownWhateverCounterWas) {
    for (const int start : {-5, 0, 3}) {
        for (const bool show : {false, true}) {
            TRun r;
            r.System.CursorCounter = start;
            r.Stored = [show](TZelScreenSaver& h) { h.StoreShowCursor(show); };
            auto& host = r.Run();
            EXPECT_EQ(r.System.CursorCounter >= 0, show) << start;
            // The setter applies a change at once.
            host.SetShowCursor(!show);
            EXPECT_EQ(r.System.CursorCounter >= 0, !show) << start;
            const int counter = r.System.CursorCounter;
            host.SetShowCursor(!show);  // no change: no call
            EXPECT_EQ(r.System.CursorCounter, counter);
        }
    }
}

TEST(HostRun, CursorSetterOnlyStoresOutsideFullScreen) {
    for (const char* line : {"/p 12288", "/c", "/a"}) {
        TRun r;
        r.AddWindow(0x3000, 0, 0, TRect{0, 0, 150, 100});
        r.System.CursorCounter = 2;
        auto& host = r.Run(line);
        host.SetShowCursor(true);
        EXPECT_TRUE(host.GetShowCursor());
        host.SetShowCursor(false);
        EXPECT_EQ(r.System.CursorCounter, 2) << line;
    }
}

TEST(HostRun, ScreenSaverFlagOnlyWhenNotNT) {
    for (const bool nt : {false, true}) {
        THostFixture f;
        f.System.NT = nt;
        f.Start("/s");
        EXPECT_EQ(f.System.Logged("SetScreenSaverRunning 1"), !nt);
        f.Window().Send(Msg::Close);
        f.Host.reset();
        EXPECT_EQ(f.System.Logged("SetScreenSaverRunning 0"), !nt);
    }
}

// --- Close sequence -------------------------------------------------------------------

TEST(HostClose, PassedVerificationClosesFormInOrder) {
    TRun r;
    UsePasswordLibrary(r.System, {true});
    r.System.DuringVerify = [&r] {
        r.System.Log.push_back("verify cursor " + std::to_string(r.System.CursorCounter));
    };
    r.Run();
    r.System.Log.clear();
    r.Window().FVisible = true;
    r.Window().Send(Msg::Close);
    const std::vector<std::string> expected{
        "OnClose cursor -1",
        "LoadLibrary password.cpl",
        "SetForegroundWindow " + std::to_string(SaverWnd),
        "VerifyScreenSavePwd",
        "verify cursor 0",
        "FreeLibrary",
    };
    EXPECT_EQ(r.System.Log, expected);
    EXPECT_EQ(r.Closes, 1);
    EXPECT_EQ(r.Cancels, 0);
    EXPECT_FALSE(r.Window().Visible());
    EXPECT_EQ(r.Form->Count(Msg::Close), 1);
    EXPECT_TRUE(r.Closed());
}

TEST(HostClose, PassesAtOnceWhenNothingToVerifyWith) {
    struct Case {
        const char* Name;
        std::function<void(fakes::TFakeHostSystem&)> Setup;
        bool Loads;
        bool Frees;
    };
    const std::vector<Case> cases{
        {"NT", [](auto& s) { s.NT = true; }, false, false},
        {"no value", [](auto& s) { s.UsePassword = false; }, false, false},
        {"no library", [](auto& s) { s.Libraries.clear(); }, true, false},
        {"no export", [](auto& s) { s.Exports.clear(); }, true, true},
    };
    for (const Case& c : cases) {
        TRun r;
        UsePasswordLibrary(r.System, {false});
        c.Setup(r.System);
        r.Run();
        r.Window().Send(Msg::Close);
        EXPECT_TRUE(r.Closed()) << c.Name;
        EXPECT_EQ(r.Closes, 1) << c.Name;
        EXPECT_EQ(r.Cancels, 0) << c.Name;
        EXPECT_FALSE(r.System.Logged("VerifyScreenSavePwd")) << c.Name;
        EXPECT_EQ(r.System.Logged("LoadLibrary password.cpl"), c.Loads) << c.Name;
        EXPECT_EQ(r.System.Logged("FreeLibrary"), c.Frees) << c.Name;
    }
}

TEST(HostClose, RefusedVerificationKeepsRunGoing) {
    TRun r;
    UsePasswordLibrary(r.System, {false});
    r.System.CursorCounter = 4;
    r.Run();
    r.Window().FVisible = true;
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Closes, 1);
    EXPECT_EQ(r.Cancels, 1);
    EXPECT_LT(r.System.CursorCounter, 0);  // hidden again
    EXPECT_TRUE(r.Window().Visible());
    EXPECT_EQ(r.Form->Count(Msg::Close), 0);
    EXPECT_FALSE(r.Closed());
    EXPECT_TRUE(r.System.Logged("FreeLibrary"));
    // The run goes on: input closes again, and each WM_CLOSE is verified anew.
    r.Window().Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
    r.Pump();
    EXPECT_EQ(r.Closes, 2);
    EXPECT_EQ(r.Cancels, 1);
    EXPECT_TRUE(r.Closed());
}

TEST(HostClose, RefusalWithVisibleCursorKeepsItVisible) {
    TRun r;
    UsePasswordLibrary(r.System, {false});
    r.Stored = [](TZelScreenSaver& h) { h.StoreShowCursor(true); };
    r.Run();
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Cancels, 1);
    EXPECT_GE(r.System.CursorCounter, 0);
}

TEST(HostClose, EveryCloseRequestFiresOnClose) {
    TRun r;
    UsePasswordLibrary(r.System, {false, false, false});
    r.Run();
    r.Window().Send(Msg::KeyDown, 'A');
    r.Window().Send(Msg::LButtonDown);
    r.Window().Send(Msg::KeyDown, 'B');
    EXPECT_EQ(r.PostedCloses(), 3);
    r.Pump();
    EXPECT_EQ(r.Closes, 3);
    EXPECT_EQ(r.Cancels, 3);
    EXPECT_FALSE(r.Closed());
}

TEST(HostClose, NestedCloseDuringVerificationIsAbsorbedOuterRefusalHolds) {
    TRun r;
    UsePasswordLibrary(r.System, {false, true});
    int nested = 0;
    r.System.DuringVerify = [&] {
        if (nested++ == 0) r.Window().Send(Msg::Close);  // from the dialog's message loop
    };
    auto& host = r.Run();
    r.System.Cursor = TPoint{7, 8};
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Closes, 1);
    EXPECT_EQ(r.Cancels, 1);
    EXPECT_EQ(r.Form->Count(Msg::Close), 0);
    EXPECT_FALSE(r.Closed());
    EXPECT_LT(r.System.CursorCounter, 0);
    EXPECT_EQ(host.MousePos(), (TPoint{7, 8}));
    // The next close request is verified as usual, and this time passes.
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Closes, 2);
    EXPECT_EQ(r.Form->Count(Msg::Close), 1);
    EXPECT_TRUE(r.Closed());
}

TEST(HostClose, NestedCloseDuringVerificationOuterPassClosesOnce) {
    TRun r;
    UsePasswordLibrary(r.System, {true});
    r.System.DuringVerify = [&] { r.Window().Send(Msg::Close); };
    r.Run();
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Closes, 1);
    EXPECT_EQ(r.Cancels, 0);
    EXPECT_EQ(r.Form->Count(Msg::Close), 1);
    EXPECT_TRUE(r.Closed());
}

TEST(HostClose, FailingVerificationDoesNotBlockLaterCloses) {
    TRun r;
    UsePasswordLibrary(r.System, {true});
    bool fail = true;
    r.System.DuringVerify = [&] {
        if (fail) throw Exception("password component failed");
    };
    r.Run();
    EXPECT_THROW(r.Window().Send(Msg::Close), Exception);
    EXPECT_FALSE(r.Closed());
    fail = false;
    r.Window().Send(Msg::Close);
    EXPECT_EQ(r.Closes, 2);
    EXPECT_TRUE(r.Closed());
}

TEST(HostClose, EmptyTrapEventsStillVerifiesCloseRequests) {
    TRun r;
    UsePasswordLibrary(r.System, {false});
    r.Stored = [](TZelScreenSaver& h) { h.TrapEvents = 0; };
    r.Run();
    r.Move(1, 1);
    r.Move(200, 300);
    r.System.KeysDown = {Vk::Menu};
    for (std::uint32_t msg : {Msg::KeyDown, Msg::SysKeyDown, Msg::LButtonDown, Msg::RButtonDown,
                              Msg::MButtonDown, Msg::Timer})
        r.Window().Send(msg);
    EXPECT_EQ(r.PostedCloses(), 0);
    r.Window().Send(Msg::Close);
    EXPECT_TRUE(r.System.Logged("VerifyScreenSavePwd"));
    EXPECT_EQ(r.Closes, 1);
    EXPECT_EQ(r.Cancels, 1);
}

// --- Translate control -----------------------------------------------------------------

TEST(HostTranslate, FormCannotBeTranslateControl) {
    TRun r;
    auto& host = r.Run();
    TTestControl control(r.Form.get(), 0x5000);
    host.SetTranslateControl(&control);
    try {
        host.SetTranslateControl(r.Form.get());
        FAIL() << "the form was accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "TranslateControlプロパティにメインフォームを指定することはできません");
    }
    EXPECT_EQ(host.GetTranslateControl(), &control);
    control.Send(Msg::KeyDown, 'A');  // its filter is still in place
    EXPECT_EQ(r.PostedCloses(), 1);
}

TEST(HostTranslate, ControlInputCountsAsFormInput) {
    TRun r;
    TTestControl control(nullptr, 0x5000);
    r.Stored = [&control](TZelScreenSaver& h) { h.SetTranslateControl(&control); };
    auto& host = r.Run();
    control.Send(Msg::KeyDown, 'K');
    EXPECT_EQ(r.PostedCloses(), 1);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 1);
    EXPECT_EQ(r.Form->OwnFull.back().WParam, static_cast<std::uintptr_t>('K'));
    EXPECT_EQ(control.Own.size(), 1u);  // the form's result was 0: passed on
    r.System.Cursor = TPoint{3, 4};
    control.Send(Msg::MouseMove);
    EXPECT_EQ(host.MousePos(), (TPoint{3, 4}));
    control.Send(Msg::RButtonDown);
    EXPECT_EQ(r.PostedCloses(), 2);
    control.Send(Msg::Timer, 1);  // not handed to the form
    EXPECT_EQ(r.Form->Count(Msg::Timer), 0);
    EXPECT_EQ(control.Own.back(), Msg::Timer);
    r.System.KeysDown = {Vk::Snapshot};
    control.Send(Msg::Timer, 1);
    EXPECT_EQ(r.PostedCloses(), 3);
}

TEST(HostTranslate, FilterWaitsForRunWhileLoading) {
    TRun r;
    TTestControl control(nullptr, 0x5000);
    bool sentWhileLoading = false;
    r.Stored = [&](TZelScreenSaver& h) {
        h.SetTranslateControl(&control);
        control.Send(Msg::KeyDown, 'A');
        sentWhileLoading = r.PostedCloses() == 0 && control.Own.size() == 1;
    };
    r.Run();
    EXPECT_TRUE(sentWhileLoading);
    control.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
}

TEST(HostTranslate, ChangingControlRestoresPreviousHandler) {
    TRun r;
    auto& host = r.Run();
    TTestControl a(nullptr, 0x5000);
    TTestControl b(nullptr, 0x5010);
    host.SetTranslateControl(&a);
    host.SetTranslateControl(&b);
    a.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(a.Own.size(), 1u);
    b.Send(Msg::KeyDown, 'B');
    EXPECT_EQ(r.PostedCloses(), 1);
    host.SetTranslateControl(nullptr);
    b.Send(Msg::KeyDown, 'B');
    EXPECT_EQ(r.PostedCloses(), 1);
    EXPECT_EQ(b.Own.size(), 2u);
}

TEST(HostTranslate, DestroyedControlClearsProperty) {
    TRun r;
    auto control = std::make_unique<TTestControl>(r.Form.get(), 0x5000);
    r.Stored = [&control](TZelScreenSaver& h) { h.SetTranslateControl(control.get()); };
    auto& host = r.Run();
    control.reset();
    EXPECT_EQ(host.GetTranslateControl(), nullptr);
    TTestControl other(nullptr, 0x5010);
    host.SetTranslateControl(&other);  // a new one is filtered again
    other.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
    r.Host.reset();
    other.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
}

TEST(HostTranslate, DestructionRestoresOldHandlers) {
    TRun r;
    TTestControl control(nullptr, 0x5000);
    int previous = 0;
    control.WindowProc = [&previous](TMessage&) { ++previous; };
    r.Stored = [&control](TZelScreenSaver& h) { h.SetTranslateControl(&control); };
    r.Run();
    r.Host.reset();
    control.Send(Msg::KeyDown, 'A');
    control.Send(Msg::Timer);
    EXPECT_EQ(previous, 2);
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 0);
    r.Window().Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 1);
}

}  // namespace
}  // namespace lum::testing
