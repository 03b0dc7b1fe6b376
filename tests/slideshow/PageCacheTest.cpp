#include "slideshow/PageCache.h"

#include <gtest/gtest.h>

#include "fakes/FakeFileSystem.h"

namespace lum {
namespace {

class PageCache : public ::testing::Test {
  protected:
    fakes::TFakeFileSystem Files;
};

TEST_F(PageCache, CacheLiesBesideTheProgram) {
    Files.ProgramFile = "C:\\Tools\\saver.scr";
    EXPECT_EQ(GetProgramDir(Files), "C:\\Tools\\");
    EXPECT_EQ(GetCacheDir(Files), "C:\\Tools\\LumenaryCache\\");
}

TEST_F(PageCache, ProgramInADriveRootGetsNoDoubledDelimiter) {
    Files.ProgramFile = "C:\\saver.scr";
    EXPECT_EQ(GetProgramDir(Files), "C:\\");
    EXPECT_EQ(GetCacheDir(Files), "C:\\LumenaryCache\\");
    EXPECT_EQ(GetCacheFileName(Files, 3), "C:\\LumenaryCache\\3.bmp");
}

// A path relative to a drive's current folder has no delimiter: the drive
// with its colon is the folder, and gets the delimiter of a drive's root.
TEST_F(PageCache, DriveRelativeProgramPathGivesTheDrivesRoot) {
    Files.ProgramFile = "C:saver.scr";
    EXPECT_EQ(GetProgramDir(Files), "C:\\");
    EXPECT_EQ(GetCacheDir(Files), "C:\\LumenaryCache\\");
    EXPECT_EQ(GetCacheFileName(Files, 0), "C:\\LumenaryCache\\0.bmp");
}

TEST_F(PageCache, NetworkSharesAndLongPathsKeepTheirPrefix) {
    Files.ProgramFile = "\\\\server\\share\\saver.scr";
    EXPECT_EQ(GetCacheDir(Files), "\\\\server\\share\\LumenaryCache\\");
    Files.ProgramFile = "\\\\?\\C:\\Program Files\\Lumenary\\Lumenary.scr";
    EXPECT_EQ(GetProgramDir(Files), "\\\\?\\C:\\Program Files\\Lumenary\\");
}

TEST_F(PageCache, PageFilesAreNamedByIndexWithoutPadding) {
    Files.ProgramFile = "C:\\Windows\\System32\\Lumenary.scr";
    EXPECT_EQ(GetCacheFileName(Files, 0), "C:\\Windows\\System32\\LumenaryCache\\0.bmp");
    EXPECT_EQ(GetCacheFileName(Files, 12), "C:\\Windows\\System32\\LumenaryCache\\12.bmp");
    EXPECT_EQ(GetCacheFileName(Files, 2147483647),
              "C:\\Windows\\System32\\LumenaryCache\\2147483647.bmp");
    EXPECT_EQ(GetCacheFileName(Files, -1), "C:\\Windows\\System32\\LumenaryCache\\-1.bmp");
}

TEST_F(PageCache, UnknownProgramPathGivesARootedFolder) {
    Files.ProgramFile = "";
    EXPECT_EQ(GetProgramDir(Files), "\\");
    EXPECT_EQ(GetCacheDir(Files), "\\LumenaryCache\\");
    Files.ProgramFile = "saver.scr";
    EXPECT_EQ(GetProgramDir(Files), "\\");
}

TEST_F(PageCache, SlashPathsKeepTheirDelimiter) {
    Files.ProgramFile = "/usr/lib/lumenary/lumenary";
    EXPECT_EQ(GetCacheFileName(Files, 1), "/usr/lib/lumenary/LumenaryCache/1.bmp");
}

}  // namespace
}  // namespace lum
