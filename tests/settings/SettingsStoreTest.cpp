#include "settings/SettingsStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeRegistry.h"
#include "platform/Types.h"

namespace lum {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kBase = "Software\\Orvane";
const std::string kSection = "Software\\Orvane\\Lumenary";
const std::string kList = "Software\\Orvane\\Lumenary\\URLList";

class SettingsStore : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(Registry.OpenHandleCount(), 0u) << "a key was not closed";
    }

    void PutText(const std::string& path,
                 const std::string& name,
                 const std::string& text,
                 std::uint32_t type = RegType::String) {
        Registry.PutValue(path, name, TRegValue{type, text});
    }
    std::string StoredText(const std::string& path, const std::string& name) {
        auto value = Registry.GetValue(path, name);
        EXPECT_TRUE(value.has_value()) << name;
        if (!value)
            return {};
        EXPECT_EQ(value->Type, RegType::String) << name;
        return value->Text;
    }
    std::vector<std::string> Load() {
        TSettingsStore store(Registry);
        std::vector<std::string> urls;
        store.LoadURLList(urls);
        return urls;
    }
    void Save(const std::vector<std::string>& lines) {
        TSettingsStore store(Registry);
        store.SaveURLList(lines);
    }

    fakes::TFakeRegistry Registry;
};

TEST_F(SettingsStore, NothingStoredGivesDefaultsAndCreatesOnlyTheBaseKey) {
    {
        TSettingsStore store(Registry);
        const std::string s = store.SettingsSection();
        EXPECT_EQ(s, "Lumenary");
        EXPECT_EQ(store.ReadIntValue(s, "RefreshTime", 1), 1);
        EXPECT_EQ(store.ReadIntValue(s, "URLShowTime", 5), 5);
        EXPECT_FALSE(store.ReadBoolValue(s, "ShowURL", false));
        EXPECT_FALSE(store.ReadBoolValue(s, "ShowClock", false));
        EXPECT_TRUE(store.ReadBoolValue(s, "EnableScroll", true));
        EXPECT_EQ(store.ReadTextValue(s, "BackColor", "clBtnFace"), "clBtnFace");
        EXPECT_EQ(store.ReadTextValue(s, "ForeColor", "clWindowText"), "clWindowText");
        std::vector<std::string> urls;
        store.LoadURLList(urls);
        EXPECT_THAT(urls, IsEmpty());
    }
    EXPECT_TRUE(Registry.KeyExists(kBase));
    EXPECT_THAT(Registry.SubkeyNames(kBase), IsEmpty());
    EXPECT_EQ(Registry.SetCalls, 0);
}

TEST_F(SettingsStore, TextThatIsNotAWholeNumberGivesTheDefault) {
    PutText(kSection, "A", "abc");
    PutText(kSection, "B", "");
    PutText(kSection, "C", " 7");
    PutText(kSection, "D", "$10");
    PutText(kSection, "E", "x10");
    PutText(kSection, "F", "7 ");
    TSettingsStore store(Registry);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "A", 1), 1);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "B", 1), 1);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "C", 1), 7);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "D", 1), 16);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "E", 1), 1);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "F", 1), 1);
}

TEST_F(SettingsStore, BooleansAreAnyNonZeroNumber) {
    PutText(kSection, "Two", "2");
    PutText(kSection, "Minus", "-1");
    PutText(kSection, "Zero", "0");
    PutText(kSection, "Yes", "yes");
    TSettingsStore store(Registry);
    EXPECT_TRUE(store.ReadBoolValue("Lumenary", "Two", false));
    EXPECT_TRUE(store.ReadBoolValue("Lumenary", "Minus", false));
    EXPECT_FALSE(store.ReadBoolValue("Lumenary", "Zero", true));
    EXPECT_FALSE(store.ReadBoolValue("Lumenary", "Yes", false));
    EXPECT_TRUE(store.ReadBoolValue("Lumenary", "Yes", true));
}

