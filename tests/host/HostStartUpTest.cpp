#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

std::string H(THandle h) {
    return std::to_string(h);
}

// Binds every event of the host so that it writes into the system's call log,
// which orders events and platform calls in one list.
void LogEvents(THostFixture& f) {
    auto& log = f.System.Log;
    f.BindEvents = [&log, &f](TZelScreenSaver& h) {
        auto notify = [&log](const std::string& name) {
            return [&log, name](TZelScreenSaver*, THandle w, THandle p) {
                log.push_back(name + " " + H(w) + " " + H(p));
            };
        };
        h.OnRunNormal = notify("OnRunNormal");
        h.OnRunPreview = notify("OnRunPreview");
        h.OnRunConfig = notify("OnRunConfig");
        h.OnRunPassword = notify("OnRunPassword");
        h.OnInitialize = [&log](TZelScreenSaver*, bool&) { log.push_back("OnInitialize"); };
        h.OnMutexClose = [&log, &f](TZelScreenSaver* s) {
            EXPECT_EQ(s, f.Host.get());
            log.push_back("OnMutexClose");
        };
        h.OnCreateConfigForm = [&log](TZelScreenSaver*, std::unique_ptr<TCustomForm>& form) {
            EXPECT_EQ(form, nullptr);
            log.push_back("OnCreateConfigForm");
        };
    };
}

// The entries of the log that are events (they start with "On").
std::vector<std::string> Events(const fakes::TFakeHostSystem& system) {
    std::vector<std::string> events;
    for (const auto& e : system.Log)
        if (e.rfind("On", 0) == 0 && e.rfind("OpenMutex", 0) != 0)
            events.push_back(e);
    return events;
}

// --- Dispatch per mode ---------------------------------------------------------

TEST(HostStartUp, FullScreenRunOrder) {
    THostFixture f;
    f.System.NT = false;
    LogEvents(f);
    auto& host = f.Start("/s");
    const THandle saver = f.Form->Handle();
    EXPECT_EQ(SaverWnd, saver);
    const std::vector<std::string> expected{
        "SetWindowExStyle 128",
        "CloseImeStatusWindow",
        "OpenMutex TZelScreenSaverMutex[43242875]",
        "CreateMutex TZelScreenSaverMutex[43242875]",
        "OnRunNormal " + H(saver) + " " + H(f.System.Desktop),
        "SetScreenSaverRunning 1",
        "OnInitialize",
        "SetTopmost",
    };
    EXPECT_EQ(f.System.Log, expected);
    EXPECT_TRUE(host.FormFilterInstalled());
    EXPECT_EQ(f.Window().Bounds(), (TRect{0, 0, 1024, 768}));
    EXPECT_LT(f.System.CursorCounter, 0);
    EXPECT_EQ(f.PostedCloses(), 0);
    EXPECT_TRUE(f.App.ShowMainForm);
}

TEST(HostStartUp, EventsPerMode) {
    struct Case {
        const char* Line;
        std::vector<std::string> Events;
    };
    const THandle saver = 0x20020;  // the first window of the fake factory
    const std::vector<Case> cases{
        {"/s", {"OnRunNormal " + H(saver) + " 65552", "OnInitialize"}},
        {"/p 12288", {"OnRunPreview " + H(saver) + " 12288", "OnInitialize"}},
        {"/a 12288", {"OnRunPassword 0 12288"}},
        {"/c:12288", {"OnCreateConfigForm"}},
    };
    for (const Case& c : cases) {
        THostFixture f;
        f.AddWindow(0x3000, 0, 0, TRect{0, 0, 150, 100});
        LogEvents(f);
        f.Start(c.Line);
        EXPECT_EQ(SaverWnd, saver) << c.Line;
        EXPECT_EQ(Events(f.System), c.Events) << c.Line;
        EXPECT_TRUE(f.System.Logged("CloseImeStatusWindow")) << c.Line;
        EXPECT_TRUE(f.System.Logged("SetWindowExStyle 128")) << c.Line;
        const bool runs = c.Line[1] == 's' || c.Line[1] == 'p';
        EXPECT_EQ(f.Host->FormFilterInstalled(), runs) << c.Line;
        EXPECT_EQ(f.App.ShowMainForm, runs) << c.Line;
        EXPECT_EQ(f.PostedCloses(), runs ? 0 : 1) << c.Line;
        const bool mutexUsed = f.System.Logged("OpenMutex TZelScreenSaverMutex[43242875]");
        EXPECT_EQ(mutexUsed, c.Line[1] == 's') << c.Line;
    }
}

