// The settings file as the registry of the Linux program: round trips
// through the settings store, escapes, files written by the earlier writer,
// one atomic replacement per commit, and hostile files on a real file system
// (garbage, huge lines, wrong sections, a folder in the file's place, an
// unreadable file, a symbolic link), none of which a read may ever rewrite.
#include "linux/IniRegistry.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "linux/PosixFileSystem.h"
#include "platform/Types.h"
#include "settings/SettingsStore.h"

namespace lum::gtk {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class IniRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lum-ini-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FRoot = pattern;
        FFile = FRoot / "lumenary" / "lumenary.ini";
        fs::create_directories(FFile.parent_path());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(FFile, fs::perms::owner_all, ignored);
        fs::remove_all(FRoot, ignored);
    }
    TIniRegistry Registry() {
        return TIniRegistry(FFile.string(),
                            [this](const TIniProblem& p) { Problems.push_back(p); });
    }
    // Every setting and the URL list, read as the full-screen run reads them.
    std::string ReadEverything(IRegistry& registry) {
        TSettingsStore store(registry);
        const std::string s = store.SettingsSection();
        std::string all = std::to_string(store.ReadIntValue(s, "RefreshTime", 1)) + "," +
                          std::to_string(store.ReadIntValue(s, "URLShowTime", 5)) + "," +
                          std::to_string(store.ReadBoolValue(s, "ShowURL", false)) + "," +
                          store.ReadTextValue(s, "BackColor", "clBtnFace");
        std::vector<std::string> urls;
        store.LoadURLList(urls);
        for (const auto& url : urls)
            all += "|" + url;
        return all;
    }
    // Reads through a fresh registry and checks that the file is untouched.
    void ExpectReadLeavesFileAlone(const std::string& expected) {
        struct stat before {};
        ASSERT_EQ(::stat(FFile.c_str(), &before), 0);
        const std::string bytes = ReadBytes(FFile);
        auto registry = Registry();
        EXPECT_EQ(ReadEverything(registry), expected);
        struct stat after {};
        ASSERT_EQ(::stat(FFile.c_str(), &after), 0);
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(ReadBytes(FFile), bytes);
    }

    fs::path FRoot;
    fs::path FFile;
    std::vector<TIniProblem> Problems;
};

const char* const kDefaults = "1,5,0,clBtnFace";

