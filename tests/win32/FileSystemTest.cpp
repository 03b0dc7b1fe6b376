// The page cache's file operations on Wine's real file system: names beside
// the program, packed dates, listings and replacement without half-written
// files.
#include "win32/Win32FileSystem.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/DosDate.h"
#include "slideshow/PageCache.h"
#include "win32/Strings.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Win32FileSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        Dir = Narrow(temp) + "LumenaryFsTest-" + std::to_string(::GetCurrentProcessId()) + "\\";
        ASSERT_TRUE(Files.CreateDirectory(Dir));
    }
    void TearDown() override {
        for (const TFileEntry& entry : Files.FindFiles(Dir + "*")) {
            const std::wstring path = Widen(Dir + entry.Name);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
        ::RemoveDirectoryW(Widen(Dir).c_str());
    }

    void Write(const std::string& name, const std::string& text) {
        auto writer = Files.CreateReplacing(Dir + name);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->Write(text.data(), text.size()));
        ASSERT_TRUE(writer->Commit());
    }
    std::string Read(const std::string& name) {
        auto reader = Files.OpenRead(Dir + name);
        if (!reader)
            return "<missing>";
        std::string text(static_cast<std::size_t>(reader->Size()), '\0');
        text.resize(reader->Read(text.data(), text.size()));
        return text;
    }
    // Names of the folder's entries matching mask, "." and ".." left out.
    std::vector<std::string> List(const std::string& mask) {
        std::vector<std::string> names;
        for (const TFileEntry& entry : Files.FindFiles(Dir + mask)) {
            if (entry.Name != "." && entry.Name != "..")
                names.push_back(entry.Name);
        }
        return names;
    }
    // Sets the last-write time to a local date and time with milliseconds.
    void SetLocalWriteTime(const std::string& name, WORD hour, WORD minute, WORD second, WORD ms) {
        const SYSTEMTIME local{2024, 5, 5, 17, hour, minute, second, ms};
        FILETIME localTime{};
        FILETIME utc{};
        ASSERT_TRUE(::SystemTimeToFileTime(&local, &localTime));
        ASSERT_TRUE(::LocalFileTimeToFileTime(&localTime, &utc));
        UniqueKernelHandle file(::CreateFileW(Widen(Dir + name).c_str(), FILE_WRITE_ATTRIBUTES,
                                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &utc));
    }

    TWin32FileSystem Files;
    std::string Dir;
};

TEST_F(Win32FileSystem, CacheFolderLiesBesideTheRunningProgram) {
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::string program = Narrow(module);
    ASSERT_EQ(Files.ProgramPath(), program);
    const std::string folder = program.substr(0, program.find_last_of('\\') + 1);
    EXPECT_EQ(GetProgramDir(Files), folder);
    const std::string cache = GetCacheDir(Files);
    EXPECT_EQ(cache, folder + "LumenaryCache\\");
    EXPECT_EQ(GetCacheFileName(Files, 0), cache + "0.bmp");
    EXPECT_EQ(GetCacheFileName(Files, 12), cache + "12.bmp");

    const bool created = Files.CreateDirectory(cache);
    EXPECT_FALSE(Files.CreateDirectory(cache)) << "an existing folder is a failure";
    EXPECT_EQ(Files.FileDate(cache), -1);
    EXPECT_EQ(Files.FileDate(cache.substr(0, cache.size() - 1)), -1);
    if (created)
        ::RemoveDirectoryW(Widen(cache).c_str());
}

TEST_F(Win32FileSystem, DatesHaveTwoSecondResolutionAndLaterWritesAreLarger) {
    Write("0.bmp", "first");
    SetLocalWriteTime("0.bmp", 13, 45, 30, 200);
    const std::int32_t first = Files.FileDate(Dir + "0.bmp");
    EXPECT_EQ(first, PackDosDateTime(2024, 5, 17, 13, 45, 30));

    Write("0.bmp", "second");
    SetLocalWriteTime("0.bmp", 13, 45, 31, 900);
    EXPECT_EQ(Files.FileDate(Dir + "0.bmp"), first) << "same two seconds, same date";

    Write("0.bmp", "third");
    SetLocalWriteTime("0.bmp", 13, 45, 32, 0);
    EXPECT_GT(Files.FileDate(Dir + "0.bmp"), first);

    Write("1.bmp", "now");
    EXPECT_GT(Files.FileDate(Dir + "1.bmp"), Files.FileDate(Dir + "0.bmp"));
}

// An unchanged page is only dated anew: the date moves to now, the bytes
// stay, a reader holding the file open is not in the way, and a missing
// file is refused.
TEST_F(Win32FileSystem, TouchingDatesAFileAnewAndLeavesItsBytes) {
    Write("0.bmp", "picture");
    SetLocalWriteTime("0.bmp", 13, 45, 30, 0);
    const std::int32_t old = Files.FileDate(Dir + "0.bmp");
    {
        const auto reader = Files.OpenRead(Dir + "0.bmp");
        ASSERT_TRUE(reader);
        EXPECT_TRUE(Files.TouchFile(Dir + "0.bmp"));
    }
    EXPECT_GT(Files.FileDate(Dir + "0.bmp"), old);
    EXPECT_EQ(Read("0.bmp"), "picture");
    EXPECT_FALSE(Files.TouchFile(Dir + "none.bmp"));
    EXPECT_EQ(Files.FileDate(Dir + "none.bmp"), -1);
}

