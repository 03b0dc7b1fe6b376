// The settings dialog with real GTK widgets against the real settings file:
// what a load shows, what OK saves and Cancel does not, the spin buttons'
// limits, the colour choosers, the keyboard, and the message boxes, driven
// by steps that run inside the dialog's own modal loop.
#include "linux/settings/GtkConfigDialog.h"

#include <gtest/gtest.h>

#include "settings/Colors.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeMessageBoxes.h"
#include "linux/GtkConfigDialogScript.h"
#include "linux/GtkMessageBoxes.h"
#include "settings/ConfigDlg.h"
#include "settings/SettingsStore.h"

namespace lum::gtk {
namespace {

namespace fs = std::filesystem;

class TRecordingPlatform : public IApplicationPlatform {
  public:
    std::vector<std::string> Reports;
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override { action(); }
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class GtkConfigDialogTest : public ::testing::Test {
  protected:
    // Without a display the tests fail (a failing suite set-up would only
    // skip them).
    static void SetUpTestSuite() { OpenTestDisplay(); }
    void SetUp() override {
        ASSERT_NE(gdk_display_get_default(), nullptr) << "no display";
        SetApplication(&FApplication);
        FApplication.Title = "Lumenary";
        char pattern[] = "/tmp/lum-dlg-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FRoot = pattern;
        FFile = FRoot / "lumenary" / "lumenary.ini";
        fs::create_directories(FFile.parent_path());
        FRegistry = std::make_unique<TIniRegistry>(FFile.string(), [this](const TIniProblem& p) {
            if (FSink)
                FSink(p);
        });
    }
    void TearDown() override {
        FDialog.reset();
        SetApplication(nullptr);
        std::error_code ignored;
        fs::remove_all(FRoot, ignored);
    }
    void WriteSettings(const std::string& text) { std::ofstream(FFile, std::ios::binary) << text; }
    TGtkConfigDialog& Open(IMessageBoxes& boxes) {
        FDialog = CreateLumenaryConfigDlg(nullptr, *FRegistry, FFiles, boxes, "/cache/");
        return static_cast<TGtkConfigDialog&>(static_cast<TLumenaryConfigDlg&>(*FDialog).View());
    }
    TGtkConfigDialog& Open() { return Open(FBoxes); }
    // Shows the dialog modally while the steps run; a dialog still open
    // after them is cancelled.
    int RunModal(std::vector<std::function<void()>> steps) {
        auto& view = static_cast<TLumenaryConfigDlg&>(*FDialog).View();
        steps.push_back([&view] { static_cast<TGtkConfigDialog&>(view).EndModal(2); });
        TScript script(std::move(steps));
        return FDialog->ShowModal();
    }
    GtkWidget* W(TConfigWidget id) {
        return static_cast<TGtkConfigDialog&>(static_cast<TLumenaryConfigDlg&>(*FDialog).View())
            .Control(id);
    }
    std::string SpinText(TConfigWidget id) { return gtk_entry_get_text(GTK_ENTRY(W(id))); }
    bool Ticked(TConfigWidget id) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(W(id))); }
    gint Chosen(TConfigWidget id) { return gtk_combo_box_get_active(GTK_COMBO_BOX(W(id))); }
    void Click(TConfigWidget id) { gtk_button_clicked(GTK_BUTTON(W(id))); }
    void Type(TConfigWidget id, const char* text) { gtk_entry_set_text(GTK_ENTRY(W(id)), text); }
    // What a full-screen run would read now.
    std::string Stored() {
        TIniRegistry registry(FFile.string(), nullptr);
        TSettingsStore store(registry);
        const std::string s = store.SettingsSection();
        std::string all = store.ReadTextValue(s, "RefreshTime", "-") + "," +
                          store.ReadTextValue(s, "URLShowTime", "-") + "," +
                          store.ReadTextValue(s, "ShowURL", "-") +
                          store.ReadTextValue(s, "ShowClock", "-") +
                          store.ReadTextValue(s, "EnableScroll", "-") + "," +
                          store.ReadTextValue(s, "BackColor", "-") + "," +
                          store.ReadTextValue(s, "ForeColor", "-");
        std::vector<std::string> urls;
        store.LoadURLList(urls);
        for (const auto& url : urls)
            all += "|" + url;
        return all;
    }

