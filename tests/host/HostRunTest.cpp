#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

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
    for (std::uint32_t msg : {Msg::MouseMove, Msg::LButtonDown, Msg::RButtonDown, Msg::MButtonDown})
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
    // The system uses the low four bits of the command itself.
    EXPECT_EQ(r.Window().Send(Msg::SysCommand, kScScreenSave | 0x2), 1);
    EXPECT_EQ(r.Window().Send(Msg::SysCommand, kScScreenSave | 0xF), 1);
    EXPECT_EQ(r.Form->Count(Msg::SysCommand), 0);
    EXPECT_EQ(r.Window().Send(Msg::SysCommand, 0xF060), 0);  // SC_CLOSE
    EXPECT_EQ(r.Form->Count(Msg::SysCommand), 1);
    EXPECT_EQ(r.Window().Send(Msg::SysCommand, kScScreenSave + 0x10), 0);  // SC_HOTKEY
    EXPECT_EQ(r.Form->Count(Msg::SysCommand), 2);
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

}  // namespace
}  // namespace lum::testing
