// The sign-in and sign-out buttons of the real GTK settings dialog: where
// they sit, which URL the sign-in window is started for (the line under the
// text cursor, then the box's first URL, then the saved list), a start that
// fails, and the sign-out's question, refusal and report in boxes.
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeMessageBoxes.h"
#include "linux/GtkConfigDialogScript.h"
#include "linux/GtkMessageBoxes.h"
#include "linux/capture/CaptureLock.h"
#include "linux/session/KeptPasswords.h"
#include "linux/session/WebDataFolder.h"
#include "linux/session/WebSessionCommands.h"
#include "linux/settings/GtkConfigDialog.h"
#include "settings/ConfigDlg.h"

namespace lum::gtk {
namespace {

namespace fs = std::filesystem;

const char* const kPem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";

class TQuietPlatform : public IApplicationPlatform {
  public:
    std::vector<std::string> Reports;
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override { action(); }
};

class GtkConfigDialogSessionTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { OpenTestDisplay(); }
    void SetUp() override {
        ASSERT_NE(gdk_display_get_default(), nullptr) << "no display";
        SetApplication(&FApplication);
        char pattern[] = "/tmp/lum-session-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FRoot = pattern;
        FFile = FRoot / "lumenary.ini";
        FWeb = (FRoot / "web").string() + "/";
        FRegistry = std::make_unique<TIniRegistry>(FFile.string(), nullptr);
    }
    void TearDown() override {
        FDialog.reset();
        SetApplication(nullptr);
        std::error_code ignored;
        fs::remove_all(FRoot, ignored);
    }
    // The dialog with the launcher recorded and the session in the test's
    // folder.
    TGtkConfigDialog& Open(IMessageBoxes& boxes) {
        FDialog = CreateLumenaryConfigDlg(nullptr, *FRegistry, FFiles, boxes, "/cache/");
        TGtkConfigDialog& view = View();
        FDefaultStart = view.WebSession().StartSignIn;
        view.WebSession().StartSignIn = [this](const std::string& url) { FStarted.push_back(url); };
        view.WebSession().DataDir = FWeb;
        view.WebSession().LockPath = (FRoot / "capture.lock").string();
        return view;
    }
    TGtkConfigDialog& Open() { return Open(FBoxes); }
    // A shell script in the test's folder, for the dialog to start.
    std::string Script(const std::string& body) {
        const std::string path = (FRoot / ("program" + std::to_string(++FScripts))).string();
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    // Runs the main loop until done() or ms milliseconds have passed.
    static void WaitInLoop(const std::function<bool()>& done, int ms = 10000) {
        const gint64 end = g_get_monotonic_time() + gint64{ms} * 1000;
        while (!done() && g_get_monotonic_time() < end) {
            if (!g_main_context_iteration(nullptr, FALSE))
                g_usleep(10 * 1000);
        }
    }
    TGtkConfigDialog& View() {
        return static_cast<TGtkConfigDialog&>(static_cast<TLumenaryConfigDlg&>(*FDialog).View());
    }
    int RunModal(std::vector<std::function<void()>> steps) {
        steps.push_back([this] { View().EndModal(2); });
        TScript script(std::move(steps));
        return FDialog->ShowModal();
    }
    GtkWidget* W(TConfigWidget id) { return View().Control(id); }
    void Click(TConfigWidget id) { gtk_button_clicked(GTK_BUTTON(W(id))); }
    // Puts the text cursor at offset of line (from 0) of the URL box.
    void PlaceCursor(int line, int offset) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(W(TConfigWidget::URLList)));
        GtkTextIter at;
        gtk_text_buffer_get_iter_at_line_offset(buffer, &at, line, offset);
        gtk_text_buffer_place_cursor(buffer, &at);
    }
    void SetBox(const char* text) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(W(TConfigWidget::URLList)));
        gtk_text_buffer_set_text(buffer, text, -1);
    }
    // A kept session: two files and a trusted certificate.
    void MakeSession() {
        CreateWebDataDir(FWeb);
        std::ofstream(FWeb + "cookies.sqlite") << "c";
        fs::create_directories(FWeb + "storage");
        std::ofstream(FWeb + "storage/local") << "l";
        SaveTrustedCertificate(FWeb, "intranet.example", kPem);
    }
    GtkAllocation Place(GtkWidget* widget) {
        gint x = 0, y = 0;
        gtk_widget_translate_coordinates(widget, View().Window(), 0, 0, &x, &y);
        GtkAllocation a;
        gtk_widget_get_allocation(widget, &a);
        return GtkAllocation{x, y, a.width, a.height};
    }

    TQuietPlatform FPlatform;
    TApplication FApplication{FPlatform};
    fs::path FRoot;
    fs::path FFile;
    std::string FWeb;
    std::unique_ptr<TIniRegistry> FRegistry;
    fakes::TFakeFileSystem FFiles;
    fakes::TFakeMessageBoxes FBoxes;
    std::unique_ptr<TCustomForm> FDialog;
    std::vector<std::string> FStarted;
    std::function<void(const std::string&)> FDefaultStart;  // the dialog's own launcher
    int FScripts = 0;
};

