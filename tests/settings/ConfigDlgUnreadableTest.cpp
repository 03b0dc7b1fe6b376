// The configuration dialog with values it cannot read: each setting loads
// on its own and shows its default, one report lists every failure, and OK
// never loses a value that failed to load unless the user changed it.
#include <gtest/gtest.h>

#include "ConfigDlgRig.h"

namespace lum {
namespace {

using fakes::TFakeConfigDialogView;
using namespace testing;

class ConfigDlgUnreadable : public ::testing::Test, protected TConfigDlgRig {};

TEST_F(ConfigDlgUnreadable, WrongValueTypeShowsItsDefaultAndTheRestStillLoads) {
    Files.AddFile(kCache + "0.bmp", {}, 1);
    Store("RefreshTime", "9");
    Store("ShowURL", "1");
    Registry.PutValue(kSettingsKey, "ShowClock", TRegValue{RegType::DWord, ""});
    Store("BackColor", "clRed");
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "u"});
    auto& view = Open();
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{"'ShowClock' のデータ型が不正です"});
    EXPECT_EQ(view.Texts[0], "9");
    EXPECT_EQ(view.Checks, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(ChooserName(view.Colors[0]), "赤");
    EXPECT_EQ(ChooserName(view.Colors[1]), "ウィンドウのテキスト");
    EXPECT_EQ(view.URLBox, "u\r\n");
    EXPECT_TRUE(Files.Files.count(kCache + "0.bmp")) << "a load with failures keeps the cache";
    EXPECT_EQ(Dialog->ShowModal(), 2);  // the dialog still opens
    EXPECT_EQ(Registry.OpenHandleCount(), 0u);
}

TEST_F(ConfigDlgUnreadable, EveryFailureIsReportedInOneBoxInLoadOrder) {
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "a"});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::Binary, ""});
    Registry.PutValue(kSettingsKey, "URLShowTime", TRegValue{RegType::DWord, ""});
    Store("ForeColor", "blue");
    Registry.PutValue(kSettingsKey, "RefreshTime", TRegValue{RegType::ExpandString, "$3"});
    Open();
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{"'URLShowTime' のデータ型が不正です\n"
                                                            "'blue' は整数ではありません\n"
                                                            "'2' のデータ型が不正です"});
    EXPECT_EQ(View->Texts[0], "3");
}

TEST_F(ConfigDlgUnreadable, UnknownColourTextShowsTheDefaultAndOKKeepsTheStoredText) {
    Store("BackColor", "blue");
    Store("ForeColor", "clRed");
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "u"});
    auto& view = Open();
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{"'blue' は整数ではありません"});
    EXPECT_EQ(ChooserName(view.Colors[0]), "ボタンの表面");
    EXPECT_EQ(ChooserName(view.Colors[1]), "赤");
    EXPECT_EQ(view.URLBox, "u\r\n");
    view.ClickOK();
    EXPECT_EQ(Stored("BackColor"), "blue");
    EXPECT_EQ(Stored("ForeColor"), "clRed");
    EXPECT_EQ(Stored("1", kURLKey), "u");
    // Chosen by the user, the colour is saved.
    view.SetColorSelection(TConfigChooser::BackColor, 12);
    view.ClickOK();
    EXPECT_EQ(Stored("BackColor"), "clBlue");
}

// A show time stored as a number by hand: the dialog opens with everything
// else as stored, and OK rewrites neither the show time nor the URL list.
TEST_F(ConfigDlgUnreadable, OKLeavesAFailedSettingAsStoredUnlessTheUserChangedIt) {
    Registry.PutValue(kSettingsKey, "URLShowTime", TRegValue{RegType::DWord, ""});
    Store("ForeColor", "clNavy");
    Store("ShowURL", "1");
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "http://a/"});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::String, "http://b/?x=1"});
    RunDialog([](TFakeConfigDialogView& v) {
        EXPECT_EQ(v.Texts[1], "5");
        EXPECT_EQ(ChooserName(v.Colors[1]), "紺");
        EXPECT_EQ(v.URLBox, "http://a/\r\nhttp://b/?x=1\r\n");
        return v.ClickOK();
    });
    EXPECT_EQ(Registry.GetValue(kSettingsKey, "URLShowTime")->Type, RegType::DWord);
    EXPECT_EQ(Stored("ForeColor"), "clNavy");
    EXPECT_EQ(Stored("ShowURL"), "1");
    EXPECT_EQ(Stored("RefreshTime"), "1");
    EXPECT_EQ(Stored("2", kURLKey), "http://b/?x=1");

    // Set back to the value it showed, the setting still counts as unchanged.
    RunDialog([](TFakeConfigDialogView& v) {
        v.TypeSpinText(TConfigSpin::ShowTime, "9");
        v.TypeSpinText(TConfigSpin::ShowTime, "5");
        return v.ClickOK();
    });
    EXPECT_EQ(Registry.GetValue(kSettingsKey, "URLShowTime")->Type, RegType::DWord);
    RunDialog([](TFakeConfigDialogView& v) {
        v.TypeSpinText(TConfigSpin::ShowTime, "7");
        return v.ClickOK();
    });
    EXPECT_EQ(Stored("URLShowTime"), "7");
    EXPECT_EQ(Registry.GetValue(kSettingsKey, "URLShowTime")->Type, RegType::String);
}