TEST_F(IniRegistryTest, SettingsAndURLListSurviveARoundTripThroughTheStore) {
    const std::vector<std::string> urls = {
        "http://example.com/a?x=1&y=2",
        "  http://日本語.example/パス?q=検索;#frag",
        "",
        "#not-a-comment=;really",
        "[bracket] \\path\\ with\ttab  ",
        "http://last.example/",
    };
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteIntValue(store.SettingsSection(), "RefreshTime", 42);
        store.WriteIntValue(store.SettingsSection(), "URLShowTime", -7);
        store.WriteBoolValue(store.SettingsSection(), "ShowURL", true);
        store.WriteTextValue(store.SettingsSection(), "BackColor", "$00FF8000");
        store.SaveURLList(urls);
        store.Commit();
    }
    const std::string text = ReadBytes(FFile);
    EXPECT_NE(text.find("[Lumenary]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Lumenary\\URLList]\n1=http://example.com/a?x=1&y=2\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("2=\\s\\shttp://日本語.example/パス?q=検索;#frag\n"), std::string::npos);
    auto registry = Registry();
    // The empty line is dropped by the list load, as the store always does.
    EXPECT_EQ(ReadEverything(registry),
              "42,-7,1,$00FF8000|http://example.com/a?x=1&y=2|  http://日本語.example/"
              "パス?q=検索;#frag|#not-a-comment=;really|[bracket] \\path\\ with\ttab  |"
              "http://last.example/");
    EXPECT_TRUE(Problems.empty() || !Problems.front().IsError());
}

TEST_F(IniRegistryTest, TextsWithAnyCharacterRoundTripAndNamesTheFileCannotHoldAreRefused) {
    const std::vector<std::string> samples = {
        "=",
        "a=b",
        ";x",
        "#x",
        "[x]",
        " lead",
        "trail ",
        "\ttab\t",
        "line\nbreak\r\n",
        "back\\slash\\",
        "\\s",
        "ctrl\x01\x1f\x7f",
        "日本語 テキスト",
        "",
        "   ",
    };
    {
        auto registry = Registry();
        const auto base = registry.CreateKey(registry.CurrentUser(), "Software\\Orvane\\");
        const auto key = registry.CreateKey(base, "Lumenary");
        for (std::size_t i = 0; i < samples.size(); ++i)
            ASSERT_TRUE(registry.SetStringValue(key, "v" + std::to_string(i), samples[i])) << i;
        for (const char* name : {"", "a=b", "[x", "x]", "#x", ";x", " lead", "trail ", "c\x01"})
            EXPECT_FALSE(registry.SetStringValue(key, name, "t")) << name;
        std::string error;
        ASSERT_TRUE(registry.CommitChanges(error)) << error;
        registry.CloseKey(key);
        registry.CloseKey(base);
    }
    auto registry = Registry();
    const auto key = registry.OpenKey(registry.CurrentUser(), "Software\\Orvane\\Lumenary");
    ASSERT_NE(key, 0u);
    ASSERT_EQ(registry.ValueCount(key), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::string name;
        ASSERT_TRUE(registry.ValueName(key, static_cast<std::uint32_t>(i), name));
        EXPECT_EQ(name, "v" + std::to_string(i));
        TRegValue value;
        ASSERT_TRUE(registry.QueryValue(key, name, value));
        EXPECT_EQ(value.Type, RegType::String);
        EXPECT_EQ(value.Text, samples[i]) << i;
    }
    registry.CloseKey(key);
}

TEST_F(IniRegistryTest, NulEndsTheStoredText) {
    auto registry = Registry();
    const auto key = registry.CreateKey(registry.CurrentUser(), "Software\\Orvane\\Lumenary");
    ASSERT_TRUE(registry.SetStringValue(key, "n", std::string("ab\0cd", 5)));
    std::string error;
    ASSERT_TRUE(registry.CommitChanges(error));
    EXPECT_NE(ReadBytes(FFile).find("n=ab\n"), std::string::npos);
    TRegValue value;
    ASSERT_TRUE(registry.QueryValue(key, "n", value));
    EXPECT_EQ(value.Text, "ab");
    registry.CloseKey(key);
}

TEST_F(IniRegistryTest, TextsThatCannotBeStoredMakeTheWriteFail) {
    auto registry = Registry();
    TSettingsStore store(registry);
    EXPECT_THROW(store.WriteTextValue("Lumenary", "BackColor", "bad\xff utf8"), Exception);
    EXPECT_THROW(store.WriteTextValue("Lumenary", "Long", std::string(70000, 'x')), Exception);
    EXPECT_THROW(store.WriteTextValue("Bad\x01Key", "x", "y"), Exception);
    EXPECT_EQ(store.ReadTextValue("Lumenary", "BackColor", "def"), "def");
}

TEST_F(IniRegistryTest, MissingFolderGivesDefaultsAndTheFirstWriteCreatesIt) {
    FFile = FRoot / "deeper" / "still" / "lumenary.ini";
    {
        auto registry = Registry();
        EXPECT_EQ(ReadEverything(registry), kDefaults);
        ASSERT_TRUE(registry.LoadProblem());
        EXPECT_EQ(registry.LoadProblem()->Kind, TIniProblemKind::Missing);
        EXPECT_FALSE(fs::exists(FRoot / "deeper"));  // a read creates nothing
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 9);
        store.Commit();
    }
    EXPECT_EQ(fs::status(FRoot / "deeper").permissions() & fs::perms::all, fs::perms::owner_all);
    auto registry = Registry();
    EXPECT_EQ(ReadEverything(registry), "9,5,0,clBtnFace");
    EXPECT_FALSE(registry.LoadProblem());
}

