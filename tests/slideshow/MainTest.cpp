// The display form with all its platform services faked: the full-screen
// start, the preview, the close that is refused or really happens, the X/Z
// shortcuts, the configuration hand-over, and failures at the start.
#include <gtest/gtest.h>

#include "DisplayFormRig.h"
#include "fakes/FakeCanvas.h"
#include "slideshow/PaintLayout.h"

namespace lum {
namespace {

constexpr const char* kSection = "Software\\Orvane\\Lumenary";

class DisplayFormTest : public ::testing::Test, protected testing::TDisplayFormRig {
  protected:
    TScreenSaverDisplayForm& Start(const std::string& args) {
        Host.Line = "Lumenary.scr " + args;
        Form = std::make_unique<TScreenSaverDisplayForm>(Services);
        return *Form;
    }
    void SaveURLs(const std::vector<std::string>& urls) {
        for (std::size_t i = 0; i < urls.size(); ++i)
            Registry.PutValue(std::string(kSection) + "\\URLList", std::to_string(i + 1),
                              TRegValue{RegType::String, urls[i]});
    }
};

TEST_F(DisplayFormTest, FullScreenStartReadsSettingsAndStartsTheFirstPass) {
    Registry.PutValue(kSection, "RefreshTime", {RegType::String, "3"});
    Registry.PutValue(kSection, "URLShowTime", {RegType::String, "7"});
    Registry.PutValue(kSection, "ShowURL", {RegType::String, "1"});
    Registry.PutValue(kSection, "BackColor", {RegType::String, "clNavy"});
    SaveURLs({"https://a.example/", "", "https://b.example/?x=1&y=2"});
    auto& form = Start("/s");

    EXPECT_TRUE(Files.Folders.count("C:\\Tools\\LumenaryCache\\"));
    const TSlideShow& show = form.SlideShow();
    EXPECT_EQ(show.FURLs,
              (std::vector<std::string>{"https://a.example/", "https://b.example/?x=1&y=2"}));
    EXPECT_EQ(show.FRefreshTime, 3);
    EXPECT_EQ(show.FURLShowTime, 7);
    EXPECT_TRUE(show.FShowURL);
    EXPECT_FALSE(show.FShowClock);
    EXPECT_TRUE(show.FEnableScroll);
    EXPECT_EQ(form.Color, 0x00800000);
    EXPECT_EQ(form.FontColor, SystemColor(8));
    EXPECT_EQ(show.FNextRefreshTick, 5000u + 3 * 60000);
    EXPECT_TRUE(form.Timer->Enabled());
    ASSERT_NE(Web, nullptr);
    EXPECT_EQ(Web->Navigations, (std::vector<std::string>{"about:blank"}));
    EXPECT_TRUE(show.FBitmap.Empty()) << "no page is loaded before the first tick";
    EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 1024, 768}));
}

TEST_F(DisplayFormTest, UnreadableSettingsFallBackToTheirDefaultsAndTheRunGoesOn) {
    Registry.PutValue(kSection, "RefreshTime", {RegType::DWord, ""});
    Registry.PutValue(kSection, "ShowClock", {RegType::Binary, ""});
    Registry.PutValue(kSection, "ForeColor", {RegType::String, "blue"});
    Registry.PutValue(kSection, "URLShowTime", {RegType::String, "9"});
    auto& form = Start("/s");
    EXPECT_EQ(form.SlideShow().FRefreshTime, 1);
    EXPECT_FALSE(form.SlideShow().FShowClock);
    EXPECT_EQ(form.FontColor, SystemColor(8));
    EXPECT_EQ(form.SlideShow().FURLShowTime, 9) << "the readable values still count";
    EXPECT_TRUE(form.Timer->Enabled());
    EXPECT_TRUE(AppPlatform.Reports.empty());
}

TEST_F(DisplayFormTest, FullScreenStartWithNothingStoredGetsEveryDefault) {
    auto& form = Start("/s");
    const TSlideShow& show = form.SlideShow();
    EXPECT_EQ(show.FRefreshTime, 1);
    EXPECT_EQ(show.FURLShowTime, 5);
    EXPECT_FALSE(show.FShowURL);
    EXPECT_FALSE(show.FShowClock);
    EXPECT_TRUE(show.FEnableScroll);
    EXPECT_EQ(form.Color, SystemColor(15));
    EXPECT_EQ(form.FontColor, SystemColor(8));
    EXPECT_TRUE(show.FURLs.empty());
    EXPECT_EQ(show.FNextRefreshTick, 5000u + 60000);
    EXPECT_FALSE(Registry.KeyExists(kSection)) << "the run writes no settings";
}