TEST_F(SettingsStore, ExpandStringsAreReadLiterallyAndEmptyDataIsEmptyText) {
    PutText(kSection, "Path", "%TEMP%\\x", RegType::ExpandString);
    PutText(kSection, "Count", "12", RegType::ExpandString);
    PutText(kSection, "Empty", "");
    TSettingsStore store(Registry);
    EXPECT_EQ(store.ReadTextValue("Lumenary", "Path", "d"), "%TEMP%\\x");
    EXPECT_EQ(store.ReadIntValue("Lumenary", "Count", 1), 12);
    EXPECT_EQ(store.ReadTextValue("Lumenary", "Empty", "d"), "");
    EXPECT_EQ(store.ReadTextValue("Lumenary", "Missing", "d"), "d");
}

TEST_F(SettingsStore, ValueOfAnotherTypeFailsNamingTheValue) {
    PutText(kSection, "RefreshTime", std::string("\x0A\0\0\0", 4), RegType::DWord);
    PutText(kSection, "BackColor", "", RegType::Binary);
    TSettingsStore store(Registry);
    const char* message = "'RefreshTime' のデータ型が不正です";
    try {
        store.ReadIntValue("Lumenary", "RefreshTime", 1);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), message);
    }
    EXPECT_THROW(store.ReadBoolValue("Lumenary", "RefreshTime", true), Exception);
    EXPECT_THROW(store.ReadTextValue("Lumenary", "BackColor", "clBtnFace"), Exception);
}

TEST_F(SettingsStore, WritesCreateTheSectionAndStoreRegistryTexts) {
    {
        TSettingsStore store(Registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 60);
        store.WriteIntValue("Lumenary", "Neg", -5);
        store.WriteIntValue("Lumenary", "Min", INT32_MIN);
        store.WriteBoolValue("Lumenary", "ShowURL", true);
        store.WriteBoolValue("Lumenary", "EnableScroll", false);
        store.WriteTextValue("Lumenary", "BackColor", "clRed");
    }
    EXPECT_EQ(StoredText(kSection, "RefreshTime"), "60");
    EXPECT_EQ(StoredText(kSection, "Neg"), "-5");
    EXPECT_EQ(StoredText(kSection, "Min"), "-2147483648");
    EXPECT_EQ(StoredText(kSection, "ShowURL"), "1");
    EXPECT_EQ(StoredText(kSection, "EnableScroll"), "0");
    EXPECT_EQ(StoredText(kSection, "BackColor"), "clRed");
    TSettingsStore store(Registry);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "Min", 0), INT32_MIN);
    EXPECT_FALSE(store.ReadBoolValue("Lumenary", "EnableScroll", true));
}

TEST_F(SettingsStore, WriteFailuresNameTheKeyOrTheValueAndKeepEarlierWrites) {
    TSettingsStore store(Registry);
    Registry.FailCreatePaths = {"software\\orvane\\lumenary\\urllist"};
    try {
        store.WriteTextValue("Lumenary\\URLList", "1", "a");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "キー Lumenary\\URLList の作成に失敗しました");
    }
    Registry.FailSetNames = {"ShowURL"};
    store.WriteIntValue("Lumenary", "RefreshTime", 3);
    try {
        store.WriteBoolValue("Lumenary", "ShowURL", true);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'ShowURL' の設定に失敗しました");
    }
    EXPECT_EQ(StoredText(kSection, "RefreshTime"), "3");
}

