#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

constexpr THandle kPreviewWnd = 0x3000;  // 12288
constexpr THandle kDialogWnd = 0x3000;

std::string H(THandle h) {
    return std::to_string(h);
}

// --- Preview ------------------------------------------------------------------------

struct TPreview : THostFixture {
    std::vector<std::string> Events;
    TPreview() {
        System.NT = false;
        AddWindow(kPreviewWnd, 0x10000000, 0, TRect{10, 20, 162, 132});
        BindEvents = [this](TZelScreenSaver& h) {
            h.OnRunPreview = [this](TZelScreenSaver*, THandle w, THandle p) {
                Events.push_back("OnRunPreview " + H(w) + " " + H(p));
            };
            h.OnInitialize = [this](TZelScreenSaver*, bool&) { Events.push_back("OnInitialize"); };
            h.OnClose = [this](TZelScreenSaver*) { Events.push_back("OnClose"); };
            h.OnCloseCancel = [this](TZelScreenSaver*) { Events.push_back("OnCloseCancel"); };
        };
    }
};

TEST(HostPreview, EmbedsFormInPreviewWindowAtConstruction) {
    TPreview p;
    auto& host = p.Construct("/p 12288");
    EXPECT_EQ(p.Window().Parent, kPreviewWnd);
    EXPECT_EQ(p.System.Windows[SaverWnd].Style, 0x56000000u);
    EXPECT_EQ(host.TrapEvents, 0);
    EXPECT_TRUE(p.Events.empty());
}

TEST(HostPreview, StartUpFillsPreviewWindowWithoutTrapping) {
    TPreview p;
    p.System.CursorCounter = 3;
    auto& host = p.Start("/p 12288");
    EXPECT_EQ(p.Events,
              (std::vector<std::string>{"OnRunPreview " + H(SaverWnd) + " 12288", "OnInitialize"}));
    EXPECT_EQ(host.TrapEvents, 0);  // emptied again after the stored value
    EXPECT_EQ(p.Window().Bounds(), (TRect{0, 0, 152, 112}));
    EXPECT_TRUE(p.System.Logged("SetTopmost"));
    EXPECT_FALSE(p.System.Logged("SetScreenSaverRunning 1"));
    EXPECT_EQ(p.System.CursorCounter, 3);
    EXPECT_TRUE(p.App.ShowMainForm);
    EXPECT_EQ(p.PostedCloses(), 0);
}

TEST(HostPreview, NoInputEndsIt) {
    TPreview p;
    auto& host = p.Start("/p 12288");
    p.System.Cursor = TPoint{1, 2};
    p.Window().Send(Msg::MouseMove);
    p.System.Cursor = TPoint{90, 90};
    p.Window().Send(Msg::MouseMove);
    p.System.KeysDown = {Vk::Menu, Vk::Tab, Vk::Snapshot};
    for (std::uint32_t msg : {Msg::KeyDown, Msg::SysKeyDown, Msg::LButtonDown, Msg::RButtonDown,
                              Msg::MButtonDown, Msg::Timer, Msg::Paint})
        p.Window().Send(msg);
    EXPECT_EQ(p.PostedCloses(), 0);
    EXPECT_TRUE(p.App.ShowMainForm);
    EXPECT_TRUE(host.MouseMoved());
    EXPECT_EQ(host.MousePos(), (TPoint{1, 2}));
    EXPECT_EQ(p.Window().Send(Msg::SysCommand, kScScreenSave), 1);
    EXPECT_EQ(p.Form->Count(Msg::SysCommand), 0);
}

TEST(HostPreview, CloseRunsCloseSequence) {
    TPreview p;
    UsePasswordLibrary(p.System, {false, true});
    p.System.CursorCounter = -2;
    p.Start("/p 12288");
    p.Events.clear();
    p.Window().Send(Msg::Close);
    EXPECT_EQ(p.Events, (std::vector<std::string>{"OnClose", "OnCloseCancel"}));
    EXPECT_FALSE(p.Window().Destroyed);
    p.Window().Send(Msg::Close);
    EXPECT_TRUE(p.Window().Destroyed);
    EXPECT_EQ(p.System.CursorCounter, -2);  // the cursor belongs to the dialog
}