TEST_F(IniRegistryTest, HostileFilesGiveDefaultsAndAreNeverRewrittenByARead) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"garbage", std::string("\x7f"
                                "ELF\x02\x01\x01\0\0\0\xff\xfe\n[Lumenary]\n",
                                20)},
        {"invalid utf-8", "[Lumenary]\nRefreshTime=\xc3\x28\n"},
        {"huge line", "[Lumenary]\nRefreshTime=7\n1=" + std::string(70000, 'a') + "\n"},
        {"unclosed section", "[Lumenary\nRefreshTime=7\n"},
        {"empty key name", "[Lumenary\\\\URLList]\n1=a\n"},
        {"value first", "RefreshTime=7\n[Lumenary]\n"},
        {"no equals", "[Lumenary]\nRefreshTime 7\n"},
        {"bad escape", "[Lumenary]\nBackColor=C:\\work\n"},
        {"nul escape in hex", "[Lumenary]\nBackColor=\\x4\n"},
        {"duplicate name", "[Lumenary]\nRefreshTime=7\nrefreshtime=8\n"},
        {"duplicate section", "[Lumenary]\nRefreshTime=7\n[LUMENARY]\nShowURL=1\n"},
        {"nul byte", std::string("[Lumenary]\nRefreshTime=7\0\n", 26)},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        WriteBytes(FFile, bytes);
        Problems.clear();
        ExpectReadLeavesFileAlone(kDefaults);
        ASSERT_EQ(Problems.size(), 1u);
        EXPECT_EQ(Problems[0].Kind, TIniProblemKind::Malformed);
        EXPECT_NE(Problems[0].Message.find(FFile.string()), std::string::npos);
        EXPECT_NE(Problems[0].Message.find("行目"), std::string::npos) << Problems[0].Message;
    }
}

TEST_F(IniRegistryTest, GoodFileIsReadWithBlanksCaseCommentsAndCRLF) {
    WriteBytes(FFile,
               "\xEF\xBB\xBF; comment\r\n[ lumenary ]\r\n  refreshtime = 12\r\n# c\r\n"
               "ShowURL=2\r\n\r\n[Lumenary\\urllist]\r\nb= x\\s\r\na=y=z\r\n");
    ExpectReadLeavesFileAlone("12,5,1,clBtnFace|x |y=z");
    EXPECT_TRUE(Problems.empty());
}

TEST_F(IniRegistryTest, EmptyFileGivesDefaultsAndIsReplacedByAWrite) {
    WriteBytes(FFile, " \n\n");
    ExpectReadLeavesFileAlone(kDefaults);
    ASSERT_EQ(Problems.size(), 1u);
    EXPECT_EQ(Problems[0].Kind, TIniProblemKind::Empty);
    EXPECT_FALSE(Problems[0].IsError());
    auto registry = Registry();
    TSettingsStore store(registry);
    store.WriteIntValue("Lumenary", "RefreshTime", 3);
    store.Commit();
    EXPECT_FALSE(fs::exists(FFile.string() + ".bad"));
}

TEST_F(IniRegistryTest, MalformedFileIsKeptAsideBeforeTheFirstWrite) {
    const std::string first = "[Lumenary]\nRefreshTime=7\nRefreshTime=8\n";
    const std::string second = std::string("\xff\xfe garbage", 10);
    WriteBytes(FFile, first);
    {
        auto registry = Registry();
        EXPECT_EQ(ReadEverything(registry), kDefaults);
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 30);
        store.WriteIntValue("Lumenary", "URLShowTime", 6);
        store.Commit();
    }
    EXPECT_EQ(ReadBytes(FFile.string() + ".bad"), first);
    ASSERT_GE(Problems.size(), 2u);
    EXPECT_EQ(Problems[1].Kind, TIniProblemKind::KeptAside);
    EXPECT_NE(Problems[1].Message.find("lumenary.ini.bad"), std::string::npos);
    WriteBytes(FFile, second);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.SaveURLList({"http://a/"});
        store.Commit();
    }
    // An earlier kept file is never overwritten.
    EXPECT_EQ(ReadBytes(FFile.string() + ".bad"), first);
    EXPECT_EQ(ReadBytes(FFile.string() + ".bad.2"), second);
    auto registry = Registry();
    EXPECT_EQ(ReadEverything(registry), "1,5,0,clBtnFace|http://a/");
}

