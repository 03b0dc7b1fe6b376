#include "linux/PosixFileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include "common/stdFiles.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "common/DosDate.h"
#include "platform/Types.h"

namespace lum::gtk {
namespace {

class PosixFileSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lum-fs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = std::string(pattern) + "/";
    }
    void TearDown() override { std::system(("rm -rf '" + Dir + "'").c_str()); }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void WriteAll(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::vector<std::string> Names(const std::string& mask) {
        std::vector<std::string> names;
        for (const TFileEntry& e : Files.FindFiles(Dir + mask))
            names.push_back(e.Name);
        std::sort(names.begin(), names.end());
        return names;
    }

    TPosixFileSystem Files;
    std::string Dir;
};

TEST_F(PosixFileSystem, CommitReplacesTheTargetInOneRenameAndLeavesNoTemporaryFile) {
    WriteAll(Dir + "0.bmp", "old");
    auto writer = Files.CreateReplacing(Dir + "0.bmp");
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer->Write("new picture", 11));
    // While it is written, readers see the old file and a "*.bmp" listing
    // shows nothing else.
    EXPECT_EQ(ReadAll(Dir + "0.bmp"), "old");
    EXPECT_EQ(Names("*.bmp"), std::vector<std::string>{"0.bmp"});
    EXPECT_EQ(Names("*").size(), 4u);  // ".", "..", the target, the temporary file
    ASSERT_TRUE(writer->Commit());
    writer.reset();
    EXPECT_EQ(ReadAll(Dir + "0.bmp"), "new picture");
    EXPECT_EQ(Names("*"), (std::vector<std::string>{".", "..", "0.bmp"}));
    struct stat st {};
    ASSERT_EQ(::stat((Dir + "0.bmp").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IRUSR);
}

TEST_F(PosixFileSystem, AnUncommittedWriterLeavesNothingBehind) {
    {
        auto writer = Files.CreateReplacing(Dir + "1.bmp");
        ASSERT_TRUE(writer);
        writer->Write("half", 4);
    }
    WriteAll(Dir + "2.bmp", "kept");
    {
        auto writer = Files.CreateReplacing(Dir + "2.bmp");
        writer->Write("half", 4);
    }
    EXPECT_EQ(Names("*"), (std::vector<std::string>{".", "..", "2.bmp"}));
    EXPECT_EQ(ReadAll(Dir + "2.bmp"), "kept");
    EXPECT_EQ(Files.CreateReplacing(Dir + "missing/3.bmp"), nullptr);
}

TEST_F(PosixFileSystem, FileDateIsTheLocalModificationTimePacked) {
    WriteAll(Dir + "0.bmp", "x");
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 15;
    local.tm_min = 4;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (Dir + "0.bmp").c_str(), times, 0), 0);
    // Seconds in two-second steps, as the packing holds them.
    EXPECT_EQ(Files.FileDate(Dir + "0.bmp"), PackDosDateTime(2026, 12, 7, 15, 4, 6));

    EXPECT_EQ(Files.FileDate(Dir + "none.bmp"), -1);
    EXPECT_EQ(Files.FileDate(Dir), -1);
    const timespec old[2] = {{0, 0}, {0, 0}};  // 1970: before what the packing holds
    ASSERT_EQ(::utimensat(AT_FDCWD, (Dir + "0.bmp").c_str(), old, 0), 0);
    EXPECT_EQ(Files.FileDate(Dir + "0.bmp"), -1);
}

// An unchanged page is only dated anew: the date moves to now, the bytes
// stay; a missing file is refused, and a link is dated itself, never the
// file it points to.
TEST_F(PosixFileSystem, TouchingDatesAFileAnewAndLeavesItsBytes) {
    WriteAll(Dir + "0.bmp", "picture");
    WriteAll(Dir + "elsewhere", "x");
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};  // 2001
    ASSERT_EQ(::utimensat(AT_FDCWD, (Dir + "0.bmp").c_str(), old, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, (Dir + "elsewhere").c_str(), old, 0), 0);
    const std::int32_t before = Files.FileDate(Dir + "0.bmp");
    EXPECT_TRUE(Files.TouchFile(Dir + "0.bmp"));
    EXPECT_GT(Files.FileDate(Dir + "0.bmp"), before);
    EXPECT_EQ(ReadAll(Dir + "0.bmp"), "picture");
    EXPECT_FALSE(Files.TouchFile(Dir + "none.bmp"));
    ASSERT_EQ(::symlink((Dir + "elsewhere").c_str(), (Dir + "1.bmp").c_str()), 0);
    EXPECT_TRUE(Files.TouchFile(Dir + "1.bmp"));
    EXPECT_EQ(Files.FileDate(Dir + "elsewhere"), before);
}

