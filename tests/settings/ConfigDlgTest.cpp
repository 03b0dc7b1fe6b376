#include "settings/ConfigDlg.h"

#include <gtest/gtest.h>

#include <map>

#include "ConfigDlgRig.h"

namespace lum {
namespace {

using fakes::TFakeConfigDialogView;
using namespace testing;

class ConfigDlgTest : public ::testing::Test, protected TConfigDlgRig {};

TEST_F(ConfigDlgTest, WithoutStoredSettingsShowsDefaultsAndCancelCreatesNoSettingsKey) {
    auto& view = Open();
    EXPECT_EQ(view.Texts[0], "1");
    EXPECT_EQ(view.Texts[1], "5");
    EXPECT_EQ(view.Checks, (std::array<bool, 3>{false, false, true}));
    EXPECT_EQ(ChooserName(view.Colors[0]), "ボタンの表面");
    EXPECT_EQ(ChooserName(view.Colors[1]), "ウィンドウのテキスト");
    EXPECT_EQ(view.URLBox, "");
    EXPECT_EQ(Dialog->ShowModal(), 2);
    Dialog.reset();
    EXPECT_TRUE(Registry.KeyExists("Software\\Orvane"));
    EXPECT_FALSE(Registry.KeyExists(kSettingsKey));
    EXPECT_TRUE(AppPlatform.Reports.empty());
    EXPECT_EQ(Registry.OpenHandleCount(), 0u);
}

TEST_F(ConfigDlgTest, OKWithDefaultsWritesEveryValueAndNoURLListKey) {
    EXPECT_EQ(OpenAndPressOK(), 1);
    EXPECT_EQ(Registry.ValueNames(kSettingsKey),
              (std::vector<std::string>{"RefreshTime", "URLShowTime", "ShowURL", "ShowClock",
                                        "EnableScroll", "BackColor", "ForeColor"}));
    EXPECT_EQ(Stored("RefreshTime"), "1");
    EXPECT_EQ(Stored("URLShowTime"), "5");
    EXPECT_EQ(Stored("ShowURL"), "0");
    EXPECT_EQ(Stored("EnableScroll"), "1");
    EXPECT_EQ(Stored("BackColor"), "clBtnFace");
    EXPECT_EQ(Stored("ForeColor"), "clWindowText");
    EXPECT_FALSE(Registry.KeyExists(kURLKey));
}

TEST_F(ConfigDlgTest, LoadedTimesAreReducedTo16BitsAndBoundedThenSaved) {
    const std::pair<const char*, const char*> cases[] = {
        {"90", "60"},   {"-5", "0"},  {"65541", "5"}, {"$10005", "5"}, {"65535", "0"},
        {"32778", "0"}, {"60", "60"}, {"0", "0"},     {"abc", "1"},    {"", "1"}};
    for (const auto& [stored, saved] : cases) {
        Store("RefreshTime", stored);
        OpenAndPressOK();
        EXPECT_EQ(Stored("RefreshTime"), saved) << "stored " << stored;
    }
}

TEST_F(ConfigDlgTest, TypedTextCountsOnlyWhenWholeNumberWithinRange) {
    Store("URLShowTime", "7");
    const std::pair<const char*, const char*> cases[] = {
        {"75", "7"}, {"abc", "7"}, {"", "7"},     {"-1", "7"}, {" 9", "7"},
        {"9x", "7"}, {"42", "42"}, {"060", "60"}, {"0", "0"},  {"99999999999", "7"}};
    for (const auto& [typed, saved] : cases) {
        const bool valid = std::string(saved) != "7";
        int result = -1;
        RunDialog([&, typed = std::string(typed)](TFakeConfigDialogView& v) {
            v.TypeSpinText(TConfigSpin::ShowTime, typed);
            result = v.ClickOK();
            // The handler on its own takes the last valid position.
            Dialog->OKBtnClick();
            return result;
        });
        EXPECT_EQ(Stored("URLShowTime"), saved) << "typed '" << typed << "'";
        // OK itself says a text that is no position and keeps the dialog open.
        EXPECT_EQ(result, valid ? 1 : 0) << "typed '" << typed << "'";
        EXPECT_EQ(Boxes.Boxes().size(), valid ? 0u : 1u) << "typed '" << typed << "'";
        Boxes.Calls.clear();
        Store("URLShowTime", "7");
    }
}

TEST_F(ConfigDlgTest, URLLinesAreSavedAsTypedAndReopenWithoutEmptyOnes) {
    RunDialog([](TFakeConfigDialogView& v) {
        v.URLBox = "a\r\n\r\nb\r\n";
        return v.ClickOK();
    });
    EXPECT_EQ(Registry.ValueNames(kURLKey), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Stored("1", kURLKey), "a");
    EXPECT_EQ(Stored("2", kURLKey), "");
    EXPECT_EQ(Stored("3", kURLKey), "b");
    EXPECT_EQ(Open().URLBox, "a\r\nb\r\n");
    EXPECT_EQ(View->RedrawCalls, (std::vector<bool>{false, true}));
}

TEST_F(ConfigDlgTest, EmptyURLBoxRemovesTheURLListKey) {
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "http://x/"});
    RunDialog([](TFakeConfigDialogView& v) {
        EXPECT_EQ(v.URLBox, "http://x/\r\n");
        v.URLBox.clear();
        return v.ClickOK();
    });
    EXPECT_TRUE(Registry.KeyExists(kSettingsKey));
    EXPECT_FALSE(Registry.KeyExists(kURLKey));
}

