// What OK checks before it saves: which URL box lines are flagged (schemes,
// hosts with ports, white space of every kind, broken UTF-8), the bounded
// list in the question, the time boxes' warnings, and the dialog staying
// open with everything as typed until the user fixes it or saves anyway.
#include "settings/ConfigDlgChecks.h"

#include <gtest/gtest.h>

#include "ConfigDlgRig.h"

namespace lum {
namespace {

using fakes::TFakeConfigDialogView;
using namespace testing;

TEST(URLLineFault, SchemesPassAndEverythingElseIsNamed) {
    for (const char* url : {"http://a/", "https://例え.jp/ページ?q=1#x", "file:///tmp/a.html",
                            "about:blank", "view-source:http://x/", "a+b.c-d:x", "standin:fill?h=5",
                            "HTTP://A/", "", "mailto:x@y", "http:", "C:\\pages\\a.html"})
        EXPECT_EQ(URLLineFault(url), TURLLineFault::None) << url;
    for (const char* noScheme :
         {"www.example.com", "example.com/a:b", "example.com:8080", "localhost:8080/dash",
          "intranet:80?x", "10.0.0.1:3000#top", "//example.com/", "1http://x", ":x", "http//x",
          "ｈｔｔｐ://x", "-a:b", "日本.jp:x", "\xff\xfe"})
        EXPECT_EQ(URLLineFault(noScheme), TURLLineFault::NoScheme) << noScheme;
    for (const char* spaced :
         {"http://a b", " http://a", "http://a ", "http://a\t", "http://a\xe3\x80\x80",
          "http://a\xc2\xa0", "http://a\xe2\x80\x8a", "http://a\x0b", "www.a b", " ", "\t",
          "data:text/html,<p>hello world</p>"})
        EXPECT_EQ(URLLineFault(spaced), TURLLineFault::WhiteSpace) << spaced;
    // A lone continuation byte is not read as the no-break space it would end.
    EXPECT_EQ(URLLineFault("http://a\xa0"), TURLLineFault::None);
    EXPECT_EQ(URLLineFault("http://a\xe3\x80"), TURLLineFault::None);  // cut short
}

TEST(FlaggedURLLines, LinesShownWhenTheDialogOpenedAreNotFlaggedAgain) {
    const std::vector<std::string> lines{"http://ok/", "",    "www.kept",
                                         "www.new",    "a b", "www.kept"};
    const auto flagged = FlaggedURLLines(lines, {"www.kept", "http://ok/"});
    ASSERT_EQ(flagged.size(), 2u);
    EXPECT_EQ(flagged[0].Line, 3u);
    EXPECT_EQ(flagged[0].Text, "www.new");
    EXPECT_EQ(flagged[1].Line, 4u);
    EXPECT_EQ(flagged[1].Fault, TURLLineFault::WhiteSpace);
}

// A page's options after its URL are no blanks in a URL; options that
// cannot be read are listed with their reasons, and the line is shown by its
// URL alone, so that a header's value (a secret) never shows.
TEST(FlaggedURLLines, OptionsAreReadAndTheirProblemsNamedWithoutTheLineItself) {
    const std::vector<std::string> lines{
        "https://a/ show=10 zoom=150% hide=\"#cookies, .chat\"",
        "https://b/ show=99999 header=\"Authorization: Bearer s3cret\"", "https://c/ wait=\"5",
        "https://d/ colour=red", "www.e show=5"};
    const auto flagged = FlaggedURLLines(lines, {});
    ASSERT_EQ(flagged.size(), 4u);
    EXPECT_EQ(flagged[0].Line, 1u);
    EXPECT_EQ(flagged[0].Fault, TURLLineFault::Option);
    EXPECT_EQ(flagged[0].Text, "https://b/ …");
    ASSERT_EQ(flagged[0].Problems.size(), 1u);
    EXPECT_EQ(flagged[0].Problems[0].rfind("show", 0), 0u) << flagged[0].Problems[0];
    EXPECT_EQ(flagged[1].Fault, TURLLineFault::Option);
    EXPECT_EQ(flagged[2].Fault, TURLLineFault::WhiteSpace);  // no option: a URL with a blank
    EXPECT_EQ(flagged[2].Text, "https://d/ colour=red");
    EXPECT_EQ(flagged[3].Fault, TURLLineFault::NoScheme);
    const std::string text = FlaggedURLLinesQuestion(flagged);
    EXPECT_NE(text.find("\n2行目: 「https://b/ …」 オプションを読めません (show"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
}

TEST(FlaggedURLLines, QuestionListsTheFirstTenWithNumbersReasonsAndTheRestCounted) {
    std::vector<std::string> lines;
    for (int i = 0; i < 13; ++i)
        lines.push_back("host" + std::to_string(i) + ".example");
    lines[0] = "http://a/ ";
    lines[1] = "www." + std::string(100, 'x') + "ページ";
    const std::string text = FlaggedURLLinesQuestion(FlaggedURLLines(lines, {}));
    EXPECT_EQ(text.rfind("次の行はURLとして読めません。\n\n", 0), 0u) << text;
    // The blank at the end shows inside the brackets.
    EXPECT_NE(text.find("\n1行目: 「http://a/ 」 空白が入っています\n"), std::string::npos);
    EXPECT_NE(text.find("\n2行目: 「www." + std::string(56, 'x') + "…」 「http://」などの"),
              std::string::npos);
    EXPECT_NE(text.find("\n10行目: 「host9.example」"), std::string::npos);
    EXPECT_EQ(text.find("11行目"), std::string::npos);
    EXPECT_NE(text.find("\nほか 3 行\n\n入力したとおりに保存しますか？"), std::string::npos);
    EXPECT_EQ(FlaggedURLLinesQuestion(FlaggedURLLines({"x y"}, {})).find("ほか"),
              std::string::npos);
}

TEST(SpinTextWarning, NamesTheFieldTheTextAndTheRange) {
    EXPECT_EQ(
        SpinTextWarning(TConfigSpin::ReloadTime, "75"),
        "「再読込までの時間(分)」の「75」は使えません。\n0から60までの整数を入力してください。");
    EXPECT_EQ(SpinTextWarning(TConfigSpin::ShowTime, ""),
              "「1ページの表示時間(秒)」が空です。\n0から60までの整数を入力してください。");
    for (const char* bad : {"abc", " 9", "9 ", "-1", "7.5", "７", "61", "99999999999"})
        EXPECT_NE(SpinTextWarning(TConfigSpin::ShowTime, bad), "") << bad;
    for (const char* good : {"0", "60", "060", "7"})
        EXPECT_EQ(SpinTextWarning(TConfigSpin::ShowTime, good), "") << good;
    EXPECT_NE(SpinTextWarning(TConfigSpin::ShowTime, std::string(500, '9')).find("9…」"),
              std::string::npos);
}

class ConfigDlgChecksTest : public ::testing::Test, protected TConfigDlgRig {};

TEST_F(ConfigDlgChecksTest, TimeOutOfRangeIsSaidFocusedAndKeptUntilFixed) {
    Store("RefreshTime", "7");
    RunDialog([this](TFakeConfigDialogView& v) {
        v.TypeSpinText(TConfigSpin::ShowTime, "75");
        v.TypeSpinText(TConfigSpin::ReloadTime, "abc");
        v.URLBox = "not a url\r\n";
        EXPECT_EQ(v.ClickOK(), 0);
        // One box, about the first field in Tab order; nothing else asked.
        const auto boxes = Boxes.Boxes();
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Caption, "警告");
        EXPECT_EQ(boxes[0].Icon, MsgIcon::Exclamation);
        EXPECT_NE(boxes[0].Text.find("「再読込までの時間(分)」の「abc」"), std::string::npos);
        EXPECT_EQ(v.Focus, "spin 0");
        EXPECT_EQ(v.Texts[0], "abc");
        EXPECT_EQ(Stored("RefreshTime"), "7");
        v.TypeSpinText(TConfigSpin::ReloadTime, "8");
        EXPECT_EQ(v.ClickOK(), 0);
        EXPECT_EQ(v.Focus, "spin 1");
        v.TypeSpinText(TConfigSpin::ShowTime, "9");
        return v.ClickOK();  // the URL question, answered yes
    });
    EXPECT_EQ(Stored("RefreshTime"), "8");
    EXPECT_EQ(Stored("URLShowTime"), "9");
    EXPECT_EQ(Stored("1", kURLKey), "not a url");
}

TEST_F(ConfigDlgChecksTest, FlaggedLinesAnsweredNoGoBackToTheFirstWithTheTextAsTyped) {
    const std::string typed = "http://good/\r\n\r\nwww.example.com \r\nexample.com:8080\r\n";
    Boxes.Answers = {false};
    int result = -1;
    RunDialog([&](TFakeConfigDialogView& v) {
        v.URLBox = typed;
        result = v.ClickOK();
        return 2;  // then Cancel
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Registry.KeyExists(kSettingsKey));
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    const TMessageBoxRequest box = Boxes.Boxes()[0];
    EXPECT_EQ(box.Buttons, TMsgButtons::AcceptCancel);
    EXPECT_EQ(box.FirstButton, "はい(&Y)");
    EXPECT_NE(box.Text.find("3行目: 「www.example.com 」 空白"), std::string::npos) << box.Text;
    EXPECT_NE(box.Text.find("4行目: 「example.com:8080」 「http://」"), std::string::npos);
}

TEST_F(ConfigDlgChecksTest, FocusGoesToTheFirstFlaggedLineAndYesSavesEveryLineUnchanged) {
    RunDialog([this](TFakeConfigDialogView& v) {
        v.URLBox = "http://good/\r\n\r\n ｗｗｗ.例え.jp\r\nx";
        Boxes.Answers = {false};
        EXPECT_EQ(v.ClickOK(), 0);
        EXPECT_EQ(v.Focus, "line 2");
        EXPECT_EQ(v.URLBox, "http://good/\r\n\r\n ｗｗｗ.例え.jp\r\nx");
        return v.ClickOK();
    });
    EXPECT_EQ(Registry.ValueNames(kURLKey), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(Stored("2", kURLKey), "");
    EXPECT_EQ(Stored("3", kURLKey), " ｗｗｗ.例え.jp");
    EXPECT_EQ(Stored("4", kURLKey), "x");
    // Opened again, the lines saved so are not asked about.
    Boxes.Calls.clear();
    EXPECT_EQ(OpenAndPressOK(), 1);
    EXPECT_TRUE(Boxes.Calls.empty());
    EXPECT_EQ(Stored("2", kURLKey), " ｗｗｗ.例え.jp");  // the empty line is not loaded
}

}  // namespace
}  // namespace lum