TEST_F(ConfigDlgUnreadable, FailedBooleanIsWrittenOnlyWhenTicked) {
    Registry.PutValue(kSettingsKey, "EnableScroll", TRegValue{RegType::Binary, ""});
    RunDialog([](TFakeConfigDialogView& v) { return v.ClickOK(); });
    EXPECT_EQ(Registry.GetValue(kSettingsKey, "EnableScroll")->Type, RegType::Binary);
    RunDialog([](TFakeConfigDialogView& v) {
        v.SetChecked(TConfigCheck::EnableScroll, false);
        return v.ClickOK();
    });
    EXPECT_EQ(Stored("EnableScroll"), "0");
}

// A URL list entry stored as binary data: the others show as bare URLs in
// order, and OK without an edit leaves the whole list as stored.
TEST_F(ConfigDlgUnreadable, UnreadableURLEntryIsReportedTheOthersShowAndOKKeepsTheList) {
    Files.AddFile(kCache + "0.bmp", {}, 1);
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "a=b"});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::Binary, ""});
    Registry.PutValue(kURLKey, "3", TRegValue{RegType::String, "http://c/"});
    auto& view = Open();
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{"'2' のデータ型が不正です"});
    EXPECT_EQ(view.URLBox, "a=b\r\nhttp://c/\r\n");
    EXPECT_EQ(view.RedrawCalls, (std::vector<bool>{false, true}));
    EXPECT_TRUE(Files.Files.count(kCache + "0.bmp"));
    const int deletes = Registry.DeleteCalls;
    view.ClickOK();
    EXPECT_EQ(Registry.DeleteCalls, deletes);
    EXPECT_EQ(Registry.ValueNames(kURLKey), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Registry.GetValue(kURLKey, "2")->Type, RegType::Binary);
    EXPECT_EQ(Stored("1", kURLKey), "a=b");
    EXPECT_EQ(Stored("3", kURLKey), "http://c/");
}

TEST_F(ConfigDlgUnreadable, EditedURLListIsSavedAroundAnUnreadableEntry) {
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "a"});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::Binary, ""});
    Registry.PutValue(kURLKey, "3", TRegValue{RegType::String, "c"});
    RunDialog([](TFakeConfigDialogView& v) {
        v.URLBox = "a\r\nb\r\nc\r\nd";
        return v.ClickOK();
    });
    EXPECT_EQ(Registry.ValueNames(kURLKey), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Registry.GetValue(kURLKey, "2")->Type, RegType::Binary);
    EXPECT_EQ(Open().URLBox, "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(AppPlatform.Reports.back(), "'2' のデータ型が不正です")
        << "still there, still unread";
}

TEST_F(ConfigDlgUnreadable, EraseAfterAFailedLoadLetsOKWriteWhatTheDialogShows) {
    Registry.PutValue(kSettingsKey, "URLShowTime", TRegValue{RegType::DWord, ""});
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "a"});
    Registry.PutValue(kURLKey, "2", TRegValue{RegType::Binary, ""});
    RunDialog([](TFakeConfigDialogView& v) {
        v.ClickErase();
        return v.ClickOK();
    });
    EXPECT_EQ(Stored("URLShowTime"), "5");
    EXPECT_EQ(Registry.ValueNames(kURLKey), std::vector<std::string>{"1"});
    EXPECT_EQ(Stored("1", kURLKey), "a");
}

}  // namespace
}  // namespace lum