TEST_F(ConfigDlgTest, EraseAnsweredYesRemovesKeysAndOKRecreatesThem) {
    Store("ShowURL", "1");
    Registry.PutValue(kURLKey, "1", TRegValue{RegType::String, "u"});
    RunDialog([this](TFakeConfigDialogView& v) {
        v.ClickErase();
        EXPECT_FALSE(Registry.KeyExists(kSettingsKey));
        EXPECT_TRUE(Registry.KeyExists("Software\\Orvane"));
        return v.ClickOK();
    });
    EXPECT_EQ(Stored("ShowURL"), "1");
    EXPECT_EQ(Stored("1", kURLKey), "u");
    ASSERT_EQ(Boxes.Calls.size(), 4u);
    EXPECT_EQ(Boxes.Calls[0].Beep, MsgIcon::Question);
    EXPECT_EQ(Boxes.Calls[1].Box.Text, kEraseQuestion);
    EXPECT_EQ(Boxes.Calls[1].Box.Caption, "確認");
    EXPECT_EQ(Boxes.Calls[2].Beep, MsgIcon::Asterisk);
    EXPECT_EQ(Boxes.Calls[3].Box.Text,
              "正常に削除されました。\r\"キャンセル\"を押してダイアログを閉じてください。");
    EXPECT_EQ(Boxes.Calls[3].Box.Caption, "情報");
}

TEST_F(ConfigDlgTest, EraseThenCancelLeavesTheStoreErased) {
    Store("ShowURL", "1");
    RunDialog([](TFakeConfigDialogView& v) {
        v.ClickErase();
        v.ClickErase();  // a second erase of a missing key still shows the notice
        return 2;
    });
    EXPECT_FALSE(Registry.KeyExists(kSettingsKey));
    EXPECT_EQ(Boxes.Boxes().size(), 4u);
}

TEST_F(ConfigDlgTest, EraseAnsweredNoChangesNothing) {
    Store("ShowURL", "1");
    Boxes.Answers = {false};
    RunDialog([](TFakeConfigDialogView& v) {
        v.ClickErase();
        return 2;
    });
    EXPECT_EQ(Stored("ShowURL"), "1");
    EXPECT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(Registry.DeleteCalls, 0);
}

TEST_F(ConfigDlgTest, OpeningDeletesEveryCachedBitmapAndNothingElse) {
    Files.AddFile(kCache + "0.bmp", {}, 1);
    Files.AddFile(kCache + "1.BMP", {}, 1, FileAttr::Hidden);
    Files.AddFile(kCache + "2.bmp", {}, 1, FileAttr::ReadOnly | FileAttr::System);
    Files.AddFile(kCache + "notes.txt", {}, 1);
    Files.AddFile(kCache + "0.bmp.tmp", {}, 1);
    Files.AddFile(kCache + "sub\\3.bmp", {}, 1);
    Files.AddFile("C:\\Tools\\4.bmp", {}, 1);
    RunDialog([](TFakeConfigDialogView&) { return 2; });
    EXPECT_EQ(Files.Deleted,
              (std::vector<std::string>{kCache + "0.bmp", kCache + "1.BMP", kCache + "2.bmp"}));
    EXPECT_EQ(Files.Files.size(), 4u);
}

