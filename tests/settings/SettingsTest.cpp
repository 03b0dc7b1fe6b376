// The typed settings record against the fake registry: defaults, every
// setting failing on its own, the URL list loading around unreadable
// entries, and saving the list without losing those entries.
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeRegistry.h"
#include "settings/SettingsStore.h"

namespace lum {
namespace {

const std::string kSection = "Software\\Orvane\\Lumenary";
const std::string kList = "Software\\Orvane\\Lumenary\\URLList";

class SettingsRecord : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(Registry.OpenHandleCount(), 0u); }

    void Put(const std::string& path,
             const std::string& name,
             const std::string& text,
             std::uint32_t type = RegType::String) {
        Registry.PutValue(path, name, TRegValue{type, text});
    }
    TSettingsLoad Load() {
        TSettingsStore store(Registry);
        return LoadSettings(store);
    }
    // Every stored value of the URL list key as name=text (type other than
    // a string: name#type), in enumeration order.
    std::vector<std::string> StoredList() {
        std::vector<std::string> entries;
        for (const std::string& name : Registry.ValueNames(kList)) {
            const TRegValue value = *Registry.GetValue(kList, name);
            entries.push_back(value.Type == RegType::String
                                  ? name + "=" + value.Text
                                  : name + "#" + std::to_string(value.Type));
        }
        return entries;
    }

    fakes::TFakeRegistry Registry;
};

TEST_F(SettingsRecord, NothingStoredGivesEveryDefault) {
    const TSettingsLoad load = Load();
    EXPECT_EQ(load.Values.RefreshTime, 1);
    EXPECT_EQ(load.Values.URLShowTime, 5);
    EXPECT_FALSE(load.Values.ShowURL);
    EXPECT_FALSE(load.Values.ShowClock);
    EXPECT_TRUE(load.Values.EnableScroll);
    EXPECT_EQ(load.Values.BackColor, SystemColor(15));
    EXPECT_EQ(load.Values.ForeColor, SystemColor(8));
    EXPECT_TRUE(load.Values.URLs.empty());
    EXPECT_EQ(load.ColorTexts, (std::array<std::string, 2>{"clBtnFace", "clWindowText"}));
    EXPECT_TRUE(load.Messages().empty());
    EXPECT_FALSE(Registry.KeyExists(kSection)) << "reading writes nothing";
}

TEST_F(SettingsRecord, SavedRecordIsStoredUnderItsValueNamesAndLoadsBack) {
    TSettings saved;
    saved.RefreshTime = 60;
    saved.URLShowTime = 0;
    saved.ShowURL = true;
    saved.ShowClock = true;
    saved.EnableScroll = false;
    saved.BackColor = 0x00800000;
    saved.ForeColor = 0x00123456;
    saved.URLs = {"http://a.example/?x=1&y=2", "b"};
    {
        TSettingsStore store(Registry);
        saved.Save(store);
    }
    EXPECT_EQ(Registry.ValueNames(kSection),
              (std::vector<std::string>{"RefreshTime", "URLShowTime", "ShowURL", "ShowClock",
                                        "EnableScroll", "BackColor", "ForeColor"}));
    EXPECT_EQ(Registry.GetValue(kSection, "RefreshTime")->Text, "60");
    EXPECT_EQ(Registry.GetValue(kSection, "EnableScroll")->Text, "0");
    EXPECT_EQ(Registry.GetValue(kSection, "BackColor")->Text, "clNavy");
    EXPECT_EQ(Registry.GetValue(kSection, "ForeColor")->Text, "$00123456");
    EXPECT_EQ(StoredList(), (std::vector<std::string>{"1=http://a.example/?x=1&y=2", "2=b"}));
    const TSettingsLoad load = Load();
    EXPECT_EQ(load.Values, saved);
    EXPECT_EQ(load.URLNames, (std::vector<std::string>{"1", "2"}));
}

// Each setting stored unreadable in turn, with every other one stored
// readable and different from its default.
TEST_F(SettingsRecord, EachSettingFailsOnItsOwnAndKeepsItsDefault) {
    const std::pair<const char*, const char*> readable[] = {
        {"RefreshTime", "9"},  {"URLShowTime", "8"},   {"ShowURL", "1"},       {"ShowClock", "1"},
        {"EnableScroll", "0"}, {"BackColor", "clRed"}, {"ForeColor", "clLime"}};
    for (TSetting broken : kAllSettings) {
        for (const auto& [name, text] : readable)
            Put(kSection, name, text);
        Put(kSection, SettingName(broken), "", RegType::DWord);
        const TSettingsLoad load = Load();
        TSettings expected;
        expected.RefreshTime = 9;
        expected.URLShowTime = 8;
        expected.ShowURL = expected.ShowClock = true;
        expected.EnableScroll = false;
        expected.BackColor = 0x000000FF;
        expected.ForeColor = 0x0000FF00;
        TSettings defaults;
        switch (broken) {
            case TSetting::RefreshTime:
                expected.RefreshTime = defaults.RefreshTime;
                break;
            case TSetting::URLShowTime:
                expected.URLShowTime = defaults.URLShowTime;
                break;
            case TSetting::ShowURL:
                expected.ShowURL = defaults.ShowURL;
                break;
            case TSetting::ShowClock:
                expected.ShowClock = defaults.ShowClock;
                break;
            case TSetting::EnableScroll:
                expected.EnableScroll = defaults.EnableScroll;
                break;
            case TSetting::BackColor:
                expected.BackColor = defaults.BackColor;
                break;
            case TSetting::ForeColor:
                expected.ForeColor = defaults.ForeColor;
                break;
        }
        EXPECT_EQ(load.Values, expected) << SettingName(broken);
        EXPECT_EQ(load.Messages(), std::vector<std::string>{std::string("'") + SettingName(broken) +
                                                            "' のデータ型が不正です"});
        for (TSetting other : kAllSettings)
            EXPECT_EQ(load.Failed(other), other == broken) << SettingName(other);
    }
}