TEST_F(IniRegistryTest, UnknownSectionsAndCommentsAreKept) {
    const std::string other = "[Other]\n# note\nOdd=spacing\n\n[Lumenary\\Extra]\nk=v\n";
    WriteBytes(FFile, "# top\n[Lumenary]\n# mine\nRefreshTime=2\n\n" + other);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 4);
        store.SaveURLList({"u"});
        store.Commit();
    }
    EXPECT_EQ(ReadBytes(FFile), "# top\n\n[Lumenary]\n# mine\nRefreshTime=4\n\n" + other +
                                    "\n[Lumenary\\URLList]\n1=u\n");
    {
        // Erasing the settings key takes its subkeys, the unknown one too,
        // as the registry does; other sections stay.
        auto registry = Registry();
        TSettingsStore store(registry);
        store.EraseKey(store.SettingsSection());
        store.Commit();
    }
    EXPECT_EQ(ReadBytes(FFile), "# top\n\n[Other]\n# note\nOdd=spacing\n\n");
}

TEST_F(IniRegistryTest, FolderInThePlaceOfTheFileIsReportedAndNeverReplaced) {
    fs::create_directories(FFile / "inside");
    auto registry = Registry();
    EXPECT_EQ(ReadEverything(registry), kDefaults);
    ASSERT_TRUE(registry.LoadProblem());
    EXPECT_EQ(registry.LoadProblem()->Kind, TIniProblemKind::Unreadable);
    TSettingsStore store(registry);
    store.WriteIntValue("Lumenary", "RefreshTime", 3);
    EXPECT_THROW(store.Commit(), Exception);
    EXPECT_TRUE(fs::is_directory(FFile / "inside"));
}

TEST_F(IniRegistryTest, FifoInThePlaceOfTheFileNeitherHangsNorIsReplaced) {
    ASSERT_EQ(::mkfifo(FFile.c_str(), 0600), 0);
    auto registry = Registry();
    EXPECT_EQ(ReadEverything(registry), kDefaults);
    EXPECT_EQ(registry.LoadProblem()->Kind, TIniProblemKind::Unreadable);
    TSettingsStore store(registry);
    store.WriteIntValue("Lumenary", "RefreshTime", 3);
    EXPECT_THROW(store.Commit(), Exception);
    EXPECT_TRUE(fs::is_fifo(FFile));
}

// Root reads any file: the case then runs in a child process that has
// become an ordinary user.
// With linked, the settings file is a symbolic link to a file elsewhere, as
// dotfile managers make it: the link stays and its target is replaced.
void ExpectUnreadableFileKeptBeforeAWrite(const fs::path& folder, bool linked) {
    const fs::path file = folder / "lumenary.ini";
    const fs::path real = linked ? folder / "dotfiles" / "lumenary.ini" : file;
    fs::create_directories(real.parent_path());
    WriteBytes(real, "[Lumenary]\nRefreshTime=7\n");
    fs::permissions(real, fs::perms::none);
    if (linked)
        fs::create_symlink(real, file);
    std::vector<TIniProblem> problems;
    TIniRegistry registry(file.string(), [&](const TIniProblem& p) { problems.push_back(p); });
    {
        TSettingsStore store(registry);
        EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 1);
        ASSERT_TRUE(registry.LoadProblem());
        EXPECT_EQ(registry.LoadProblem()->Kind, TIniProblemKind::Unreadable);
        EXPECT_NE(problems.at(0).Message.find("Permission denied"), std::string::npos);
        store.WriteIntValue("Lumenary", "URLShowTime", 8);
        store.Commit();
    }
    EXPECT_FALSE(fs::is_symlink(folder / "lumenary.ini.bad"));
    fs::permissions(folder / "lumenary.ini.bad", fs::perms::owner_read);
    EXPECT_EQ(ReadBytes(folder / "lumenary.ini.bad"), "[Lumenary]\nRefreshTime=7\n");
    EXPECT_EQ(fs::is_symlink(file), linked);
    const std::string text = ReadBytes(real);
    EXPECT_TRUE(text.starts_with("# ")) << text;  // a note on the format
    EXPECT_TRUE(text.ends_with("\n[Lumenary]\nURLShowTime=8\n")) << text;
}