TEST_F(ConfigDlgTest, ColourOutsideTheChoosersIsKeptAsStoredOnOK) {
    Store("BackColor", "$00123456");
    Store("ForeColor", "clnone");
    auto& view = Open();
    EXPECT_EQ(view.Colors[0], kNoColorSelection);
    EXPECT_EQ(view.Colors[1], kNoColorSelection);
    view.ClickOK();
    EXPECT_EQ(Stored("BackColor"), "$00123456");
    EXPECT_EQ(Stored("ForeColor"), "clnone");
    // After an erase the OK writes the loaded text back as well.
    Boxes.Answers = {true};
    view.ClickErase();
    view.ClickOK();
    EXPECT_EQ(Stored("ForeColor"), "clnone");
}

TEST_F(ConfigDlgTest, OfferedColourGivenAsNumberIsSavedByItsIdentifier) {
    Store("BackColor", "$000000FF");
    Store("ForeColor", "clDefault");
    EXPECT_EQ(ChooserName(Open().Colors[0]), "赤");
    View->ClickOK();
    EXPECT_EQ(Stored("BackColor"), "clRed");
    EXPECT_EQ(Stored("ForeColor"), "clDefault");
}

TEST_F(ConfigDlgTest, SaveFailureIsReportedSkipsLaterWritesAndKeepsTheDialogOpen) {
    Registry.FailSetNames = {"ShowURL"};
    const int result = RunDialog([](TFakeConfigDialogView& v) {
        v.SetSpinPosition(TConfigSpin::ReloadTime, 3);
        v.URLBox = "a\r\n";
        return v.ClickOK();
    });
    EXPECT_EQ(result, 0);  // still open
    EXPECT_EQ(AppPlatform.Reports, std::vector<std::string>{"'ShowURL' の設定に失敗しました"});
    EXPECT_EQ(Stored("RefreshTime"), "3");
    EXPECT_EQ(Stored("ShowClock"), "(missing)");
    EXPECT_FALSE(Registry.KeyExists(kURLKey));
}

TEST_F(ConfigDlgTest, OverlongLinesAreCutTo4096WithTheValueNameCountedOnLoading) {
    const std::string typed = "short\r\n" + std::string(100000, 'x');
    RunDialog([&typed](TFakeConfigDialogView& v) {
        v.URLBox = typed;
        return v.ClickOK();
    });
    EXPECT_EQ(Stored("2", kURLKey), std::string(4096, 'x'));
    // On loading, "2=" in front of the URL takes its share of the limit.
    EXPECT_EQ(Open().URLBox, "short\r\n" + std::string(4094, 'x') + "\r\n");
    // A hand-made name takes a larger share; the entries keep their order.
    Dialog.reset();
    Registry.PutValue(kURLKey, "entry", TRegValue{RegType::String, std::string(5000, 'y')});
    EXPECT_EQ(Open().URLBox,
              "short\r\n" + std::string(4094, 'x') + "\r\n" + std::string(4090, 'y') + "\r\n");
    EXPECT_TRUE(AppPlatform.Reports.empty());
}

// A registry with indexed values, so that ten thousand lines cost what the
// dialog costs and not what a list scan of the fake costs.
class TIndexedRegistry : public IRegistry {
  public:
    TKey CurrentUser() override { return 1; }
    TKey CreateKey(TKey parent, const std::string& path) override {
        std::string full = PathOf(parent);
        for (std::size_t start = 0; start < path.size();) {
            std::size_t end = std::min(path.find('\\', start), path.size());
            if (end > start)
                full += (full.empty() ? "" : "\\") + path.substr(start, end - start);
            FKeys[full];
            start = end + 1;
        }
        return Handle(full);
    }
    TKey OpenKey(TKey parent, const std::string& path) override {
        std::string full = PathOf(parent) + (PathOf(parent).empty() ? "" : "\\") + path;
        while (!full.empty() && full.back() == '\\')
            full.pop_back();
        return FKeys.count(full) ? Handle(full) : 0;
    }
    void CloseKey(TKey) override {}
    bool QueryValue(TKey key, const std::string& name, TRegValue& value) override {
        auto& k = FKeys[PathOf(key)];
        auto it = k.Index.find(name);
        if (it == k.Index.end())
            return false;
        value = k.Values[it->second].second;
        return true;
    }
    bool SetStringValue(TKey key, const std::string& name, const std::string& text) override {
        auto& k = FKeys[PathOf(key)];
        auto [it, added] = k.Index.emplace(name, k.Values.size());
        if (added)
            k.Values.emplace_back(name, TRegValue{});
        k.Values[it->second].second = TRegValue{RegType::String, text};
        return true;
    }
    std::uint32_t ValueCount(TKey key) override {
        return static_cast<std::uint32_t>(FKeys[PathOf(key)].Values.size());
    }
    bool ValueName(TKey key, std::uint32_t index, std::string& name) override {
        name = FKeys[PathOf(key)].Values.at(index).first;
        return true;
    }
    std::uint32_t SubkeyCount(TKey) override { return 0; }  // only leaf keys get erased
    bool SubkeyName(TKey, std::uint32_t, std::string&) override { return false; }
    bool DeleteKey(TKey parent, const std::string& name) override {
        return FKeys.erase(PathOf(parent) + "\\" + name) > 0;
    }