TEST(HostStartUp, SecondHostOnOneFormFails) {
    THostFixture f;
    auto& first = f.Start("/s");
    try {
        TZelScreenSaver second(f.Form.get(), f.System);
        FAIL() << "a second host was accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(),
                     "TZelScreenSaverコンポーネントは、フォーム上に１つだけ配置することが出来ます");
    }
    ASSERT_EQ(f.Form->Components().size(), 1u);
    EXPECT_EQ(f.Form->Components()[0], &first);
    f.Window().Send(Msg::KeyDown, 'A');  // the first one still works
    EXPECT_EQ(f.PostedCloses(), 1);
}

TEST(HostStartUp, ConstructorValuesBeforeStoredValuesApply) {
    THostFixture f;
    f.System.Tick = 987654;
    auto& host = f.Construct("/s");
    EXPECT_EQ(host.MutexName, "TZelScreenSaverMutex[987654]");
    EXPECT_EQ(host.ConfigTitle, "スクリーンセーバー");
    EXPECT_EQ(host.ConfigMessage, "このスクリーンセーバーには、設定できるオプションがありません.");
    EXPECT_TRUE(host.Initialize);
    EXPECT_TRUE(host.Mutex);
    EXPECT_FALSE(host.GetShowCursor());
    EXPECT_FALSE(host.ShowTaskbarIcon);
    EXPECT_EQ(host.TrapEvents, 31);
    EXPECT_EQ(host.GetTranslateControl(), nullptr);
    EXPECT_FALSE(host.MouseMoved());
}

TEST(HostStartUp, ToolWindowStyleIsAddedUnlessTaskbarIconIsShown) {
    {
        THostFixture f;
        f.SaverExStyle = 0x8;  // already topmost
        f.Start("/c");
        EXPECT_EQ(f.System.Windows[SaverWnd].ExStyle, 0x88u);
    }
    {
        THostFixture f;
        f.BindEvents = [](TZelScreenSaver& h) { h.ShowTaskbarIcon = true; };
        f.Start("/s");
        for (const auto& e : f.System.Log)
            EXPECT_EQ(e.rfind("SetWindowExStyle", 0), std::string::npos);
        EXPECT_TRUE(f.System.Logged("CloseImeStatusWindow"));
    }
}

TEST(HostStartUp, InitializeHandlerMayKeepFormSize) {
    THostFixture f;
    f.BindEvents = [](TZelScreenSaver& h) {
        h.OnInitialize = [](TZelScreenSaver*, bool& init) { init = false; };
    };
    auto& host = f.Start("/s");
    EXPECT_FALSE(host.Initialize);
    EXPECT_EQ(f.Window().Bounds(), TRect{});
    EXPECT_TRUE(f.System.Logged("SetTopmost"));
}

// --- Single-instance guard -------------------------------------------------------

TEST(HostMutex, SecondFullScreenStartEndsWithoutRunning) {
    THostFixture first;
    first.Start("/s");
    THostFixture second;
    second.System.Mutexes = &first.System.OwnMutexes;  // the same system-wide names
    second.System.NT = false;
    LogEvents(second);
    auto& host = second.Start("/s");
    EXPECT_EQ(Events(second.System), std::vector<std::string>{"OnMutexClose"});
    EXPECT_FALSE(second.App.ShowMainForm);
    ASSERT_EQ(second.System.Posted.size(), 1u);
    EXPECT_EQ(second.System.Posted[0].Wnd, SaverWnd);
    EXPECT_EQ(second.System.Posted[0].Msg, Msg::Close);
    EXPECT_FALSE(host.FormFilterInstalled());
    EXPECT_FALSE(second.System.Logged("SetTopmost"));
    EXPECT_FALSE(second.System.Logged("SetScreenSaverRunning 1"));
    EXPECT_FALSE(second.System.Logged("CreateMutex TZelScreenSaverMutex[43242875]"));
    // The form closes without ever being shown.
    second.Pump();
    EXPECT_TRUE(second.Window().Destroyed);
    EXPECT_FALSE(second.Window().Visible());
}

TEST(HostMutex, EndingSecondInstanceKeepsFirstRunGuardedAndFlagged) {
    THostFixture first;
    first.Start("/s");
    {
        THostFixture second;
        second.System.Mutexes = &first.System.OwnMutexes;
        second.System.NT = false;
        second.Start("/s");
        second.System.Log.clear();
        second.Host.reset();
        // It never told the system that a screen saver runs, so it does not
        // tell it that none does while the first one still runs.
        EXPECT_FALSE(second.System.Logged("SetScreenSaverRunning 0"));
        EXPECT_TRUE(second.System.Logged("CloseHandle"));
    }
    EXPECT_EQ(first.System.OwnMutexes.count("TZelScreenSaverMutex[43242875]"), 1u);
}