TEST_F(IniRegistryTest, UnreadableFileGivesDefaultsAndIsKeptBeforeAWrite) {
    if (::geteuid() != 0) {
        ExpectUnreadableFileKeptBeforeAWrite(FFile.parent_path() / "plain", false);
        ExpectUnreadableFileKeptBeforeAWrite(FFile.parent_path() / "linked", true);
        return;
    }
    fs::permissions(FRoot, fs::perms::owner_all | fs::perms::others_exec);
    const fs::path folder = FRoot / "user";
    for (const char* part : {"", "plain", "linked"}) {
        fs::create_directories(folder / part);
        ASSERT_EQ(::chown((folder / part).c_str(), 65534, 65534), 0);
    }
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                std::_Exit(2);
            ExpectUnreadableFileKeptBeforeAWrite(folder / "plain", false);
            ExpectUnreadableFileKeptBeforeAWrite(folder / "linked", true);
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(IniRegistryTest, WriteKeepsTheFilesModeAndItsSymbolicLink) {
    const fs::path real = FRoot / "dotfiles" / "lumenary.ini";
    fs::create_directories(real.parent_path());
    WriteBytes(real, "[Lumenary]\nRefreshTime=7\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, FFile);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "URLShowTime", 9);
        store.Commit();
    }
    EXPECT_TRUE(fs::is_symlink(FFile));
    EXPECT_EQ(ReadBytes(real), "[Lumenary]\nRefreshTime=7\nURLShowTime=9\n");
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(real.parent_path()), fs::directory_iterator()),
              1);
}

// A page's header may be a secret: the file holding one is the owner's
// alone, and goes back to the mode it had for nobody.
TEST_F(IniRegistryTest, AFileWithAPageHeaderIsTheOwnersAlone) {
    WriteBytes(FFile, "[Lumenary]\nRefreshTime=7\n");
    fs::permissions(FFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::others_read);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "URLShowTime", 9);
        store.Commit();
    }
    EXPECT_EQ(fs::status(FFile).permissions() & fs::perms::others_read, fs::perms::others_read);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteTextValue(store.URLListSection(), "1",
                             "https://a/ header=\"Authorization: Bearer s3cret\"");
        store.Commit();
    }
    EXPECT_EQ(fs::status(FFile).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniRegistryTest, EachBatchReadsTheFileAfresh) {
    auto registry = Registry();
    WriteBytes(FFile, "[Lumenary]\nRefreshTime=7\n");
    EXPECT_EQ(ReadEverything(registry), "7,5,0,clBtnFace");
    WriteBytes(FFile, "[Lumenary]\nRefreshTime=8\n");
    EXPECT_EQ(ReadEverything(registry), "8,5,0,clBtnFace");
    // Within a batch the file is read once.
    TSettingsStore store(registry);
    WriteBytes(FFile, "[Lumenary]\nRefreshTime=9\n");
    EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 8);
}

TEST_F(IniRegistryTest, KeysOutsideTheBaseKeyCannotBeCreated) {
    auto registry = Registry();
    EXPECT_EQ(registry.CreateKey(registry.CurrentUser(), "Control Panel\\desktop"), 0u);
    EXPECT_EQ(registry.OpenKey(registry.CurrentUser(), "Software\\Other"), 0u);
    const auto base = registry.OpenKey(registry.CurrentUser(), "Software\\Orvane");
    ASSERT_NE(base, 0u);  // the base key always exists
    EXPECT_FALSE(registry.SetStringValue(base, "x", "y"));
    EXPECT_FALSE(registry.DeleteKey(registry.CurrentUser(), "Software\\Orvane"));
    registry.CloseKey(base);
    EXPECT_FALSE(fs::exists(FFile));
}

TEST_F(IniRegistryTest, AFileTheNextReadWouldRefuseIsNotWritten) {
    auto registry = Registry();
    TSettingsStore store(registry);
    // 300 lines of 60,000 bytes: each line fits, the file would not.
    std::vector<std::string> urls(300, std::string(60000, 'u'));
    store.SaveURLList(urls);
    EXPECT_THROW(store.Commit(), Exception);
    EXPECT_FALSE(fs::exists(FFile));
    auto reader = Registry();
    EXPECT_FALSE(reader.LoadProblem() && reader.LoadProblem()->IsError());
}