    TRecordingPlatform FPlatform;
    TApplication FApplication{FPlatform};
    fs::path FRoot;
    fs::path FFile;
    TIniProblemSink FSink;
    std::unique_ptr<TIniRegistry> FRegistry;
    fakes::TFakeFileSystem FFiles;
    fakes::TFakeMessageBoxes FBoxes;
    std::unique_ptr<TCustomForm> FDialog;
};

const char* const kSample =
    "[Lumenary]\nRefreshTime=90\nURLShowTime=-5\nShowURL=1\nShowClock=0\nEnableScroll=0\n"
    "BackColor=clRed\nForeColor=$00123456\n"
    "[Lumenary\\URLList]\n1=http://example.com/?a=1;b=2\n2=http://日本語.example/ページ\n";

TEST_F(GtkConfigDialogTest, DefaultsShowWithTheCaptionsAndCancelWritesNothing) {
    auto& view = Open();
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(view.Window())), "Lumenary設定");
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(view.Window())));
    EXPECT_EQ(SpinText(TConfigWidget::URLReloadTime), "1");
    EXPECT_EQ(SpinText(TConfigWidget::URLShowTime), "5");
    EXPECT_FALSE(Ticked(TConfigWidget::ShowURL));
    EXPECT_FALSE(Ticked(TConfigWidget::ShowClock));
    EXPECT_TRUE(Ticked(TConfigWidget::EnableScroll));
    EXPECT_EQ(Chosen(TConfigWidget::BackColor), ColorSelectionOf(TextToColor("clBtnFace")));
    EXPECT_EQ(Chosen(TConfigWidget::ForeColor), ColorSelectionOf(TextToColor("clWindowText")));
    EXPECT_EQ(view.URLText(), "");
    const std::pair<TConfigWidget, const char*> captions[] = {
        {TConfigWidget::Label1, "再読込までの時間(分/_M)："},
        {TConfigWidget::Label4, "1ページの表示時間(秒/_S)："},
        {TConfigWidget::Label2, "背景色(_B)："},
        {TConfigWidget::Label3, "文字色(_F)："},
    };
    for (const auto& [id, caption] : captions)
        EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(W(id))), caption);
    const std::pair<TConfigWidget, const char*> buttons[] = {
        {TConfigWidget::ShowURL, "表示中URL(_U)"},
        {TConfigWidget::ShowClock, "現在時刻(_C)"},
        {TConfigWidget::EnableScroll, "スクロールして全体を表示(_R)"},
        {TConfigWidget::EraseSection, "設定をすべて削除(_E)"},
        {TConfigWidget::OKBtn, "OK"},
        {TConfigWidget::CancelBtn, "キャンセル"},
    };
    for (const auto& [id, caption] : buttons)
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(W(id))), caption);
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(W(TConfigWidget::URLListBox))),
                 "URLリスト(一行に一つ)");
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(W(TConfigWidget::ShowConfigs))), "表示");
    // The erase speaks of the settings file, by its path, not of a registry.
    g_autofree gchar* tip = gtk_widget_get_tooltip_text(W(TConfigWidget::EraseSection));
    ASSERT_NE(tip, nullptr);
    EXPECT_NE(std::string(tip).find(FFile.string()), std::string::npos) << tip;
    EXPECT_EQ(std::string(tip).find("レジストリ"), std::string::npos) << tip;
    EXPECT_EQ(RunModal({[this] { Click(TConfigWidget::CancelBtn); }}), 2);
    EXPECT_FALSE(fs::exists(FFile));
    EXPECT_TRUE(FPlatform.Reports.empty());
}