TEST_F(GtkConfigDialogSessionTest, ButtonsSitInARowUnderTheURLList) {
    Open();
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(W(TConfigWidget::SignInBtn))), "サインイン...");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(W(TConfigWidget::SignOutBtn))), "サインアウト");
    EXPECT_STREQ(gtk_widget_get_name(W(TConfigWidget::SignInBtn)), "SignInBtn");
    GtkAllocation list{}, in{}, out{}, reload{};
    RunModal({[&] {
        list = Place(W(TConfigWidget::URLListBox));
        in = Place(W(TConfigWidget::SignInBtn));
        out = Place(W(TConfigWidget::SignOutBtn));
        reload = Place(W(TConfigWidget::URLReloadTime));
    }});
    EXPECT_TRUE(gtk_widget_get_visible(W(TConfigWidget::SignInBtn)));
    EXPECT_GT(in.width, 0);
    // Below the list, inside its width, before the times; one row, sign-in first.
    EXPECT_GE(in.y, list.y + list.height);
    EXPECT_GE(in.x, list.x);
    EXPECT_LE(out.x + out.width, list.x + list.width);
    EXPECT_EQ(out.y, in.y);
    EXPECT_GT(out.x, in.x + in.width - 1);
    EXPECT_LE(in.y + in.height, reload.y);
}

TEST_F(GtkConfigDialogSessionTest, SignInStartsTheURLOfTheCursorLineAndKeepsTheDialogOpen) {
    Open();
    bool open = false;
    const int result = RunModal({
        [this] {
            SetBox("https://first.example/\n  https://middle.example/a?b=1  \nlast.example");
        },
        [this] { PlaceCursor(1, 5); },
        [this] { Click(TConfigWidget::SignInBtn); },
        [this] { PlaceCursor(0, 0); },
        [this] { Click(TConfigWidget::SignInBtn); },
        [this] { PlaceCursor(2, 12); },  // the end of the last line, which has no line end
        [this] { Click(TConfigWidget::SignInBtn); },
        [&] { open = gtk_widget_get_visible(View().Window()); },
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(result, 2);  // ended by the script, not by the button
    EXPECT_EQ(FStarted, (std::vector<std::string>{"https://middle.example/a?b=1",
                                                  "https://first.example/", "last.example"}));
    EXPECT_TRUE(FBoxes.Boxes().empty());
}

TEST_F(GtkConfigDialogSessionTest, BlankLineTakesTheFirstURLOfTheBoxThenOfTheSavedList) {
    std::ofstream(FFile) << "[Lumenary\\URLList]\n1=\n2= https://saved.example/ \n";
    Open();
    RunModal({
        [this] { SetBox("\n\nhttps://second.example/\n\n"); },
        [this] { PlaceCursor(4, 0); },
        [this] { Click(TConfigWidget::SignInBtn); },
        [this] { SetBox(""); },
        [this] { Click(TConfigWidget::SignInBtn); },
        [this] { SetBox("  \n\t\n"); },
        [this] { PlaceCursor(1, 0); },
        [this] { Click(TConfigWidget::SignInBtn); },
    });
    EXPECT_EQ(FStarted,
              (std::vector<std::string>{"https://second.example/", "https://saved.example/",
                                        "https://saved.example/"}));
}

TEST_F(GtkConfigDialogSessionTest, NoURLAnywhereIsToldAndNothingStarts) {
    Open();
    RunModal({
        [this] { SetBox("\n \n"); },
        [this] { Click(TConfigWidget::SignInBtn); },
        [this] { SetBox("-geometry\n"); },
        [this] { Click(TConfigWidget::SignInBtn); },
    });
    EXPECT_TRUE(FStarted.empty());
    const auto boxes = FBoxes.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Caption, "警告");
    EXPECT_NE(boxes[0].Text.find("サインインするURLがありません"), std::string::npos)
        << boxes[0].Text;
    EXPECT_NE(boxes[1].Text.find("-geometry"), std::string::npos) << boxes[1].Text;
    EXPECT_TRUE(gtk_widget_get_visible(W(TConfigWidget::URLList)));
}

// The real start (the dialog's own launcher): a program of its own with
// the URL as its argument, while the dialog goes on; by default the sign-in
// program beside this one.
TEST_F(GtkConfigDialogSessionTest, SignInProgramRunsWithTheURLWithoutWaiting) {
    Open();
    EXPECT_EQ(fs::path(View().WebSession().SignInProgram).filename(), "lumenary-sign-in");
    EXPECT_EQ(::access(View().WebSession().SignInProgram.c_str(), X_OK), 0)
        << View().WebSession().SignInProgram;
    const std::string out = (FRoot / "argument").string();
    View().WebSession().StartSignIn = FDefaultStart;
    View().WebSession().SignInProgram = Script("sleep 1\nprintf '%s|%s' \"$#\" \"$1\" > " + out +
                                               ".tmp\nmv " + out + ".tmp " + out);
    bool waited = true;
    RunModal({
        [this] { SetBox("https://a.example/?q=x y&z\n"); },
        [&] {
            Click(TConfigWidget::SignInBtn);
            waited = fs::exists(out);  // the program sleeps before it writes
        },
        // Its end is collected while the dialog runs, without a box.
        [&] { WaitInLoop([&] { return fs::exists(out); }); },
        [&] { WaitInLoop([] { return false; }, 300); },
    });
    EXPECT_FALSE(waited);
    std::ifstream in(out);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "1|https://a.example/?q=x y&z");
    EXPECT_TRUE(FBoxes.Boxes().empty());
}

