// The settings store over the real registry of Wine: keys, value types and
// texts as the store leaves them, read back with the registry functions.
#include "win32/Win32Registry.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Types.h"
#include "settings/SettingsStore.h"
#include "win32/Strings.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const wchar_t* const kBase = L"Software\\Orvane";
const wchar_t* const kTestSection = L"Software\\Orvane\\LumenaryTest";
const wchar_t* const kTestList = L"Software\\Orvane\\LumenaryTest\\URLList";
const wchar_t* const kBackupRoot = L"Software\\LumenaryTestBackup";

bool KeyExists(const std::wstring& path) {
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) ==
           ERROR_SUCCESS;
}

void DeleteTree(const std::wstring& path) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

UniqueHKey CreateKeyW(const std::wstring& path) {
    UniqueHKey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      key.Put(), nullptr);
    return key;
}

void SetRaw(const std::wstring& path,
            const wchar_t* name,
            DWORD type,
            const void* data,
            DWORD size) {
    UniqueHKey key = CreateKeyW(path);
    ASSERT_TRUE(key);
    ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
}

// Type and raw bytes of a value; type REG_NONE when it is missing.
std::pair<DWORD, std::vector<BYTE>> GetRaw(const std::wstring& path, const wchar_t* name) {
    UniqueHKey key;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) ||
        ::RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size)) {
        return {REG_NONE, {}};
    }
    std::vector<BYTE> data(size);
    ::RegQueryValueExW(key.Get(), name, nullptr, &type, data.data(), &size);
    return {type, data};
}

std::vector<BYTE> Utf16Z(const std::wstring& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    return {p, p + (text.size() + 1) * sizeof(wchar_t)};
}

// Moves a key of the user's registry aside for the test and puts it back
// afterwards, so that a test may start from a registry without it.
class TKeyBackup {
  public:
    explicit TKeyBackup(std::wstring path)
        : FPath(std::move(path)), FBackup(std::wstring(kBackupRoot) + L"\\Saved") {
        DeleteTree(kBackupRoot);
        if (KeyExists(FPath)) {
            UniqueHKey from = CreateKeyW(FPath);
            UniqueHKey to = CreateKeyW(FBackup);
            FSaved = ::RegCopyTreeW(from.Get(), nullptr, to.Get()) == ERROR_SUCCESS;
        }
        DeleteTree(FPath);
    }
    ~TKeyBackup() {
        DeleteTree(FPath);
        if (FSaved) {
            UniqueHKey from = CreateKeyW(FBackup);
            UniqueHKey to = CreateKeyW(FPath);
            ::RegCopyTreeW(from.Get(), nullptr, to.Get());
        }
        DeleteTree(kBackupRoot);
    }
    TKeyBackup(const TKeyBackup&) = delete;
    TKeyBackup& operator=(const TKeyBackup&) = delete;

  private:
    std::wstring FPath;
    std::wstring FBackup;
    bool FSaved = false;
};

bool RunsOnWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

TEST(Win32Registry, FirstReadCreatesTheEmptyBaseKeyButNoSettingsKey) {
    TKeyBackup backup(kBase);
    {
        TWin32Registry registry;
        TSettingsStore store(registry);
        EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 1);
        EXPECT_TRUE(store.ReadBoolValue("Lumenary", "EnableScroll", true));
        EXPECT_EQ(store.ReadTextValue("Lumenary", "BackColor", "clBtnFace"), "clBtnFace");
        std::vector<std::string> urls;
        store.LoadURLList(urls);
        EXPECT_THAT(urls, IsEmpty());
    }
    UniqueHKey base;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kBase, 0, KEY_READ, base.Put()), ERROR_SUCCESS);
    DWORD subkeys = 99;
    DWORD values = 99;
    ::RegQueryInfoKeyW(base.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
}

TEST(Win32Registry, TheApplicationSectionHoldsStringValuesAndErasesToTheBaseKey) {
    TKeyBackup backup(L"Software\\Orvane\\Lumenary");
    const std::wstring section = L"Software\\Orvane\\Lumenary";
    {
        TWin32Registry registry;
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 60);
        store.WriteBoolValue("Lumenary", "ShowURL", true);
        store.WriteTextValue("Lumenary", "BackColor", "clBtnFace");
        store.SaveURLList({"https://example.com/"});
    }
    EXPECT_EQ(GetRaw(section, L"RefreshTime"), std::make_pair(DWORD{REG_SZ}, Utf16Z(L"60")));
    EXPECT_EQ(GetRaw(section, L"ShowURL"), std::make_pair(DWORD{REG_SZ}, Utf16Z(L"1")));
    EXPECT_EQ(GetRaw(section + L"\\URLList", L"1").second, Utf16Z(L"https://example.com/"));
    {
        TWin32Registry registry;
        TSettingsStore store(registry);
        EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 60);
        store.EraseKey("Lumenary");
    }
    EXPECT_FALSE(KeyExists(section));
    EXPECT_TRUE(KeyExists(kBase));
}

class Win32RegistryStore : public ::testing::Test {
  protected:
    void SetUp() override { DeleteTree(kTestSection); }
    void TearDown() override { DeleteTree(kTestSection); }

    std::vector<std::string> Load() {
        TSettingsStore store(Registry, "LumenaryTest");
        std::vector<std::string> urls;
        store.LoadURLList(urls);
        return urls;
    }
    void Save(const std::vector<std::string>& lines) {
        TSettingsStore store(Registry, "LumenaryTest");
        store.SaveURLList(lines);
    }