TEST_F(DisplayFormTest, URLListWithOneUnreadableEntryAtRunStartShowsTheOthersInOrder) {
    SaveURLs({"https://a.example/", "https://b.example/", "https://c.example/"});
    Registry.PutValue(std::string(kSection) + "\\URLList", "2", {RegType::Binary, ""});
    auto& form = Start("/s");
    EXPECT_EQ(form.SlideShow().FURLs,
              (std::vector<std::string>{"https://a.example/", "https://c.example/"}));
    EXPECT_TRUE(AppPlatform.Reports.empty());
    ASSERT_NE(Web, nullptr);
    EXPECT_TRUE(form.Timer->Enabled());
}

// A run without pages would show the loading text for ever: it says once
// that there is nothing to show, and the display shows how to add pages.
TEST_F(DisplayFormTest, EmptyListIsSaidOnceAndShownAsACardThatSaysHowToAddPages) {
    auto& form = Start("/s");
    EXPECT_TRUE(form.SlideShow().FURLs.empty());
    ASSERT_EQ(AppPlatform.LogLines.size(), 1u);
    EXPECT_NE(AppPlatform.LogLines[0].find("the URL list is empty"), std::string::npos);
    fakes::TFakeCanvas canvas(1024, 768);
    TPaintContext context{TDisplayMode::dmNormal, 1024, 768, 0, 0xFFFFFF, "Lumenary", {}};
    fakes::TFakeLocale locale;
    PaintDisplay(canvas, form.SlideShow(), context, locale);
    std::vector<std::string> texts;
    for (const auto& text : canvas.Texts)
        texts.push_back(text.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{kNoPagesHeading, kNoPagesHint}));
}

TEST_F(DisplayFormTest, CaptureFormThatCannotBeActivatedIsReportedOnceAndCachedPagesStillShow) {
    FailWebView = true;
    auto& form = Start("/s");
    ASSERT_EQ(AppPlatform.Reports.size(), 1u);
    EXPECT_EQ(AppPlatform.Reports[0], "OLE コントロールのアクティベートに失敗しました");
    EXPECT_TRUE(form.Timer->Enabled());
    Clock.Tick += 60001 * 2;
    Window().Send(Msg::Timer, 1);  // a refresh falls due without a capture form
    EXPECT_EQ(AppPlatform.Reports.size(), 1u);
}

TEST_F(DisplayFormTest, RefusedCloseKeepsTheSlideShowAndAPassedCloseReleasesItOnce) {
    Host.NT = false;
    Host.UsePassword = true;
    Host.Libraries.insert("password.cpl");
    Host.Exports.insert("VerifyScreenSavePwd");
    Host.Verdicts = {false, true};
    SaveURLs({"https://a.example/"});
    auto& form = Start("/s");

    Window().Send(Msg::Close);
    EXPECT_TRUE(form.Timer->Enabled());
    EXPECT_EQ(form.SlideShow().FURLs.size(), 1u);
    EXPECT_NE(form.WorkingForm(), nullptr);
    EXPECT_FALSE(Window().Destroyed);

    Window().Send(Msg::Close);
    EXPECT_TRUE(Window().Destroyed);
    EXPECT_FALSE(form.Timer->Enabled());
    EXPECT_TRUE(form.SlideShow().FURLs.empty());
    EXPECT_EQ(form.WorkingForm(), nullptr);
    EXPECT_EQ(AppPlatform.Deferred.size(), 1u) << "the capture form goes from the message loop";
    AppPlatform.RunDeferred();

    // A late tick or close finds nothing left to touch.
    Window().Send(Msg::Timer, 1);
    Window().Send(Msg::Close);
    EXPECT_TRUE(AppPlatform.Deferred.empty());
}

