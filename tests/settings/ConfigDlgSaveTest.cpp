// What OK stores and when the dialog closes: everything in one commit of the
// store, the dialog left open with what it shows when that fails, and long
// URLs the user did not touch stored whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigDlgRig.h"

namespace lum {
namespace {

using fakes::TFakeConfigDialogView;
using namespace testing;

class ConfigDlgSave : public ::testing::Test, protected TConfigDlgRig {};

TEST_F(ConfigDlgSave, OKStoresEverythingInOneCommit) {
    EXPECT_EQ(RunDialog([](TFakeConfigDialogView& v) {
                  v.URLBox = "a\r\nb\r\n";
                  return v.ClickOK();
              }),
              1);
    EXPECT_EQ(Registry.CommitCalls, 1);
    EXPECT_EQ(Stored("2", kURLKey), "b");
}

TEST_F(ConfigDlgSave, FailedCommitIsReportedAndTheDialogStaysOpenWithWhatWasTyped) {
    Registry.FailCommits = true;
    Registry.CommitError =
        "設定ファイル /x/lumenary.ini に書き込めません (No space left on device)";
    const std::string typed = "http://a.example/\r\nhttp://b.example/\r\n";
    auto& view = Open();
    view.URLBox = typed;
    view.Checks[0] = true;
    EXPECT_EQ(view.ClickOK(), 0);
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{Registry.CommitError});
    EXPECT_EQ(view.URLBox, typed);
    EXPECT_TRUE(view.Checks[0]);
    // Once the file can be written, the same OK saves and closes.
    Registry.FailCommits = false;
    EXPECT_EQ(view.ClickOK(), 1);
    EXPECT_EQ(Stored("ShowURL"), "1");
    EXPECT_EQ(Stored("2", kURLKey), "http://b.example/");
    EXPECT_EQ(Registry.OpenHandleCount(), 0u);
}

TEST_F(ConfigDlgSave, FailedEraseIsReportedInsteadOfTheNotice) {
    Boxes.Answers = {true};
    Registry.FailCommits = true;
    Open().ClickErase();
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{Registry.CommitError});
    EXPECT_EQ(Boxes.Boxes().size(), 1u);  // the question only
}

TEST_F(ConfigDlgSave, EraseAsksWithTheTextsItIsGiven) {
    Boxes.Answers = {true};
    auto view = std::make_unique<TFakeConfigDialogView>();
    TConfigDlgTexts texts;
    texts.EraseQuestion = "all settings in /home/u/.config/lumenary/lumenary.ini go";
    Dialog = std::make_unique<TLumenaryConfigDlg>(nullptr, Registry, Files, Boxes, kCache,
                                                  std::move(view), texts);
    static_cast<TFakeConfigDialogView&>(Dialog->View()).ClickErase();
    ASSERT_EQ(Boxes.Boxes().size(), 2u);
    EXPECT_EQ(Boxes.Boxes()[0].Text, texts.EraseQuestion);
    EXPECT_EQ(Boxes.Boxes()[1].Text, kEraseDoneNotice);
}

TEST_F(ConfigDlgSave, UntouchedLongURLsAreSavedWholeAndEditedLinesAreCut) {
    const std::string dashboard = "http://dash.example/?state=" + std::string(9000, 's');
    const std::string other = "http://other.example/?q=" + std::string(5000, 'o');
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, dashboard});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::String, other});
    Registry.PutValue(kURLKey, "3", TRegValue{RegType::String, "short"});
    RunDialog([](TFakeConfigDialogView& v) {
        // The box shows both cut; the second one gets a character more, and
        // a new line goes first.
        auto lines = SplitURLLines(v.URLBox);
        EXPECT_EQ(lines.at(0).size(), 4094u);
        lines[1] += "X";
        v.URLBox = "new\r\n" + JoinURLLines(lines);
        return v.ClickOK();
    });
    EXPECT_EQ(Stored("1", kURLKey), "new");
    EXPECT_EQ(Stored("2", kURLKey), dashboard);
    EXPECT_EQ(Stored("3", kURLKey), other.substr(0, 4094) + "X");
    EXPECT_EQ(Stored("4", kURLKey), "short");
    // Unchanged through a second OK too.
    OpenAndPressOK();
    EXPECT_EQ(Stored("2", kURLKey), dashboard);
}

TEST_F(ConfigDlgSave, ACopiedUntouchedLineStandsForTheSameURL) {
    const std::string a = std::string(5000, 'a') + "1";
    const std::string b = std::string(5000, 'a') + "2";  // the same once cut
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, a});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::String, b});
    RunDialog([](TFakeConfigDialogView& v) {
        const auto lines = SplitURLLines(v.URLBox);
        v.URLBox = JoinURLLines({lines[0], lines[1], lines[1]});
        return v.ClickOK();
    });
    EXPECT_EQ(Registry.ValueNames(kURLKey), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Stored("1", kURLKey), a);
    EXPECT_EQ(Stored("2", kURLKey), b);
    EXPECT_EQ(Stored("3", kURLKey), b);
}

}  // namespace
}  // namespace lum