// A file as the earlier, hand-written writer of the program wrote it (";"
// comment, "\xHH" escapes of control characters, blanks escaped at either
// end of a text, an empty value, a long URL).
std::string EarlierWritersFile() {
    return std::string(
               "; Lumenary の設定 (UTF-8)。\"\\\" で始まる文字: \\\\ \\n \\r \\t \\s(空白) \\= \\; "
               "\\# \\[ \\xHH\n"
               "[Lumenary]\nRefreshTime=42\nURLShowTime=-7\nShowURL=1\nShowClock=0\n"
               "EnableScroll=1\nBackColor=$00FF8000\nForeColor=clWindowText\n"
               "[Lumenary\\URLList]\n"
               "1=http://example.com/a?x=1&y=2;z=3#frag\n"
               "2=\\s\\shttp://日本語.example/パス?q=検索\\s\n"
               "3=\\thttp://tab.example/\\t\n"
               "4=http://back\\\\slash.example/\\\\path\\\\\n"
               "5=#not-a-comment=;really [x]\n"
               "6=ctrl\\x01mid\\x1Fend\\x7F\n"
               "7=http://long.example/?q=") +
           std::string(6000, 'L') +
           "\n8=\n9=http://last.example/\n10=http://n.example/0\n11=http://n.example/1\n"
           "12=http://n.example/2\n";
}

const char* const kEarlierScalars = "42,-7,1,$00FF8000";

std::vector<std::string> EarlierWritersURLs() {
    return {"http://example.com/a?x=1&y=2;z=3#frag",
            "  http://日本語.example/パス?q=検索 ",
            "\thttp://tab.example/\t",
            "http://back\\slash.example/\\path\\",
            "#not-a-comment=;really [x]",
            "ctrl\x01mid\x1f"
            "end\x7f",
            "http://long.example/?q=" + std::string(6000, 'L'),
            "http://last.example/",
            "http://n.example/0",
            "http://n.example/1",
            "http://n.example/2"};
}

std::string Joined(const char* scalars, const std::vector<std::string>& urls) {
    std::string all = scalars;
    for (const auto& url : urls)
        all += "|" + url;
    return all;
}

TEST_F(IniRegistryTest, FileOfTheEarlierWriterReadsTheSameAndSurvivesASave) {
    WriteBytes(FFile, EarlierWritersFile());
    ExpectReadLeavesFileAlone(Joined(kEarlierScalars, EarlierWritersURLs()));
    EXPECT_TRUE(Problems.empty());
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 43);
        store.Commit();
    }
    ExpectReadLeavesFileAlone(Joined("43,-7,1,$00FF8000", EarlierWritersURLs()));
    auto registry = Registry();
    TSettingsStore store(registry);
    EXPECT_EQ(store.ValueNames(store.URLListSection()).size(), 12u);  // "8" is kept, empty
}

TEST_F(IniRegistryTest, MalformedFilesAreRefusedNamingTheirLine) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"[Lumenary]\nRefreshTime=7\nno equals\n", "3 行目"},
        {"# c\n\nRefreshTime=7\n[Lumenary]\n", "3 行目"},
        {"[Lumenary]\n\n\nBackColor=C:\\work\n", "4 行目"},
        {"[Lumenary]\nA=1\n[Lumenary\\URLList]\n1=a\n[lumenary\\urllist]\n", "5 行目"},
        {"[Lumenary]\nA=1\nB=\xc3\x28\n", "3 行目"},
        {"[Lumenary]\nA=1\nB=2\na=3\n", "4 行目"},
        {"[Lumenary]\nA=1\nB=x\\\n", "3 行目"},
        // Plain URL lines where numbered entries belong.
        {"[Lumenary]\nA=1\n[Lumenary\\URLList]\nhttps://a.example/\n", "4 行目"},
    };
    for (const auto& [bytes, line] : files) {
        SCOPED_TRACE(bytes);
        WriteBytes(FFile, bytes);
        Problems.clear();
        ExpectReadLeavesFileAlone(kDefaults);
        ASSERT_EQ(Problems.size(), 1u);
        EXPECT_NE(Problems[0].Message.find(line), std::string::npos) << Problems[0].Message;
        // The refusal shows the form of the list, and says why in a few
        // words for the saver's card.
        EXPECT_NE(Problems[0].Message.find("[Lumenary\\URLList] の下に「1=https://example.com/」"),
                  std::string::npos)
            << Problems[0].Message;
        EXPECT_NE(Problems[0].Reason.find(line), std::string::npos) << Problems[0].Reason;
    }
}

