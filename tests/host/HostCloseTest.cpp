#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

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
        if (nested++ == 0)
            r.Window().Send(Msg::Close);  // from the dialog's message loop
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
        if (fail)
            throw Exception("password component failed");
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

}  // namespace
}  // namespace lum::testing