TEST_F(GtkConfigDialogTest, StoredValuesShowAndEditsAreSavedByOK) {
    WriteSettings(kSample);
    auto& view = Open();
    EXPECT_EQ(SpinText(TConfigWidget::URLReloadTime), "60");  // 90 shows as the bound
    EXPECT_EQ(SpinText(TConfigWidget::URLShowTime), "0");     // so does -5
    EXPECT_TRUE(Ticked(TConfigWidget::ShowURL));
    EXPECT_FALSE(Ticked(TConfigWidget::EnableScroll));
    EXPECT_EQ(Chosen(TConfigWidget::BackColor), ColorSelectionOf(TextToColor("clRed")));
    EXPECT_EQ(Chosen(TConfigWidget::ForeColor), -1);  // not an offered colour
    EXPECT_EQ(view.URLText(), "http://example.com/?a=1;b=2\r\nhttp://日本語.example/ページ\r\n");
    const int result = RunModal({
        [this] {
            gtk_spin_button_spin(GTK_SPIN_BUTTON(W(TConfigWidget::URLReloadTime)),
                                 GTK_SPIN_STEP_BACKWARD, 1);
        },
        [this] {
            gtk_spin_button_spin(GTK_SPIN_BUTTON(W(TConfigWidget::URLShowTime)),
                                 GTK_SPIN_STEP_FORWARD, 1);
        },
        [this] { Click(TConfigWidget::ShowClock); },
        [this] { Click(TConfigWidget::EnableScroll); },
        [this] {
            gtk_combo_box_set_active(GTK_COMBO_BOX(W(TConfigWidget::BackColor)),
                                     ColorSelectionOf(TextToColor("clNavy")));
        },
        [this] {
            GtkTextBuffer* buffer =
                gtk_text_view_get_buffer(GTK_TEXT_VIEW(W(TConfigWidget::URLList)));
            GtkTextIter end;
            gtk_text_buffer_get_end_iter(buffer, &end);
            gtk_text_buffer_insert(buffer, &end, "https://三番目.example/\n", -1);
        },
        [this] { Click(TConfigWidget::OKBtn); },
    });
    EXPECT_EQ(result, 1);
    // The colour not offered keeps its stored text.
    EXPECT_EQ(Stored(),
              "59,1,111,clNavy,$00123456|http://example.com/?a=1;b=2|"
              "http://日本語.example/ページ|https://三番目.example/");
}

TEST_F(GtkConfigDialogTest, SpinButtonsStopAtTheirLimitsAndTypedGarbageIsSaidOnOK) {
    WriteSettings("[Lumenary]\nRefreshTime=60\nURLShowTime=0\n");
    auto& view = Open();
    auto spin = [this](TConfigWidget id, GtkSpinType direction) {
        gtk_spin_button_spin(GTK_SPIN_BUTTON(W(id)), direction, 1);
    };
    auto leave = [this](TConfigWidget id) { gtk_spin_button_update(GTK_SPIN_BUTTON(W(id))); };
    auto focused = [&view] { return gtk_window_get_focus(GTK_WINDOW(view.Window())); };
    RunModal({
        [&] { spin(TConfigWidget::URLReloadTime, GTK_SPIN_STEP_FORWARD); },
        [&] { spin(TConfigWidget::URLShowTime, GTK_SPIN_STEP_BACKWARD); },
        [&] {
            EXPECT_EQ(SpinText(TConfigWidget::URLReloadTime), "60");  // no wrap-around
            EXPECT_EQ(SpinText(TConfigWidget::URLShowTime), "0");
            Type(TConfigWidget::URLReloadTime, "75");
            Type(TConfigWidget::URLShowTime, "abc");
            // Leaving a box (or Enter) keeps a text that is no position.
            leave(TConfigWidget::URLReloadTime);
            leave(TConfigWidget::URLShowTime);
        },
        [this] { Click(TConfigWidget::OKBtn); },
        [&] {
            // Said, not saved; the box focused with its text selected.
            ASSERT_EQ(FBoxes.Boxes().size(), 1u);
            EXPECT_EQ(FBoxes.Boxes()[0].Text,
                      "「再読込までの時間(分)」の「75」は使えません。\n"
                      "0から60までの整数を入力してください。");
            EXPECT_EQ(Stored(), "60,0,---,-,-");
            EXPECT_EQ(SpinText(TConfigWidget::URLReloadTime), "75");
            EXPECT_EQ(focused(), W(TConfigWidget::URLReloadTime));
            gint from = 0, to = 0;
            EXPECT_TRUE(gtk_editable_get_selection_bounds(
                GTK_EDITABLE(W(TConfigWidget::URLReloadTime)), &from, &to));
            EXPECT_EQ(to - from, 2);
            Type(TConfigWidget::URLReloadTime, "45");
            leave(TConfigWidget::URLReloadTime);  // a good number is taken on leaving
            Click(TConfigWidget::OKBtn);
        },
        [&] {
            ASSERT_EQ(FBoxes.Boxes().size(), 2u);
            EXPECT_NE(FBoxes.Boxes()[1].Text.find("「1ページの表示時間(秒)」の「abc」"),
                      std::string::npos);
            EXPECT_EQ(focused(), W(TConfigWidget::URLShowTime));
            // An arrow steps from the last valid position and shows it.
            spin(TConfigWidget::URLShowTime, GTK_SPIN_STEP_FORWARD);
            EXPECT_EQ(SpinText(TConfigWidget::URLShowTime), "1");
            Click(TConfigWidget::OKBtn);
        },
    });
    EXPECT_EQ(FBoxes.Boxes().size(), 2u);
    EXPECT_EQ(Stored(), "45,1,001,clBtnFace,clWindowText");
}