TEST_F(GtkConfigDialogSessionTest, ProgramThatCannotStartShowsAnErrorBox) {
    Open();
    const std::string missing = (FRoot / "lumenary-sign-in").string();
    View().WebSession().StartSignIn = FDefaultStart;
    View().WebSession().SignInProgram = missing;
    RunModal({
        [this] { SetBox("https://a.example/\n"); },
        [this] { Click(TConfigWidget::SignInBtn); },
    });
    const auto boxes = FBoxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "エラー");
    EXPECT_NE(boxes[0].Text.find(missing), std::string::npos) << boxes[0].Text;
}

// A sign-in program that ends unsuccessfully (no page sandbox, no display)
// is shown in a box; one ending after the dialog has gone is not.
TEST_F(GtkConfigDialogSessionTest, ProgramThatEndsUnsuccessfullyIsShownInABox) {
    Open();
    View().WebSession().StartSignIn = FDefaultStart;
    const std::string program = Script("exit 3");
    View().WebSession().SignInProgram = program;
    RunModal({
        [this] { SetBox("https://a.example/\n"); },
        [this] { Click(TConfigWidget::SignInBtn); },
        [&] { WaitInLoop([this] { return !FBoxes.Boxes().empty(); }); },
    });
    const auto boxes = FBoxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "エラー");
    EXPECT_NE(boxes[0].Text.find("終了コード 3"), std::string::npos) << boxes[0].Text;
    EXPECT_NE(boxes[0].Text.find(program), std::string::npos) << boxes[0].Text;

    Open();
    View().WebSession().StartSignIn = FDefaultStart;
    const std::string ended = (FRoot / "ended").string();
    View().WebSession().SignInProgram = Script("sleep 0.3\ntouch " + ended + "\nexit 4");
    RunModal({
        [this] { SetBox("https://a.example/\n"); },
        [this] { Click(TConfigWidget::SignInBtn); },
    });
    FDialog.reset();
    WaitInLoop([&] { return fs::exists(ended); });
    WaitInLoop([] { return false; }, 300);
    EXPECT_TRUE(fs::exists(ended));
    EXPECT_EQ(FBoxes.Boxes().size(), 1u);
}