TEST_F(PosixFileSystem, MasksMatchTheLastPartWithStarAndQuestionMark) {
    for (const char* name : {"0.bmp", "12.bmp", "note.txt", "a[1].bmp", "x.bmp.tmp-ab"})
        WriteAll(Dir + name, "x");
    ::mkdir((Dir + "sub.bmp").c_str(), 0700);
    EXPECT_EQ(Names("*.bmp"), (std::vector<std::string>{"0.bmp", "12.bmp", "a[1].bmp", "sub.bmp"}));
    EXPECT_EQ(Names("?.bmp"), std::vector<std::string>{"0.bmp"});
    EXPECT_EQ(Names("a[1].bmp"), std::vector<std::string>{"a[1].bmp"});
    EXPECT_EQ(Names("*.BMP"), std::vector<std::string>{});
    for (const TFileEntry& e : Files.FindFiles(Dir + "*")) {
        const bool folder = e.Name == "." || e.Name == ".." || e.Name == "sub.bmp";
        EXPECT_EQ((e.Attributes & FileAttr::Directory) != 0, folder) << e.Name;
    }
    EXPECT_TRUE(Files.FindFiles(Dir + "missing/*.bmp").empty());
    EXPECT_TRUE(WildcardMatch("*a*b?", "xxaxxbz", false));
    EXPECT_FALSE(WildcardMatch("*a*b?", "xxaxxb", false));
    EXPECT_TRUE(WildcardMatch("**", "", false));
}

TEST_F(PosixFileSystem, OpenReadReadsRegularFilesAndRefusesFifosAndFolders) {
    WriteAll(Dir + "data", "0123456789");
    auto reader = Files.OpenRead(Dir + "data");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Size(), 10u);
    EXPECT_TRUE(reader->Seek(6));
    char buffer[16] = {};
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "6789");
    EXPECT_FALSE(reader->Seek(11));
    // A FIFO without a writer would block a plain open() for ever.
    ASSERT_EQ(::mkfifo((Dir + "fifo").c_str(), 0600), 0);
    EXPECT_EQ(Files.OpenRead(Dir + "fifo"), nullptr);
    EXPECT_EQ(Files.OpenRead(Dir), nullptr);
    EXPECT_EQ(Files.OpenRead(Dir + "none"), nullptr);
}

TEST_F(PosixFileSystem, FoldersAreCreatedOneLevelOrWithTheirParents) {
    EXPECT_TRUE(Files.CreateDirectory(Dir + "one"));
    EXPECT_FALSE(Files.CreateDirectory(Dir + "one"));
    EXPECT_FALSE(Files.CreateDirectory(Dir + "a/b"));
    EXPECT_NO_THROW(CreateFolderPath(Dir + "a/b/c/"));
    EXPECT_NO_THROW(CreateFolderPath(Dir + "a/b/c"));
    struct stat st {};
    EXPECT_EQ(::stat((Dir + "a/b/c").c_str(), &st), 0);
    EXPECT_TRUE(Files.DeleteFile(Dir + "one") == false);  // a folder is no file
    EXPECT_TRUE(Files.ProgramPath().ends_with("/lum_linux_tests"));
}

TEST_F(PosixFileSystem, ACacheFolderThatCannotBeCreatedGivesAClearError) {
    WriteAll(Dir + "file", "in the way");
    try {
        CreateFolderPath(Dir + "file/lumenary/");
        FAIL() << "no error";
    } catch (const Exception& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(Dir + "file/lumenary/"), std::string::npos) << text;
        EXPECT_NE(text.find("Not a directory"), std::string::npos) << text;
    }
    const std::string saved = std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "";
    ::setenv("XDG_CACHE_HOME", (Dir + "file").c_str(), 1);
    EXPECT_THROW(CreateCacheDir(), Exception);
    ::setenv("XDG_CACHE_HOME", (Dir + "cache").c_str(), 1);
    EXPECT_EQ(CreateCacheDir(), Dir + "cache/lumenary/");
    EXPECT_EQ(::access((Dir + "cache/lumenary").c_str(), W_OK), 0);
    if (saved.empty())
        ::unsetenv("XDG_CACHE_HOME");
    else
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
}

TEST(CacheDirPath, FollowsTheBaseDirectoryRules) {
    EXPECT_EQ(CacheDirPath("/var/c/", "/home/u"), "/var/c/lumenary/");
    EXPECT_EQ(CacheDirPath(nullptr, "/home/u"), "/home/u/.cache/lumenary/");
    EXPECT_EQ(CacheDirPath("", "/home/u"), "/home/u/.cache/lumenary/");
    // A relative value is invalid and ignored.
    EXPECT_EQ(CacheDirPath("rel/cache", "/home/u"), "/home/u/.cache/lumenary/");
    EXPECT_TRUE(CacheDirPath(nullptr, "").ends_with("/.cache/lumenary/"));
}

}  // namespace
}  // namespace lum::gtk