// The URL box's lines that are not URLs, asked about in a real box: no
// goes back to the first of them with the text as typed, yes saves it so.
TEST_F(GtkConfigDialogTest, LinesThatAreNotURLsAreListedAndSavedOnlyWhenTheUserSaysSo) {
    TGtkMessageBoxes boxes;
    auto& view = Open(boxes);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(W(TConfigWidget::URLList)));
    const std::string typed = "http://a.example/\n\nwww.example.com\nhttp://b c/\n";
    std::string title, text;
    auto answer = [&](gint response) {
        GtkWidget* box = OpenMessageBox();
        ASSERT_NE(box, nullptr);
        title = gtk_window_get_title(GTK_WINDOW(box));
        g_autofree gchar* shown = nullptr;
        g_object_get(box, "text", &shown, nullptr);
        text = shown ? shown : "";
        gtk_dialog_response(GTK_DIALOG(box), response);
    };
    const int result = RunModal({
        [&] { gtk_text_buffer_set_text(buffer, typed.c_str(), -1); },
        [this] { Click(TConfigWidget::OKBtn); },
        [&] { answer(GTK_RESPONSE_CANCEL); },  // いいえ: back to editing
        [&] {
            EXPECT_EQ(title, "警告");
            EXPECT_NE(text.find("3行目: 「www.example.com」"), std::string::npos) << text;
            EXPECT_NE(text.find("4行目: 「http://b c/」 空白"), std::string::npos) << text;
            EXPECT_FALSE(fs::exists(FFile));
            EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(view.Window())), W(TConfigWidget::URLList));
            GtkTextIter caret;
            gtk_text_buffer_get_iter_at_mark(buffer, &caret, gtk_text_buffer_get_insert(buffer));
            EXPECT_EQ(gtk_text_iter_get_line(&caret), 2);
            EXPECT_EQ(gtk_text_iter_get_line_offset(&caret), 0);
            Click(TConfigWidget::OKBtn);
        },
        [&] { answer(GTK_RESPONSE_ACCEPT); },  // はい: saved as typed
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Stored(), "1,5,001,clBtnFace,clWindowText|http://a.example/|www.example.com|http://b c/");
}