TEST_F(DisplayFormTest, CaptureCompletionAfterAPassedCloseTouchesNothing) {
    Registry.PutValue(kSection, "EnableScroll", {RegType::String, "0"});
    SaveURLs({"https://a.example/", "https://b.example/"});
    Start("/s");
    ASSERT_NE(Web, nullptr);
    Web->Complete("about:blank");
    ASSERT_EQ(Web->Navigations.back(), "https://a.example/");
    const std::size_t files = Files.Files.size();

    Window().Send(Msg::Close);
    ASSERT_TRUE(Window().Destroyed);
    ASSERT_EQ(AppPlatform.Deferred.size(), 1u);  // the capture form is not gone yet
    Web->Complete("https://a.example/");         // ... and its control still reports
    Web->Fail("https://b.example/", "no answer");
    EXPECT_EQ(Files.Files.size(), files);
    EXPECT_EQ(Web->Navigations.back(), "https://a.example/");
    EXPECT_TRUE(AppPlatform.Reports.empty());
    AppPlatform.RunDeferred();
}

TEST_F(DisplayFormTest, XAndZAreConsumedAsShortcutsAndOtherKeysAreNot) {
    auto& form = Start("/s");
    EXPECT_TRUE(form.IsShortCut(TMessage{Msg::KeyDown, Vk::X, 0, 0}));
    EXPECT_TRUE(form.IsShortCut(TMessage{Msg::KeyDown, Vk::Z, 0, 0}));
    EXPECT_FALSE(form.IsShortCut(TMessage{Msg::KeyDown, 0x41, 0, 0}));
    EXPECT_FALSE(form.IsShortCut(TMessage{Msg::KeyDown, Vk::Escape, 0, 0}));
}

TEST_F(DisplayFormTest, TickLoadsTheFirstPageAndRepaints) {
    SaveURLs({"https://a.example/"});
    auto& form = Start("/s");
    const int before = Window().Invalidations;
    Window().Send(Msg::Timer, 1);
    EXPECT_EQ(form.SlideShow().FPageIndex, 0);
    EXPECT_EQ(Window().Invalidations, before + 1);

    fakes::TFakeCanvas canvas(1024, 768);
    Window().Canvas = &canvas;
    Window().Send(Msg::Paint);
    ASSERT_FALSE(canvas.Texts.empty());
    EXPECT_EQ(canvas.Texts[0].Text, "読み込み中です。しばらくおまちください");
}

TEST_F(DisplayFormTest, PreviewPaintsTheTitleWhiteOnBlackAndStartsNothing) {
    Host.Windows[0x3000] = fakes::TFakeWindow{0x40000000, 0, 0, TRect{0, 0, 152, 112}};
    auto& form = Start("/p 12288");
    EXPECT_EQ(form.Color, clBlack);
    EXPECT_EQ(form.FontColor, clWhite);
    EXPECT_FALSE(form.Timer->Enabled());
    EXPECT_EQ(Web, nullptr);
    fakes::TFakeCanvas canvas(152, 112);
    Window().Canvas = &canvas;
    Window().Send(Msg::Paint);
    EXPECT_EQ(canvas.TextAt(5, 5), "Lumenary");
    Window().Send(Msg::Close);
    EXPECT_TRUE(Window().Destroyed);
}