TEST_F(SettingsRecord, ColourTextThatIsNoColourKeepsTheDefaultAndItsText) {
    Put(kSection, "BackColor", "blue");
    Put(kSection, "ForeColor", "clnone");
    const TSettingsLoad load = Load();
    EXPECT_EQ(load.Values.BackColor, SystemColor(15));
    EXPECT_EQ(load.Values.ForeColor, clNone);
    EXPECT_EQ(load.ColorTexts, (std::array<std::string, 2>{"blue", "clnone"}));
    EXPECT_EQ(load.Messages(), std::vector<std::string>{"'blue' は整数ではありません"});
}

TEST_F(SettingsRecord, URLListLoadsEveryEntryThatReadsInOrderAndListsTheOthers) {
    Put(kList, "1", "http://a/?p=q");
    Put(kList, "2", "", RegType::Binary);
    Put(kList, "3", "");
    Put(kList, "x=y", "c");
    Put(kList, "5", "", RegType::DWord);
    const TSettingsLoad load = Load();
    EXPECT_EQ(load.Values.URLs, (std::vector<std::string>{"http://a/?p=q", "c"}));
    EXPECT_EQ(load.URLNames, (std::vector<std::string>{"1", "x=y"}));
    EXPECT_EQ(load.URLListNames, (std::vector<std::string>{"1", "2", "3", "x=y", "5"}));
    ASSERT_EQ(load.URLFailures.size(), 2u);
    EXPECT_EQ(load.URLFailures[0].Name, "2");
    EXPECT_EQ(load.Messages(),
              (std::vector<std::string>{"'2' のデータ型が不正です", "'5' のデータ型が不正です"}));
}

TEST_F(SettingsRecord, SavingAroundUnreadableEntriesKeepsThemInPlace) {
    Put(kList, "5", "a");
    Put(kList, "bad", "", RegType::Binary);
    Put(kList, "1", "b");
    Put(kList, "2", "", RegType::DWord);
    const TSettingsLoad loaded = Load();
    {
        TSettingsStore store(Registry);
        SaveURLListKeepingUnreadable(store, {"p", "q", "r", "s"}, loaded);
    }
    EXPECT_EQ(StoredList(), (std::vector<std::string>{"5=p", "bad#3", "1=q", "2#4", "3=r", "4=s"}));
    EXPECT_EQ(Load().Values.URLs, (std::vector<std::string>{"p", "q", "r", "s"}));

    // Fewer lines than readable entries: the ones left over are emptied.
    {
        TSettingsStore store(Registry);
        SaveURLListKeepingUnreadable(store, {"only"}, Load());
    }
    EXPECT_EQ(StoredList(), (std::vector<std::string>{"5=only", "bad#3", "1=", "2#4", "3=", "4="}));
    EXPECT_EQ(Load().Values.URLs, std::vector<std::string>{"only"});
}

TEST_F(SettingsRecord, SavingWithoutUnreadableEntriesReplacesTheList) {
    Put(kList, "entry", "a");
    Put(kList, "7", "b");
    const TSettingsLoad loaded = Load();
    {
        TSettingsStore store(Registry);
        SaveURLListKeepingUnreadable(store, {"x", "", "y"}, loaded);
    }
    EXPECT_EQ(StoredList(), (std::vector<std::string>{"1=x", "2=", "3=y"}));
}

TEST_F(SettingsRecord, TextsWithoutAValueAreLeftAsStored) {
    Put(kSection, "URLShowTime", "", RegType::DWord);
    TSettings values;
    values.URLShowTime = 7;
    TSettingTexts texts = values.Texts();
    EXPECT_EQ(texts[1], "7");
    texts[1].reset();
    {
        TSettingsStore store(Registry);
        SaveSettingTexts(store, texts);
    }
    EXPECT_EQ(Registry.GetValue(kSection, "URLShowTime")->Type, RegType::DWord);
    EXPECT_EQ(Registry.ValueNames(kSection).size(), 7u);
}

}  // namespace
}  // namespace lum