TEST_F(GtkConfigDialogTest, ColourChoosersOfferFiftyEntriesWithSwatches) {
    Open();
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(W(TConfigWidget::ForeColor)));
    ASSERT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 50);
    const auto& offered = OfferedColors();
    for (int i = 0; i < 50; ++i) {
        GtkTreeIter row;
        ASSERT_TRUE(gtk_tree_model_iter_nth_child(model, &row, nullptr, i));
        GdkPixbuf* swatch = nullptr;
        gchar* name = nullptr;
        gtk_tree_model_get(model, &row, 0, &swatch, 1, &name, -1);
        EXPECT_STREQ(name, offered[i].ChooserName);
        ASSERT_NE(swatch, nullptr);
        const guchar* pixels = gdk_pixbuf_get_pixels(swatch);
        const int stride = gdk_pixbuf_get_rowstride(swatch);
        const int channels = gdk_pixbuf_get_n_channels(swatch);
        const guchar* centre = pixels + 7 * stride + 7 * channels;
        const std::uint32_t rgb = ColorToRgb(offered[i].Value);
        EXPECT_EQ(centre[0], (rgb >> 16) & 0xFF) << i;
        EXPECT_EQ(centre[1], (rgb >> 8) & 0xFF) << i;
        EXPECT_EQ(centre[2], rgb & 0xFF) << i;
        EXPECT_EQ(pixels[0] + pixels[1] + pixels[2], 0);  // the frame
        g_free(name);
        g_object_unref(swatch);
    }
    EXPECT_EQ(ColorToRgb(TextToColor("clRed")), 0xFF0000u);
    EXPECT_EQ(ColorToRgb(TextToColor("clBtnFace")), 0xD4D0C8u);
    RunModal({
        [this] {
            gtk_combo_box_set_active(GTK_COMBO_BOX(W(TConfigWidget::ForeColor)),
                                     ColorSelectionOf(TextToColor("clYellow")));
        },
        [this] { Click(TConfigWidget::OKBtn); },
    });
    EXPECT_EQ(Stored(), "1,5,001,clBtnFace,clYellow");
}

TEST_F(GtkConfigDialogTest, KeyboardTabOrderEscAndEnter) {
    auto& view = Open();
    std::vector<GtkWidget*> visited;
    RunModal({
        [&] {
            FocusIn(view.Window());
            for (int i = 0; i < 14; ++i) {
                visited.push_back(gtk_window_get_focus(GTK_WINDOW(view.Window())));
                PressKey(view.Window(), GDK_KEY_Tab);
            }
        },
        [&] { PressKey(view.Window(), GDK_KEY_Escape); },
    });
    // The sign-in and sign-out buttons follow the URL list they sit under.
    const std::vector<TConfigWidget> order = {
        TConfigWidget::URLList,       TConfigWidget::SignInBtn,    TConfigWidget::SignOutBtn,
        TConfigWidget::URLReloadTime, TConfigWidget::URLShowTime,  TConfigWidget::ShowURL,
        TConfigWidget::ShowClock,     TConfigWidget::EraseSection, TConfigWidget::BackColor,
        TConfigWidget::ForeColor,     TConfigWidget::EnableScroll, TConfigWidget::OKBtn,
        TConfigWidget::CancelBtn,
    };
    ASSERT_GE(visited.size(), order.size());
    // A chooser takes the focus with the button inside it.
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_TRUE(visited[i] == W(order[i]) || gtk_widget_is_ancestor(visited[i], W(order[i])))
            << i << " " << (visited[i] ? gtk_widget_get_name(visited[i]) : "none");
    }
    EXPECT_EQ(visited[order.size()], W(order[0]));  // round again
    EXPECT_FALSE(fs::exists(FFile));                // Esc saved nothing

    Open();
    const int result = RunModal({
        [this] { gtk_widget_grab_focus(W(TConfigWidget::ShowURL)); },
        [this] { PressKey(gtk_widget_get_toplevel(W(TConfigWidget::ShowURL)), GDK_KEY_Return); },
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Stored(), "1,5,001,clBtnFace,clWindowText");  // not ticked by the Enter
}