TEST_F(DisplayFormTest, ConfigurationWithoutADialogShowsTheHostMessageAndCloses) {
    Start("/c");
    EXPECT_TRUE(
        Host.Logged("MessageBox 0 このスクリーンセーバーには、設定できるオプションがありません. "
                    "スクリーンセーバー 131136"));
    EXPECT_FALSE(App.ShowMainForm);
    ASSERT_EQ(Host.Posted.size(), 1u);
    EXPECT_EQ(Host.Posted[0].Msg, Msg::Close);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// A run left alone for days follows edits of its settings: they are read
// anew before every pass. A pass that may not start now (another program
// captures) leaves the shows to what that program writes.
TEST_F(DisplayFormTest, SettingsAreReadAgainAtEveryPassAndARefusedPassIsSeenByTheShows) {
    SaveURLs({"https://a.example/"});
    auto& form = Start("/s");
    ASSERT_NE(Web, nullptr);
    Web->Complete("about:blank");
    Web->CompleteCurrent();
    ASSERT_FALSE(form.WorkingForm()->Busy());

    SaveURLs({"https://b.example/", "https://c.example/"});
    Registry.PutValue(kSection, "URLShowTime", {RegType::String, "9"});
    Registry.PutValue(kSection, "RefreshTime", {RegType::String, "2"});
    Clock.Tick += 61000;
    Window().Send(Msg::Timer, 1);
    const TSlideShow& show = form.SlideShow();
    EXPECT_EQ(show.FURLs, (std::vector<std::string>{"https://b.example/", "https://c.example/"}));
    EXPECT_EQ(show.FURLShowTime, 9);
    EXPECT_EQ(Web->Navigations.back(), "about:blank");
    EXPECT_TRUE(show.FCapturing);
    Web->Complete("about:blank");
    EXPECT_EQ(Web->Navigations.back(), "https://b.example/");
    Web->CompleteCurrent();
    Web->CompleteCurrent();

    Web->RefusePass = true;
    Clock.Tick += 2 * 60000 + 1000;
    Window().Send(Msg::Timer, 1);
    EXPECT_FALSE(show.FCapturing);
    EXPECT_EQ(Web->Navigations.back(), "https://c.example/");
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// A settings file refused as a whole (no settings file at all) gives no
// list: the card says which file, why, and the form of the list, in the
// saver's colours; once the file reads again at a pass, the pages come.
TEST_F(DisplayFormTest, RefusedSettingsFileShowsACardNamingItAndTheFormOfTheList) {
    std::string why = "line 3: 'https://a.example/' is no key";
    Services.SettingsRefused = [&why](std::string& path, std::string& reason) {
        path = "/home/u/.config/lumenary/lumenary.ini";
        reason = why;
        return !why.empty();
    };
    Registry.PutValue(kSection, "BackColor", {RegType::String, "clNavy"});
    auto& form = Start("/s");
    fakes::TFakeCanvas canvas(1024, 768);
    Window().Canvas = &canvas;
    Window().Send(Msg::Paint);
    ASSERT_EQ(canvas.Texts.size(), 4u);
    EXPECT_EQ(canvas.Texts[0].Text, kSettingsRefusedHeading);
    EXPECT_EQ(canvas.Texts[1].Text, "/home/u/.config/lumenary/lumenary.ini");
    EXPECT_EQ(canvas.Texts[2].Text, "(line 3: 'https://a.example/' is no key)");
    EXPECT_EQ(canvas.Texts[3].Text, kURLListFormHint);
    EXPECT_EQ(canvas.Texts[0].Back, 0x00800000);
    for (const std::string& line : AppPlatform.LogLines)
        EXPECT_EQ(line.find("URL list is empty"), std::string::npos) << line;

    why.clear();
    SaveURLs({"https://a.example/"});
    Clock.Tick += 61000;
    Window().Send(Msg::Timer, 1);
    canvas.Texts.clear();
    Window().Send(Msg::Paint);
    ASSERT_FALSE(canvas.Texts.empty());
    EXPECT_EQ(canvas.Texts[0].Text, kLoadingText);
    EXPECT_EQ(form.SlideShow().FURLs.size(), 1u);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// A line of the list may carry options after its URL: the show and the
// capture use the URL alone (a header's value never reaches the URL line, a
// request or the log), and an option that cannot be read is said once in
// the run, naming the page, not at every pass.
TEST_F(DisplayFormTest, OptionsAfterAURLLeaveTheURLAloneAndBadOnesAreSaidOnce) {
    SaveURLs({"https://a.example/ show=60 header=\"Authorization: Bearer s3cr3t\" zoom=900%",
              "https://b.example/"});
    auto& form = Start("/s");
    EXPECT_EQ(form.SlideShow().FURLs,
              (std::vector<std::string>{"https://a.example/", "https://b.example/"}));
    ASSERT_NE(Web, nullptr);
    Web->Complete("about:blank");
    EXPECT_EQ(Web->Navigations.back(), "https://a.example/");
    Web->CompleteCurrent();
    Web->CompleteCurrent();
    Clock.Tick += 61000;
    Window().Send(Msg::Timer, 1);  // the next pass reads the list anew
    std::size_t said = 0;
    for (const std::string& line : AppPlatform.LogLines) {
        EXPECT_EQ(line.find("s3cr3t"), std::string::npos) << line;
        said += line.find("zoom=900:") != std::string::npos;
    }
    EXPECT_EQ(said, 1u);
}

}  // namespace
}  // namespace lum