TEST(HostPreview, MissingPreviewWindowEndsAtOnce) {
    for (const char* line : {"/p 0", "/p:12288", "/p", "/p 999", "/p -1"}) {
        TPreview p;
        auto& host = p.Start(line);
        EXPECT_TRUE(host.Preview()) << line;
        EXPECT_TRUE(p.Events.empty()) << line;
        EXPECT_EQ(p.Window().Parent, 0u) << line;
        EXPECT_FALSE(p.System.Logged("SetWindowStyle 1442840576")) << line;
        EXPECT_FALSE(host.FormFilterInstalled()) << line;
        EXPECT_FALSE(p.App.ShowMainForm) << line;
        EXPECT_EQ(p.PostedCloses(), 1) << line;
        p.Pump();
        EXPECT_TRUE(p.Window().Destroyed) << line;
    }
}

// --- Configuration with a form --------------------------------------------------------

struct TConfig : THostFixture {
    TTestConfigForm* ConfigForm = nullptr;
    bool ConfigDestroyed = false;
    TRect ConfigRect{0, 0, 200, 100};  // window rectangle of the configuration form
    TRect ShownBounds;                 // its bounds when it was shown
    std::function<void()> DuringShowModal;
    bool SupplyForm = true;

    TConfig() {
        System.Foreground = 0;
        BindEvents = [this](TZelScreenSaver& h) {
            h.OnCreateConfigForm = [this](TZelScreenSaver* s, std::unique_ptr<TCustomForm>& f) {
                System.Log.push_back("OnCreateConfigForm parent " + H(ParentWnd));
                EXPECT_EQ(s, Host.get());
                if (!SupplyForm)
                    return;
                auto form = std::make_unique<TTestConfigForm>(Form.get(), Windows);
                form->Destroyed = &ConfigDestroyed;
                System.Windows[form->Handle()] = fakes::TFakeWindow{0, 0, 0, ConfigRect};
                form->OnShowModal = [this] {
                    System.Log.push_back("ShowModal");
                    ShownBounds = ConfigForm->BoundsRect();
                    if (DuringShowModal)
                        DuringShowModal();
                    return 2;
                };
                ConfigForm = form.get();
                f = std::move(form);
            };
            h.OnRunConfig = [this](TZelScreenSaver*, THandle w, THandle p) {
                EXPECT_EQ(w, ConfigWnd);
                System.Log.push_back("OnRunConfig " + H(w) + " " + H(p));
            };
        };
    }
};

TEST(HostConfig, ShowsFormModallyWithParentDisabled) {
    TConfig c;
    c.AddWindow(kDialogWnd, 0, 0, TRect{0, 0, 400, 300});
    bool enabledDuringModal = true;
    c.DuringShowModal = [&] { enabledDuringModal = c.System.Windows[kDialogWnd].Enabled; };
    c.Start("/c:12288");
    const THandle configWnd = c.ConfigForm->Handle();
    EXPECT_EQ(ConfigWnd, configWnd);
    const std::vector<std::string> expected{
        "SetWindowExStyle 128",
        "CloseImeStatusWindow",
        "OnCreateConfigForm parent 12288",
        "OnRunConfig " + H(configWnd) + " 12288",
        "EnableWindow 0",
        "ShowModal",
        "EnableWindow 1",
        "SetForegroundWindow 12288",
    };
    EXPECT_EQ(c.System.Log, expected);
    EXPECT_FALSE(enabledDuringModal);
    EXPECT_TRUE(c.System.Windows[kDialogWnd].Enabled);
    EXPECT_FALSE(c.App.ShowMainForm);
    EXPECT_EQ(c.PostedCloses(), 1);
    // Released, not destroyed at once: the message loop destroys it, then
    // handles the close of the main form, which was never shown.
    EXPECT_FALSE(c.ConfigDestroyed);
    EXPECT_FALSE(c.Host->FormFilterInstalled());
    c.Pump();
    EXPECT_TRUE(c.ConfigDestroyed);
    EXPECT_TRUE(c.Window().Destroyed);
    EXPECT_FALSE(c.Window().Visible());
}

TEST(HostConfig, DisabledParentStaysDisabled) {
    TConfig c;
    c.AddWindow(kDialogWnd, 0, 0, TRect{0, 0, 400, 300});
    c.System.Windows[kDialogWnd].Enabled = false;
    c.Start("/c:12288");
    EXPECT_FALSE(c.System.Windows[kDialogWnd].Enabled);
    EXPECT_FALSE(c.System.Logged("EnableWindow 1"));
    EXPECT_TRUE(c.System.Logged("SetForegroundWindow 12288"));
}