TEST_F(IniRegistryTest, MalformedFileBehindASymbolicLinkIsKeptAsACopyAndTheLinkStays) {
    const fs::path real = FRoot / "dotfiles" / "lumenary.ini";
    fs::create_directories(real.parent_path());
    const std::string broken = "[Lumenary]\nRefreshTime=7\nthis line is broken\n";
    WriteBytes(real, broken);
    fs::create_symlink(real, FFile);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        EXPECT_EQ(store.ReadIntValue("Lumenary", "RefreshTime", 1), 1);
        store.WriteIntValue("Lumenary", "URLShowTime", 9);
        store.Commit();
    }
    const fs::path kept = FFile.string() + ".bad";
    ASSERT_TRUE(fs::exists(kept));
    EXPECT_FALSE(fs::is_symlink(kept));
    EXPECT_EQ(ReadBytes(kept), broken);
    EXPECT_TRUE(fs::is_symlink(FFile));
    EXPECT_EQ(fs::read_symlink(FFile), real);
    EXPECT_NE(ReadBytes(real).find("URLShowTime=9"), std::string::npos);
    ASSERT_GE(Problems.size(), 2u);
    EXPECT_EQ(Problems[1].Kind, TIniProblemKind::KeptAside);
}

TEST_F(IniRegistryTest, ChangesAreWrittenOnlyByTheCommitInOneReplacement) {
    WriteBytes(FFile, "[Lumenary]\nRefreshTime=7\n");
    struct stat before {};
    ASSERT_EQ(::stat(FFile.c_str(), &before), 0);
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 8);
        store.SaveURLList({"a", "b"});
    }  // closed without a commit: nothing stored
    ExpectReadLeavesFileAlone("7,5,0,clBtnFace");
    auto registry = Registry();
    {
        TSettingsStore store(registry);
        store.WriteIntValue("Lumenary", "RefreshTime", 8);
        store.SaveURLList({"a", "b"});
        struct stat during {};
        ASSERT_EQ(::stat(FFile.c_str(), &during), 0);
        EXPECT_EQ(during.st_ino, before.st_ino);
        store.Commit();
        store.Commit();  // nothing new: no second write
    }
    struct stat after {};
    ASSERT_EQ(::stat(FFile.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed into place
    ExpectReadLeavesFileAlone("8,5,0,clBtnFace|a|b");
}

// A save that fails half way (here: the file size limit of the process, as a
// full disk would) leaves the file as it was, every URL included.
TEST_F(IniRegistryTest, FailedSaveLeavesTheWholeFileAsItWas) {
    std::vector<std::string> urls;
    for (int i = 0; i < 60; ++i)
        urls.push_back("http://old.example/" + std::to_string(i) + "?" + std::string(100, 'q'));
    {
        auto registry = Registry();
        TSettingsStore store(registry);
        store.SaveURLList(urls);
        store.Commit();
    }
    const std::string bytes = ReadBytes(FFile);
    std::vector<std::string> edited;
    for (int i = 0; i < 60; ++i)
        edited.push_back("http://new.example/" + std::to_string(i) + "?" + std::string(100, 'n'));
    auto registry = Registry();
    TSettingsStore store(registry);
    store.SaveURLList(edited);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = bytes.size() / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(store.Commit(), Exception);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(FFile), bytes);
    auto reader = Registry();
    EXPECT_EQ(ReadEverything(reader), Joined(kDefaults, urls));
    EXPECT_EQ(std::distance(fs::directory_iterator(FFile.parent_path()), fs::directory_iterator()),
              1);  // no temporary file left
}

// Every group, value name and value of doc, one line each.
std::string Dump(GKeyFile* doc) {
    std::string dump;
    g_auto(GStrv) groups = g_key_file_get_groups(doc, nullptr);
    for (gchar** group = groups; *group; ++group) {
        dump += std::string("[") + *group + "]\n";
        g_auto(GStrv) keys = g_key_file_get_keys(doc, *group, nullptr, nullptr);
        for (gchar** key = keys; *key; ++key) {
            g_autofree gchar* text = g_key_file_get_string(doc, *group, *key, nullptr);
            dump += std::string(*key) + "=" + (text ? text : "(unreadable)") + "\n";
        }
    }
    return dump;
}