TEST_F(GtkConfigDialogTest, AccessKeysOfTheColourLabelsFocusTheirChoosersOnly) {
    auto& view = Open();
    GtkWidget* window = view.Window();
    auto focus = [window] { return gtk_window_get_focus(GTK_WINDOW(window)); };
    auto inside = [](GtkWidget* focused, GtkWidget* control) {
        return focused && (focused == control || gtk_widget_is_ancestor(focused, control));
    };
    std::vector<std::function<void()>> steps = {
        [&] {
            FocusIn(window);
            PressKey(window, GDK_KEY_b, GDK_MOD1_MASK);
            EXPECT_TRUE(inside(focus(), W(TConfigWidget::BackColor)));
            PressKey(window, GDK_KEY_f, GDK_MOD1_MASK);
            EXPECT_TRUE(inside(focus(), W(TConfigWidget::ForeColor)));
            // The time labels' keys lead nowhere.
            GtkWidget* before = focus();
            PressKey(window, GDK_KEY_m, GDK_MOD1_MASK);
            PressKey(window, GDK_KEY_s, GDK_MOD1_MASK);
            EXPECT_EQ(focus(), before);
            PressKey(window, GDK_KEY_u, GDK_MOD1_MASK);
            EXPECT_EQ(focus(), W(TConfigWidget::ShowURL));
        },
    };
    // A button pressed from the keyboard shows itself pressed for a moment
    // before it acts.
    steps.resize(steps.size() + 25, [] {});
    // Enter in a time box presses OK, with what was typed.
    steps.push_back([&] { gtk_widget_grab_focus(W(TConfigWidget::URLShowTime)); });
    steps.push_back([&] {
        gtk_entry_set_text(GTK_ENTRY(W(TConfigWidget::URLShowTime)), "33");
        PressKey(window, GDK_KEY_Return);
    });
    steps.resize(steps.size() + 25, [] {});
    const int result = RunModal(steps);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Stored(), "1,33,101,clBtnFace,clWindowText");
}

TEST_F(GtkConfigDialogTest, EraseAsksInARealMessageBoxThenRemovesTheSettings) {
    WriteSettings(kSample);
    TGtkMessageBoxes boxes;
    Open(boxes);
    std::vector<std::string> seen;
    std::vector<std::string> texts;
    auto answer = [&seen, &texts](gint response) {
        GtkWidget* box = OpenMessageBox();
        ASSERT_NE(box, nullptr);
        seen.push_back(gtk_window_get_title(GTK_WINDOW(box)));
        g_autofree gchar* text = nullptr;
        g_object_get(box, "text", &text, nullptr);
        texts.push_back(text ? text : "");
        for (gint id : {GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL}) {
            if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), id))
                seen.push_back(gtk_button_get_label(GTK_BUTTON(button)));
        }
        gtk_dialog_response(GTK_DIALOG(box), response);
    };
    RunModal({
        [this] { Click(TConfigWidget::EraseSection); },
        [&] { answer(GTK_RESPONSE_DELETE_EVENT); },  // the close box answers no
        [this] {
            EXPECT_NE(Stored(), "-,-,---,-,-");
            Click(TConfigWidget::EraseSection);
        },
        [&] { answer(GTK_RESPONSE_ACCEPT); },
        [&] { answer(GTK_RESPONSE_ACCEPT); },
        [this] { Click(TConfigWidget::CancelBtn); },
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"確認", "はい(_Y)", "いいえ(_N)", "確認", "はい(_Y)",
                                              "いいえ(_N)", "情報", "OK"}));
    EXPECT_EQ(Stored(), "-,-,---,-,-");
    // The question says that all settings go and names the settings file.
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "このスクリーンセーバーの設定を、すべて削除します。\n設定ファイル: " +
                            FFile.string());
    EXPECT_EQ(texts[0].find("レジストリ"), std::string::npos);
}