    TWin32Registry Registry;
};

TEST_F(Win32RegistryStore, WrittenValuesReadBack) {
    TSettingsStore store(Registry, "LumenaryTest");
    store.WriteIntValue("LumenaryTest", "Int", -2147483647 - 1);
    store.WriteBoolValue("LumenaryTest", "Bool", false);
    store.WriteTextValue("LumenaryTest", "Text", "日本語のテキスト");
    store.WriteTextValue("LumenaryTest", "名前", "x");
    EXPECT_EQ(store.ReadIntValue("LumenaryTest", "Int", 0), -2147483647 - 1);
    EXPECT_FALSE(store.ReadBoolValue("LumenaryTest", "Bool", true));
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "Text", ""), "日本語のテキスト");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "名前", ""), "x");
    EXPECT_EQ(GetRaw(kTestSection, L"Text").second, Utf16Z(L"日本語のテキスト"));
}

TEST_F(Win32RegistryStore, ADwordValueFailsNamingTheValue) {
    const DWORD ten = 10;
    SetRaw(kTestSection, L"RefreshTime", REG_DWORD, &ten, sizeof ten);
    TSettingsStore store(Registry, "LumenaryTest");
    try {
        store.ReadIntValue("LumenaryTest", "RefreshTime", 1);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'RefreshTime' のデータ型が不正です");
    }
}

TEST_F(Win32RegistryStore, StringDataOfAnyShapeReadsWithoutOverrun) {
    SetRaw(kTestSection, L"NoData", REG_SZ, nullptr, 0);
    SetRaw(kTestSection, L"NoNul", REG_SZ, L"ab", 4);
    SetRaw(kTestSection, L"OddBytes", REG_SZ, "a\0b\0c", 5);
    SetRaw(kTestSection, L"InnerNul", REG_SZ, L"a\0b", 8);
    SetRaw(kTestSection, L"Expand", REG_EXPAND_SZ, L"%TEMP%", 14);
    const std::wstring big(100000, L'w');
    SetRaw(kTestSection, L"Big", REG_SZ, big.c_str(), static_cast<DWORD>(big.size() * 2 + 2));
    TSettingsStore store(Registry, "LumenaryTest");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "NoData", "d"), "");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "NoNul", "d"), "ab");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "OddBytes", "d"), "ab");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "InnerNul", "d"), "a");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "Expand", "d"), "%TEMP%");
    EXPECT_EQ(store.ReadTextValue("LumenaryTest", "Big", "d"), std::string(100000, 'w'));
    EXPECT_EQ(store.ReadIntValue("LumenaryTest", "NoData", 7), 7);
}

TEST_F(Win32RegistryStore, UrlsWithQueriesAndJapaneseSurviveUnchanged) {
    const std::vector<std::string> lines{"https://example.com/search?q=lumen&lang=ja",
                                         "https://例え.jp/検索?q=日本語&x=1", ""};
    Save(lines);
    EXPECT_EQ(GetRaw(kTestList, L"2").second, Utf16Z(L"https://例え.jp/検索?q=日本語&x=1"));
    EXPECT_EQ(GetRaw(kTestList, L"3"), std::make_pair(DWORD{REG_SZ}, Utf16Z(L"")));
    EXPECT_THAT(Load(), ElementsAre(lines[0], lines[1]));
}

TEST_F(Win32RegistryStore, ListsComeBackInTheRegistrysEnumerationOrder) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 12; ++i)
        lines.push_back(std::string("u").append(std::to_string(i)));
    Save(lines);
    if (RunsOnWine()) {
        // Wine lists values by name, Windows in creation order; the store
        // keeps whichever order the registry gives.
        EXPECT_THAT(Load(), ElementsAre("u1", "u10", "u11", "u12", "u2", "u3", "u4", "u5", "u6",
                                        "u7", "u8", "u9"));
    } else {
        EXPECT_THAT(Load(), ElementsAreArray(lines));
    }
    Save({"c", "b", "a"});
    EXPECT_THAT(Load(), ElementsAre("c", "b", "a"));
}

TEST_F(Win32RegistryStore, SavingAnEmptyListLeavesNoListKey) {
    Save({"a"});
    ASSERT_TRUE(KeyExists(kTestList));
    Save({});
    EXPECT_FALSE(KeyExists(kTestList));
    EXPECT_TRUE(KeyExists(kTestSection));
    EXPECT_THAT(Load(), IsEmpty());
}

TEST_F(Win32RegistryStore, EraseRemovesNestedKeysAndKeepsTheBaseKey) {
    Save({"a", "b"});
    CreateKeyW(std::wstring(kTestSection) + L"\\Deep\\Deeper\\Deepest");
    SetRaw(std::wstring(kTestSection) + L"\\Deep\\Deeper", L"v", REG_SZ, L"x", 4);
    {
        TSettingsStore store(Registry, "LumenaryTest");
        store.EraseKey("LumenaryTest");
        EXPECT_EQ(store.ReadIntValue("LumenaryTest", "RefreshTime", 1), 1);
        store.EraseKey("LumenaryTest");
    }
    EXPECT_FALSE(KeyExists(kTestSection));
    EXPECT_TRUE(KeyExists(kBase));
}

}  // namespace
}  // namespace lum::win32