TEST(HostConfig, FailureWhileOpenStillEnablesParentAndReleasesForm) {
    for (const bool inShowModal : {true, false}) {
        TConfig c;
        c.AddWindow(kDialogWnd, 0, 0, TRect{0, 0, 400, 300});
        if (inShowModal) {
            c.DuringShowModal = [] { throw Exception("dialog failed"); };
        } else {
            auto bind = c.BindEvents;
            c.BindEvents = [bind](TZelScreenSaver& h) {
                bind(h);
                h.OnRunConfig = [](TZelScreenSaver*, THandle, THandle) {
                    throw Exception("dialog failed");
                };
            };
        }
        try {
            c.Start("/c:12288");
            FAIL() << "the failure was swallowed";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "dialog failed");
        }
        EXPECT_TRUE(c.System.Windows[kDialogWnd].Enabled) << inShowModal;
        EXPECT_EQ(c.AppPlatform.Deferred.size(), 1u) << inShowModal;
        EXPECT_FALSE(c.ConfigDestroyed);
        c.AppPlatform.RunDeferred();
        EXPECT_TRUE(c.ConfigDestroyed) << inShowModal;
        EXPECT_EQ(c.PostedCloses(), 0) << inShowModal;
        EXPECT_FALSE(c.System.Logged("SetForegroundWindow 12288")) << inShowModal;
    }
}

TEST(HostConfig, WithoutParentTouchesNoOtherWindow) {
    TConfig c;
    c.Start("/c");
    EXPECT_EQ(ParentWnd, 0u);
    EXPECT_TRUE(c.System.Logged("ShowModal"));
    for (const auto& e : c.System.Log) {
        EXPECT_EQ(e.rfind("EnableWindow", 0), std::string::npos) << e;
        EXPECT_EQ(e.rfind("SetForegroundWindow", 0), std::string::npos) << e;
    }
    EXPECT_EQ(c.PostedCloses(), 1);
}

// --- Centring ---------------------------------------------------------------------------

struct TCentreCase {
    const char* Name;
    std::optional<TRect> Parent;  // none: no parent, the desktop is used
    TSize Form;
    std::optional<TRect> WorkArea;  // the child of "Progman"; none: no such child
    TRect Expected;
};

TRect Centre(const TCentreCase& k) {
    TConfig c;
    c.System.Windows[c.System.Desktop].Rect = TRect{0, 0, 1024, 768};
    if (k.Parent)
        c.AddWindow(kDialogWnd, 0, 0, *k.Parent);
    c.AddWindow(0x7000);  // Progman, with or without a child
    c.System.ClassWindows["Progman|Program Manager"] = 0x7000;
    if (k.WorkArea) {
        c.System.Windows[0x7000].FirstChild = 0x7010;
        c.AddWindow(0x7010, kWsChild, 0x7000, *k.WorkArea);
    }
    c.ConfigRect = TRect{50, 60, 50 + k.Form.Width, 60 + k.Form.Height};
    c.Start(k.Parent ? "/c:12288" : "/c");
    return c.ShownBounds;
}

TEST(HostConfig, CenterConfigFormCentresAndClamps) {
    const TRect big{-2000, -2000, 2000, 2000};
    const TRect work{0, 0, 800, 570};
    const std::vector<TCentreCase> cases{
        {"centred over parent", TRect{100, 100, 501, 301}, {100, 51}, big, {250, 175, 350, 226}},
        {"odd halves truncate", TRect{0, 0, 101, 101}, {50, 50}, big, {25, 25, 75, 75}},
        // (101 - 200) / 2 is -49 and (99 - 150) / 2 is -25: toward zero.
        {"negative halves truncate toward zero",
         TRect{-500, -400, -399, -301},
         {200, 150},
         big,
         {-549, -425, -349, -275}},
        {"clamped to left and top",
         TRect{-300, -300, -100, -100},
         {300, 200},
         work,
         {0, 0, 300, 200}},
        {"clamped to right and bottom",
         TRect{700, 500, 900, 700},
         {300, 200},
         work,
         {500, 370, 800, 570}},
        {"larger than work area aligns right and bottom",
         std::nullopt,
         {1000, 700},
         work,
         {-200, -130, 800, 570}},
        {"no parent: over the desktop", std::nullopt, {200, 100}, work, {412, 334, 612, 434}},
        {"no Progman child: desktop is the work area",
         TRect{900, 0, 1100, 100},
         {200, 100},
         std::nullopt,
         {824, 0, 1024, 100}},
    };
    for (const TCentreCase& k : cases)
        EXPECT_EQ(Centre(k), k.Expected) << k.Name;
}