TEST_F(GtkConfigDialogSessionTest, SignOutAsksThenRemovesAndSaysWhat) {
    MakeSession();
    Open();
    FBoxes.Answers = {false, true, true};
    RunModal({
        [this] { Click(TConfigWidget::SignOutBtn); },  // no
        [this] {
            EXPECT_TRUE(fs::exists(FWeb + "cookies.sqlite"));
            Click(TConfigWidget::SignOutBtn);  // yes
        },
        [this] { Click(TConfigWidget::SignOutBtn); },  // nothing left
    });
    EXPECT_FALSE(fs::exists(FWeb));
    const auto boxes = FBoxes.Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].Caption, "確認");
    EXPECT_EQ(boxes[0].Buttons, TMsgButtons::AcceptCancel);
    for (const std::string& part :
         {FWeb, std::string("ファイル 3 個"), std::string("intranet.example")})
        EXPECT_NE(boxes[0].Text.find(part), std::string::npos) << part << "\n" << boxes[0].Text;
    EXPECT_EQ(boxes[1].Text, boxes[0].Text);
    EXPECT_EQ(boxes[2].Caption, "情報");
    for (const std::string& part : {std::string("サインアウトしました"), FWeb,
                                    std::string("ファイル 3 個"), std::string("intranet.example")})
        EXPECT_NE(boxes[2].Text.find(part), std::string::npos) << part << "\n" << boxes[2].Text;
    EXPECT_EQ(boxes[3].Caption, "情報");
    EXPECT_NE(boxes[3].Text.find("ありません"), std::string::npos) << boxes[3].Text;
    EXPECT_TRUE(FStarted.empty());
}

// A remembered password is named before and after; with no keyring to reach
// (no session bus here) the session still goes and the box warns which
// password stays in the keyring.
TEST_F(GtkConfigDialogSessionTest, SignOutNamesTheKeyringPasswordsAndAKeyringOutOfReach) {
    MakeSession();
    RecordKeptPassword(FWeb, {"http", "intranet.example", 8080, "Intranet", "alice"});
    const char* bus = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string savedBus = bus ? bus : "";
    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime ? runtime : "";
    g_unsetenv("XDG_RUNTIME_DIR");
    Open();
    FBoxes.Answers = {true, true};
    RunModal({[this] { Click(TConfigWidget::SignOutBtn); }});
    if (bus)
        g_setenv("DBUS_SESSION_BUS_ADDRESS", savedBus.c_str(), TRUE);
    if (runtime)
        g_setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), TRUE);
    EXPECT_FALSE(fs::exists(FWeb));
    const auto boxes = FBoxes.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].Text.find("キーリングに記憶したパスワード: intranet.example"),
              std::string::npos)
        << boxes[0].Text;
    EXPECT_EQ(boxes[1].Caption, "警告");
    for (const std::string& part :
         {std::string("サインアウトしました"), std::string("キーリングに接続できませんでした"),
          std::string("キーリングに残っています（「WebKitGTK password」の項目）: intranet.example")})
        EXPECT_NE(boxes[1].Text.find(part), std::string::npos) << part << "\n" << boxes[1].Text;
}

TEST_F(GtkConfigDialogSessionTest, SignOutIsRefusedWhileTheSessionIsInUse) {
    MakeSession();
    Open();
    TCaptureLock capture(View().WebSession().LockPath);
    ASSERT_TRUE(capture.TryAcquire());
    RunModal({[this] { Click(TConfigWidget::SignOutBtn); }});
    EXPECT_TRUE(fs::exists(FWeb + "cookies.sqlite"));
    const auto boxes = FBoxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);  // not even asked
    EXPECT_EQ(boxes[0].Caption, "警告");
    EXPECT_NE(boxes[0].Text.find(capture.Path()), std::string::npos) << boxes[0].Text;
}

// The boxes are the dialog's own: real GTK message dialogs with its
// captions and buttons.
TEST_F(GtkConfigDialogSessionTest, SignOutBoxesAreRealMessageBoxes) {
    MakeSession();
    TGtkMessageBoxes boxes;
    Open(boxes);
    std::vector<std::string> seen;
    auto answer = [&seen](gint response) {
        GtkWidget* box = OpenMessageBox();
        ASSERT_NE(box, nullptr);
        seen.push_back(gtk_window_get_title(GTK_WINDOW(box)));
        for (gint id : {GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL}) {
            if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), id))
                seen.push_back(gtk_button_get_label(GTK_BUTTON(button)));
        }
        gtk_dialog_response(GTK_DIALOG(box), response);
    };
    RunModal({
        [this] { Click(TConfigWidget::SignOutBtn); },
        [&] { answer(GTK_RESPONSE_ACCEPT); },
        [&] { answer(GTK_RESPONSE_ACCEPT); },
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"確認", "はい(_Y)", "いいえ(_N)", "情報", "OK"}));
    EXPECT_FALSE(fs::exists(FWeb));
}

}  // namespace
}  // namespace lum::gtk