TEST_F(Win32FileSystem, MissingFilesFoldersAndWildcardsHaveNoDate) {
    Write("0.bmp", "x");
    EXPECT_EQ(Files.FileDate(Dir + "9.bmp"), -1);
    EXPECT_EQ(Files.FileDate(Dir + "*.bmp"), -1);
    EXPECT_EQ(Files.FileDate(Dir + "?.bmp"), -1);
    EXPECT_EQ(Files.FileDate(Dir), -1);
    EXPECT_EQ(Files.FileDate(Dir + "no\\such\\0.bmp"), -1);
}

TEST_F(Win32FileSystem, ReplacingNeverShowsAHalfWrittenBitmap) {
    Write("0.bmp", "old");
    auto writer = Files.CreateReplacing(Dir + "0.bmp");
    auto fresh = Files.CreateReplacing(Dir + "12.bmp");
    ASSERT_TRUE(writer && fresh);
    ASSERT_TRUE(writer->Write("new", 3));
    ASSERT_TRUE(fresh->Write("twelve", 6));

    // The temporary files are there, but neither their long nor their 8.3
    // names match the cache's mask.
    const std::string temp = ReplacingTempName(Dir + "0.bmp");
    EXPECT_NE(Files.FileDate(temp), -1);
    wchar_t shortName[MAX_PATH] = {};
    ::GetShortPathNameW(Widen(temp).c_str(), shortName, MAX_PATH);
    EXPECT_THAT(Narrow(shortName), ::testing::Not(::testing::EndsWith(".BMP")));
    EXPECT_THAT(List("*.bmp"), ElementsAre("0.bmp"));
    EXPECT_EQ(Read("0.bmp"), "old");
    EXPECT_EQ(Files.FileDate(Dir + "12.bmp"), -1);

    ASSERT_TRUE(writer->Commit());
    ASSERT_TRUE(fresh->Commit());
    EXPECT_EQ(Read("0.bmp"), "new");
    EXPECT_EQ(Read("12.bmp"), "twelve");
    EXPECT_EQ(Files.FileDate(temp), -1);
    EXPECT_THAT(List("*"), ::testing::UnorderedElementsAre("0.bmp", "12.bmp"));
}

TEST_F(Win32FileSystem, AnUncommittedWriterLeavesNothing) {
    Write("0.bmp", "old");
    {
        auto writer = Files.CreateReplacing(Dir + "0.bmp");
        ASSERT_TRUE(writer);
        writer->Write("half", 4);
        auto other = Files.CreateReplacing(Dir + "5.bmp");
        ASSERT_TRUE(other);
    }
    EXPECT_THAT(List("*"), ElementsAre("0.bmp"));
    EXPECT_EQ(Read("0.bmp"), "old");
}

TEST_F(Win32FileSystem, AFileHeldOpenKeepsItsOldContentUntilItIsClosed) {
    // The file system refuses to rename over a file that is open, so a
    // commit then fails cleanly: the old picture stays and no temporary
    // file is left behind.
    Write("0.bmp", "old");
    auto reader = Files.OpenRead(Dir + "0.bmp");
    ASSERT_TRUE(reader);
    {
        auto writer = Files.CreateReplacing(Dir + "0.bmp");
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->Write("new", 3));
        EXPECT_FALSE(writer->Commit());
    }
    char buffer[8] = {};
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "old");
    EXPECT_THAT(List("*"), ElementsAre("0.bmp"));
    reader.reset();
    Write("0.bmp", "new");
    EXPECT_EQ(Read("0.bmp"), "new");
}

TEST_F(Win32FileSystem, ReaderReadsLargeFilesAndSeeksWithinThem) {
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    Write("big.bmp", big);
    auto reader = Files.OpenRead(Dir + "big.bmp");
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->Size(), big.size());
    std::string back(big.size() + 10, '\0');
    EXPECT_EQ(reader->Read(back.data(), back.size()), big.size());
    back.resize(big.size());
    EXPECT_TRUE(back == big);
    EXPECT_TRUE(reader->Seek(10));
    char c = 0;
    EXPECT_EQ(reader->Read(&c, 1), 1u);
    EXPECT_EQ(c, big[10]);
    EXPECT_TRUE(reader->Seek(big.size()));
    EXPECT_EQ(reader->Read(&c, 1), 0u);
    EXPECT_FALSE(reader->Seek(big.size() + 1));
    EXPECT_EQ(Files.OpenRead(Dir + "missing.bmp"), nullptr);
}

TEST_F(Win32FileSystem, ListingMatchesBmpWhateverTheAttributesAndKeepsUnicodeNames) {
    Write("日本語.bmp", "x");
    Write("note.txt", "x");
    Write("3.BMP", "x");
    ::SetFileAttributesW(Widen(Dir + "日本語.bmp").c_str(),
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    const auto entries = Files.FindFiles(Dir + "*.bmp");
    std::vector<std::string> names;
    for (const TFileEntry& entry : entries) {
        names.push_back(entry.Name);
        if (entry.Name == "日本語.bmp") {
            EXPECT_TRUE(entry.Attributes & FileAttr::Hidden);
        }
    }
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("日本語.bmp", "3.BMP"));
    EXPECT_THAT(Files.FindFiles(Dir + "nowhere\\*.bmp"), IsEmpty());
    EXPECT_TRUE(Files.DeleteFile(Dir + "3.BMP"));
    EXPECT_FALSE(Files.DeleteFile(Dir + "3.BMP"));
    // A hidden, system and read-only picture is deleted too.
    EXPECT_TRUE(Files.DeleteFile(Dir + "日本語.bmp"));
    EXPECT_EQ(Files.FileDate(Dir + "日本語.bmp"), -1);
}

}  // namespace
}  // namespace lum::win32