TEST_F(SettingsStore, EraseRemovesEverythingBelowTheSectionButKeepsTheBaseKey) {
    PutText(kSection, "RefreshTime", "9");
    PutText(kList, "1", "a");
    PutText(kSection + "\\Deep\\Deeper\\Deepest", "v", "x");
    PutText(kSection + "\\Other", "v", "x");
    PutText(kBase + "\\Sibling", "v", "keep");
    {
        TSettingsStore store(Registry);
        store.EraseKey("Lumenary");
        EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 1);
        store.EraseKey("Lumenary");  // a missing key: nothing happens
        store.EraseKey("NoSuchKey\\Below");
    }
    EXPECT_FALSE(Registry.KeyExists(kSection));
    EXPECT_TRUE(Registry.KeyExists(kBase));
    EXPECT_THAT(Registry.SubkeyNames(kBase), ElementsAre("Sibling"));
    EXPECT_THAT(Load(), IsEmpty());
}

TEST_F(SettingsStore, LoadDropsEmptyValuesAndKeepsEnumerationOrder) {
    PutText(kList, "1", "a");
    PutText(kList, "2", "");
    PutText(kList, "3", "c");
    EXPECT_THAT(Load(), ElementsAre("a", "c"));

    // Names are not parsed: creation order counts, whatever the names.
    PutText(kList, "10", "j");
    PutText(kList, "zz", "k");
    PutText(kList, "0", "l");
    EXPECT_THAT(Load(), ElementsAre("a", "c", "j", "k", "l"));
}

TEST_F(SettingsStore, UrlsHoldingEqualsSignsSurviveSaveAndLoad) {
    const std::vector<std::string> lines{"https://example.com/search?q=lumen&lang=ja",
                                         "2=https://example.com/", " spaced line ",
                                         "https://例え.jp/検索?q=日本語&x=1"};
    Save(lines);
    EXPECT_THAT(Load(), ::testing::ElementsAreArray(lines));
}

TEST_F(SettingsStore, HandMadeValueNameWithEqualsSignStillGivesTheWholeUrl) {
    PutText(kList, "a=b", "https://example.com/?x=1");
    EXPECT_THAT(Load(), ElementsAre("https://example.com/?x=1"));
}

TEST_F(SettingsStore, SaveNumbersEveryLineAndReplacesTheWholeList) {
    PutText(kList, "old", "gone");
    Save({"a", "", "c"});
    EXPECT_THAT(Registry.ValueNames(kList), ElementsAre("1", "2", "3"));
    EXPECT_EQ(StoredText(kList, "2"), "");
    const auto loaded = Load();
    EXPECT_THAT(loaded, ElementsAre("a", "c"));
    Save(loaded);
    EXPECT_THAT(Registry.ValueNames(kList), ElementsAre("1", "2"));
    EXPECT_EQ(StoredText(kList, "2"), "c");
}

TEST_F(SettingsStore, SavingAnEmptyListLeavesNoListKey) {
    Save({"a", "b"});
    Save({});
    EXPECT_FALSE(Registry.KeyExists(kList));
    EXPECT_TRUE(Registry.KeyExists(kSection));
    EXPECT_THAT(Load(), IsEmpty());
}

TEST_F(SettingsStore, LoadFailingPartWayLeavesEarlierEntriesUnreduced) {
    PutText(kList, "1", "a");
    PutText(kList, "2", "", RegType::DWord);
    PutText(kList, "3", "c");
    TSettingsStore store(Registry);
    std::vector<std::string> urls;
    EXPECT_THROW(store.LoadURLList(urls), Exception);
    EXPECT_THAT(urls, ElementsAre("1=a"));
}

TEST_F(SettingsStore, WithoutABaseKeyReadsGiveDefaultsAndWritesFail) {
    Registry.FailAllCreates = true;
    TSettingsStore store(Registry);
    EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 1);
    std::vector<std::string> urls;
    store.LoadURLList(urls);
    EXPECT_THAT(urls, IsEmpty());
    store.EraseKey("Lumenary");
    EXPECT_THROW(store.WriteIntValue("Lumenary", "RefreshTime", 2), Exception);
    EXPECT_THROW(store.SaveURLList({"a"}), Exception);
    EXPECT_FALSE(Registry.KeyExists(kBase));
}

}  // namespace
}  // namespace lum