// A save that cannot be written (here: the process's file size limit, as a
// full disk would) is reported; the dialog stays open with what was typed
// and the file stays as it was. A later OK saves.
TEST_F(GtkConfigDialogTest, FailedSaveIsReportedAndTheDialogStaysOpen) {
    WriteSettings(kSample);
    const std::string bytes = ReadBytes(FFile);
    Open();
    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    std::string shown;
    const int result = RunModal({
        [this] { Click(TConfigWidget::ShowClock); },
        [this] {
            GtkTextBuffer* buffer =
                gtk_text_view_get_buffer(GTK_TEXT_VIEW(W(TConfigWidget::URLList)));
            gtk_text_buffer_set_text(buffer, "http://typed.example/\n", -1);
        },
        [&old] {
            rlimit small = old;
            small.rlim_cur = 16;
            ::setrlimit(RLIMIT_FSIZE, &small);
        },
        [this] { Click(TConfigWidget::OKBtn); },
        [&] {
            ::setrlimit(RLIMIT_FSIZE, &old);
            EXPECT_TRUE(gtk_widget_get_visible(
                static_cast<TGtkConfigDialog&>(static_cast<TLumenaryConfigDlg&>(*FDialog).View())
                    .Window()));
            EXPECT_EQ(ReadBytes(FFile), bytes);
            shown = static_cast<TLumenaryConfigDlg&>(*FDialog).View().URLText();
            EXPECT_TRUE(Ticked(TConfigWidget::ShowClock));
        },
        [this] { Click(TConfigWidget::OKBtn); },
    });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(FPlatform.Reports.size(), 1u);
    EXPECT_NE(FPlatform.Reports[0].find(FFile.string()), std::string::npos) << FPlatform.Reports[0];
    EXPECT_EQ(shown, "http://typed.example/\r\n");
    EXPECT_EQ(Stored(), "60,0,110,clRed,$00123456|http://typed.example/");
}

// A long URL (a dashboard's state) that the user leaves alone is saved
// whole, although the box shows it cut to its line limit.
TEST_F(GtkConfigDialogTest, UntouchedLongURLIsSavedWhole) {
    const std::string dashboard = "http://dash.example/#state=" + std::string(6000, 'd');
    WriteSettings("[Lumenary\\URLList]\n1=short\n2=" + dashboard + "\n");
    auto& view = Open();
    EXPECT_EQ(view.URLText(), "short\r\n" + dashboard.substr(0, 4094) + "\r\n");
    EXPECT_EQ(RunModal({[this] { Click(TConfigWidget::OKBtn); }}), 1);
    EXPECT_EQ(Stored(), "1,5,001,clBtnFace,clWindowText|short|" + dashboard);
}

TEST_F(GtkConfigDialogTest, MalformedFileIsShownInABoxAndKeptWhenOKSaves) {
    WriteSettings("[Lumenary]\nRefreshTime=7\nRefreshTime=8\n");
    FSink = DialogProblemSink(FBoxes);
    Open();
    ASSERT_EQ(FBoxes.Boxes().size(), 1u);
    EXPECT_EQ(FBoxes.Boxes()[0].Caption, "警告");
    EXPECT_NE(FBoxes.Boxes()[0].Text.find("3 行目"), std::string::npos);
    EXPECT_EQ(SpinText(TConfigWidget::URLReloadTime), "1");
    RunModal({[this] { Click(TConfigWidget::OKBtn); }});
    EXPECT_EQ(ReadBytes(FFile.string() + ".bad"), "[Lumenary]\nRefreshTime=7\nRefreshTime=8\n");
    EXPECT_EQ(Stored(), "1,5,001,clBtnFace,clWindowText");
    ASSERT_EQ(FBoxes.Boxes().size(), 2u);
    EXPECT_EQ(FBoxes.Boxes()[1].Caption, "情報");
}

TEST_F(GtkConfigDialogTest, DialogIsCentredOnTheScreenWhenShown) {
    auto& view = Open();
    TRect placed{};
    RunModal({[&] { placed = view.BoundsRect(); }});
    const TSize screen = view.ScreenSize();
    EXPECT_EQ(screen, (TSize{1024, 768}));
    EXPECT_NEAR(placed.Left, (screen.Width - placed.Width()) / 2, 2);
    EXPECT_NEAR(placed.Top, (screen.Height - placed.Height()) / 2, 2);
    // Saves a picture of the dialog where LUM_DIALOG_SHOT says.
    if (const char* shot = std::getenv("LUM_DIALOG_SHOT")) {
        RunModal({[] {}, [] {}, [] {},
                  [&] {
                      GdkWindow* window = gtk_widget_get_window(view.Window());
                      GdkPixbuf* picture =
                          gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                     gdk_window_get_height(window));
                      gdk_pixbuf_save(picture, shot, "png", nullptr, nullptr);
                      g_object_unref(picture);
                  }});
    }
}

}  // namespace
}  // namespace lum::gtk