TEST(IniText, RandomAndMangledTextsAreRefusedOrRoundTrip) {
    const std::string good =
        "; c\n[Lumenary]\nRefreshTime=5\nBackColor=\\s$00FF\\x01\n[Lumenary\\URLList]\n1=a=b\n";
    const std::string alphabet("\\=[]\n\r\t ;#x\xff\0a1", 15);
    std::mt19937 random(7);
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % (text.size() + 1);
            const char c = alphabet[random() % alphabet.size()];
            if (random() % 2)
                text.insert(at, 1, c);
            else if (at < text.size())
                text.erase(at, 1);
        }
        std::string error;
        TKeyFilePtr doc = ParseIni(text, error);
        if (!doc) {
            EXPECT_NE(error.find("行目"), std::string::npos) << error;
            continue;
        }
        ++read;
        // Whatever was read is written so that it reads the same.
        std::string written;
        ASSERT_TRUE(FormatIni(doc.get(), written));
        TKeyFilePtr again = ParseIni(written, error);
        ASSERT_TRUE(again) << error << "\n" << written;
        EXPECT_EQ(Dump(again.get()), Dump(doc.get()));
    }
    EXPECT_GT(read, 300);  // the mangling leaves many files readable
}

// A value is read without the blanks that end its line (an escaped blank
// stays) and without a CR that ends the file; what was read is written so
// that it reads the same. The first text is what long fuzzing found.
TEST(IniText, ValuesNeverKeepTrailingBlanksOrALastCR) {
    const struct {
        std::string Text;
        std::string Read;
    } cases[] = {
        {"[Lumenary]\nRefreshTime=!+4\x0eU\r", "[Lumenary]\nRefreshTime=!+4\x0eU\n"},
        {"[Lumenary]\nRefreshTime=!+1\x0eU\r ", "[Lumenary]\nRefreshTime=!+1\x0eU\n"},
        {"[Lumenary]\nA=b \r\t\r", "[Lumenary]\nA=b\n"},
        {"[Lumenary\\URLList]\n4=http://h/c4   \n5=x\\s \t\r\n",
         "[Lumenary\\URLList]\n4=http://h/c4\n5=x \n"},
        {"[Lumenary]  \r\n  # kept \nA=1\t\r", "[Lumenary]\nA=1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        std::string error;
        TKeyFilePtr doc = ParseIni(c.Text, error);
        ASSERT_TRUE(doc) << error;
        EXPECT_EQ(Dump(doc.get()), c.Read);
        std::string written;
        ASSERT_TRUE(FormatIni(doc.get(), written));
        TKeyFilePtr again = ParseIni(written, error);
        ASSERT_TRUE(again) << error;
        EXPECT_EQ(Dump(again.get()), c.Read);
    }
}

TEST(SettingsPath, FollowsXdgConfigHomeElseHome) {
    EXPECT_EQ(SettingsPathFor("/x/conf", "/home/u"), "/x/conf/lumenary/lumenary.ini");
    EXPECT_EQ(SettingsPathFor(nullptr, "/home/u"), "/home/u/.config/lumenary/lumenary.ini");
    EXPECT_EQ(SettingsPathFor("", "/home/u"), "/home/u/.config/lumenary/lumenary.ini");
    EXPECT_EQ(SettingsPathFor("relative", "/home/u"), "/home/u/.config/lumenary/lumenary.ini");
}

// Without HOME the settings file lies in the account's home, beside the
// cache, and not below the working folder.
TEST(SettingsPath, WithoutHomeUsesTheSameHomeAsTheCache) {
    const std::string home = HomeFolder(nullptr);
    ASSERT_TRUE(home.starts_with("/")) << home;
    EXPECT_EQ(SettingsPathFor(nullptr, nullptr), home + "/.config/lumenary/lumenary.ini");
    EXPECT_EQ(SettingsPathFor(nullptr, ""), home + "/.config/lumenary/lumenary.ini");
    EXPECT_EQ(CacheDirPath(nullptr, nullptr), home + "/.cache/lumenary/");
}

}  // namespace
}  // namespace lum::gtk