TEST(HostMutex, WithoutMutexAnyNumberOfRunsStart) {
    THostFixture first;
    first.BindEvents = [](TZelScreenSaver& h) { h.Mutex = false; };
    first.Start("/s");
    for (int i = 0; i < 3; ++i) {
        THostFixture next;
        next.System.Mutexes = &first.System.OwnMutexes;
        bool ran = false;
        next.BindEvents = [&ran](TZelScreenSaver& h) {
            h.Mutex = false;
            h.OnRunNormal = [&ran](TZelScreenSaver*, THandle, THandle) { ran = true; };
        };
        next.Start("/s");
        EXPECT_TRUE(ran);
        EXPECT_FALSE(next.System.Logged("OpenMutex TZelScreenSaverMutex[43242875]"));
        EXPECT_EQ(next.Host->MutexHandle(), 0u);
    }
    EXPECT_TRUE(first.System.OwnMutexes.empty());
}

TEST(HostMutex, OtherModesRunBesideHeldMutex) {
    THostFixture holder;
    holder.Start("/s");
    for (const char* line : {"/p 12288", "/c:12288", "/a 12288"}) {
        THostFixture other;
        other.System.Mutexes = &holder.System.OwnMutexes;
        other.AddWindow(0x3000, 0, 0, TRect{0, 0, 150, 100});
        LogEvents(other);
        other.Start(line);
        EXPECT_FALSE(Events(other.System).empty()) << line;
        EXPECT_FALSE(other.System.Logged("OnMutexClose")) << line;
        for (const auto& e : other.System.Log)
            EXPECT_EQ(e.find("Mutex "), std::string::npos) << e;
    }
}

TEST(HostMutex, DifferentNameDoesNotCollide) {
    THostFixture first;
    first.Start("/s");
    THostFixture second;
    second.System.Mutexes = &first.System.OwnMutexes;
    LogEvents(second);
    auto bind = second.BindEvents;
    second.BindEvents = [bind](TZelScreenSaver& h) {
        bind(h);
        h.MutexName = "TZelScreenSaverMutex[1]";
    };
    second.Start("/s");
    EXPECT_EQ(Events(second.System).at(0).rfind("OnRunNormal", 0), 0u);
}

TEST(HostMutex, FailedCreationRunsWithoutGuard) {
    THostFixture f;
    f.System.FailCreateMutex = true;
    LogEvents(f);
    auto& host = f.Start("/s");
    EXPECT_EQ(Events(f.System).at(0).rfind("OnRunNormal", 0), 0u);
    EXPECT_EQ(host.MutexHandle(), 0u);
    f.System.Log.clear();
    f.Host.reset();
    EXPECT_FALSE(f.System.Logged("ReleaseMutex"));
}

// --- Destruction -------------------------------------------------------------------

TEST(HostDestruction, ReleasesInOrder) {
    THostFixture f;
    f.System.NT = false;
    f.Start("/s");
    f.System.Log.clear();
    f.Host.reset();
    EXPECT_EQ(f.System.Log, (std::vector<std::string>{"ReleaseCapture", "SetScreenSaverRunning 0",
                                                      "ReleaseMutex", "CloseHandle"}));
    // The form's own handling is back: input no longer closes anything.
    f.Window().Send(Msg::KeyDown, 'A');
    f.Window().Send(Msg::SysCommand, kScScreenSave);
    EXPECT_EQ(f.PostedCloses(), 0);
    EXPECT_EQ(f.Form->Count(Msg::KeyDown), 1);
    EXPECT_EQ(f.Form->Count(Msg::SysCommand), 1);
}

TEST(HostDestruction, FlagIsLeftAloneOnNTAndOutsideFullScreen) {
    for (const char* line : {"/s", "/p 12288", "/c", "/a"}) {
        THostFixture f;
        f.System.NT = std::string(line) == "/s";  // the flag is only touched when not NT
        f.AddWindow(0x3000, 0, 0, TRect{0, 0, 150, 100});
        f.Start(line);
        f.System.Log.clear();
        f.Host.reset();
        EXPECT_EQ(f.System.Log.at(0), "ReleaseCapture") << line;
        EXPECT_FALSE(f.System.Logged("SetScreenSaverRunning 0")) << line;
    }
}

TEST(HostDestruction, NewFullScreenStartWorksAfterEnd) {
    fakes::TFakeHostSystem shared;
    {
        THostFixture first;
        first.System.Mutexes = &shared.OwnMutexes;
        first.Start("/s");
        first.Window().Send(Msg::Close);
        EXPECT_TRUE(first.Window().Destroyed);
    }
    EXPECT_TRUE(shared.OwnMutexes.empty());
    THostFixture again;
    again.System.Mutexes = &shared.OwnMutexes;
    LogEvents(again);
    again.Start("/s");
    EXPECT_EQ(Events(again.System).at(0).rfind("OnRunNormal", 0), 0u);
}

}  // namespace
}  // namespace lum::testing