  private:
    struct TKeyData {
        std::vector<std::pair<std::string, TRegValue>> Values;
        std::map<std::string, std::size_t> Index;
    };
    std::string PathOf(TKey key) { return key == 1 ? "" : FPaths.at(key); }
    TKey Handle(const std::string& path) {
        FPaths.push_back(path);
        return FPaths.size() - 1;
    }
    std::map<std::string, TKeyData> FKeys;
    std::vector<std::string> FPaths{"", ""};
};

TEST_F(ConfigDlgTest, TenThousandLinesOpenAndSaveInOrder) {
    TIndexedRegistry registry;
    std::string typed;
    for (int i = 0; i < 10000; ++i)
        typed += "http://example.com/" + std::to_string(i) + "\r\n";
    auto open = [&] {
        auto view = std::make_unique<TFakeConfigDialogView>();
        View = view.get();
        Dialog = std::make_unique<TLumenaryConfigDlg>(nullptr, registry, Files, Boxes, kCache,
                                                      std::move(view));
    };
    open();
    View->URLBox = typed;
    View->ClickOK();
    open();
    EXPECT_EQ(View->URLBox, typed);
    EXPECT_TRUE(AppPlatform.Reports.empty());
}

TEST_F(ConfigDlgTest, ShowModalCentresOnTheScreenOnlyTheFirstTime) {
    auto& view = Open();
    view.Bounds = TRect{10, 20, 10 + 319, 20 + 408};
    Dialog->ShowModal();
    EXPECT_EQ(view.Bounds, (TRect{352, 180, 352 + 319, 180 + 408}));
    view.Bounds = TRect{5, 5, 5 + 319, 5 + 408};
    Dialog->ShowModal();
    EXPECT_EQ(view.Bounds.Left, 5);
    EXPECT_EQ(ScreenCenteredPosition({300, 200}, {319, 408}), (TPoint{0, 0}));
    EXPECT_EQ(ScreenCenteredPosition({1025, 769}, {320, 408}), (TPoint{352, 180}));
}

TEST(ConfigDlgLines, SplitDropsOnlyTheFinalEmptyLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitURLLines(""), V{});
    EXPECT_EQ(SplitURLLines("a"), V{"a"});
    EXPECT_EQ(SplitURLLines("a\r\n"), V{"a"});
    EXPECT_EQ(SplitURLLines("a\r\n\r\n"), (V{"a", ""}));
    EXPECT_EQ(SplitURLLines("\r\n"), V{""});
    EXPECT_EQ(SplitURLLines("a\nb\rc\r\n  "), (V{"a", "b", "c", "  "}));
    EXPECT_EQ(JoinURLLines({"a", ""}), "a\r\n\r\n");
}

TEST(ConfigDlgLines, CutCountsUTF16UnitsAndNeverSplitsACharacter) {
    std::string kana;
    for (int i = 0; i < 5000; ++i)
        kana += "あ";
    EXPECT_EQ(CutLine(kana, 4096).size(), 4096u * 3);
    const std::string emoji = std::string(4095, 'a') + "\xF0\x9F\x98\x80";
    EXPECT_EQ(CutLine(emoji, 4096), std::string(4095, 'a'));
    EXPECT_EQ(CutLine(emoji, 4097), emoji);
    EXPECT_EQ(CutLine("\xE3\x81", 4096), "\xE3\x81");  // a broken sequence is kept whole
}

}  // namespace
}  // namespace lum