TEST(HostConfig, WorkAreaFallsBackToDesktopWithoutProgman) {
    TConfig c;
    c.System.Windows[c.System.Desktop].Rect = TRect{0, 0, 640, 480};
    c.AddWindow(kDialogWnd, 0, 0, TRect{600, 450, 700, 500});
    c.ConfigRect = TRect{0, 0, 100, 40};
    c.Start("/c:12288");
    EXPECT_EQ(c.ShownBounds, (TRect{540, 440, 640, 480}));
}

// --- Configuration without a form ------------------------------------------------------

TEST(HostConfig, WithoutFormShowsMessageBox) {
    {
        TConfig c;
        c.SupplyForm = false;
        c.AddWindow(kDialogWnd);
        c.Start("/c:12288");
        const std::vector<std::string> expected{
            "SetWindowExStyle 128",
            "CloseImeStatusWindow",
            "OnCreateConfigForm parent 12288",
            "MessageBox 12288 このスクリーンセーバーには、設定できるオプションがありません. "
            "スクリーンセーバー 64",
            "SetForegroundWindow 12288",
        };
        EXPECT_EQ(c.System.Log, expected);
        EXPECT_EQ(c.PostedCloses(), 1);
        EXPECT_FALSE(c.App.ShowMainForm);
    }
    {
        TConfig c;
        c.SupplyForm = false;
        auto bind = c.BindEvents;
        c.BindEvents = [bind](TZelScreenSaver& h) {
            bind(h);
            h.ConfigTitle = "Title";
            h.ConfigMessage = "Nothing to set";
        };
        c.Start("/c");
        EXPECT_EQ(c.System.Log.back(), "MessageBox 0 Nothing to set Title 131136");
        EXPECT_EQ(c.PostedCloses(), 1);
    }
}

// --- Password change ----------------------------------------------------------------------

struct TPassword : THostFixture {
    TPassword() {
        System.NT = false;
        System.Libraries.insert("mpr.dll");
        System.Exports.insert("PwdChangePasswordA");
        AddWindow(kDialogWnd);
        BindEvents = [this](TZelScreenSaver& h) {
            h.OnRunPassword = [this](TZelScreenSaver*, THandle w, THandle p) {
                System.Log.push_back("OnRunPassword " + H(w) + " " + H(p));
            };
        };
    }
    std::vector<std::string> AfterIme() const {
        auto it = std::find(System.Log.begin(), System.Log.end(), "CloseImeStatusWindow");
        return std::vector<std::string>(it + 1, System.Log.end());
    }
};

TEST(HostPassword, ChangesPasswordThroughProvider) {
    TPassword p;
    auto& host = p.Start("/a 12288");
    EXPECT_EQ(p.AfterIme(), (std::vector<std::string>{
                                "OnRunPassword 0 12288",
                                "LoadLibrary mpr.dll",
                                "PwdChangePassword SCRSAVE 12288",
                                "FreeLibrary",
                                "SetForegroundWindow 12288",
                            }));
    EXPECT_FALSE(p.App.ShowMainForm);
    EXPECT_EQ(p.PostedCloses(), 1);
    EXPECT_FALSE(host.FormFilterInstalled());
}

TEST(HostPassword, NothingToCallEndsQuietly) {
    struct Case {
        const char* Name;
        std::function<void(fakes::TFakeHostSystem&)> Setup;
        std::vector<std::string> Calls;
    };
    const std::vector<Case> cases{
        {"NT", [](auto& s) { s.NT = true; }, {}},
        {"no library", [](auto& s) { s.Libraries.clear(); }, {"LoadLibrary mpr.dll"}},
        {"no export", [](auto& s) { s.Exports.clear(); }, {"LoadLibrary mpr.dll", "FreeLibrary"}},
    };
    for (const Case& k : cases) {
        TPassword p;
        k.Setup(p.System);
        p.Start("/a 12288");
        std::vector<std::string> expected{"OnRunPassword 0 12288"};
        expected.insert(expected.end(), k.Calls.begin(), k.Calls.end());
        expected.push_back("SetForegroundWindow 12288");
        EXPECT_EQ(p.AfterIme(), expected) << k.Name;
        EXPECT_EQ(p.PostedCloses(), 1) << k.Name;
    }
}

TEST(HostPassword, WithoutParentPassesZero) {
    TPassword p;
    p.Start("/a");
    EXPECT_EQ(p.AfterIme(), (std::vector<std::string>{
                                "OnRunPassword 0 0",
                                "LoadLibrary mpr.dll",
                                "PwdChangePassword SCRSAVE 0",
                                "FreeLibrary",
                            }));
    EXPECT_EQ(p.PostedCloses(), 1);
}

}  // namespace
}  // namespace lum::testing
