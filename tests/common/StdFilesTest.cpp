#include "common/stdFiles.h"

#include <gtest/gtest.h>

#include "fakes/FakeFileSystem.h"

namespace lum {
namespace {

// A file system that lists exactly the given entries, recording the mask.
class TListingFileSystem : public fakes::TFakeFileSystem {
  public:
    std::vector<TFileEntry> Entries;
    std::string Mask;
    std::vector<TFileEntry> FindFiles(const std::string& mask) override {
        Mask = mask;
        return Entries;
    }
};

TListingFileSystem MixedFolder() {
    TListingFileSystem fs;
    fs.Entries = {{".", FileAttr::Directory},
                  {"..", FileAttr::Directory},
                  {"plain.bmp", FileAttr::Archive},
                  {"readonly.bmp", FileAttr::ReadOnly},
                  {"hidden.bmp", FileAttr::Hidden | FileAttr::Archive},
                  {"system.bmp", FileAttr::System},
                  {"label", FileAttr::VolumeId},
                  {"folder.bmp", FileAttr::Directory}};
    return fs;
}

TEST(StdFiles, MaskWithAllAttributesListsEveryEntryInPlatformOrder) {
    auto fs = MixedFolder();
    std::vector<std::string> list;
    EXPECT_TRUE(ListFiles(fs, "C:\\cache\\*.bmp", 0x3F, list, false));
    EXPECT_EQ(fs.Mask, "C:\\cache\\*.bmp");
    EXPECT_EQ(list, (std::vector<std::string>{".", "..", "plain.bmp", "readonly.bmp", "hidden.bmp",
                                              "system.bmp", "label", "folder.bmp"}));
}

TEST(StdFiles, EntriesWithAttributesOutsideTheMaskAreSkipped) {
    auto fs = MixedFolder();
    std::vector<std::string> list;
    EXPECT_TRUE(ListFiles(fs, "*", 0, list, false));
    // Read-only and archive never hide an entry.
    EXPECT_EQ(list, (std::vector<std::string>{"plain.bmp", "readonly.bmp"}));
    list.clear();
    EXPECT_TRUE(ListFiles(fs, "*", FileAttr::Hidden, list, false));
    EXPECT_EQ(list, (std::vector<std::string>{"plain.bmp", "readonly.bmp", "hidden.bmp"}));
}

TEST(StdFiles, AppendsWithoutClearingAndStripsExtensions) {
    TListingFileSystem fs;
    fs.Entries = {{"0.bmp", 0}, {"a.b.bmp", 0}, {"noext", 0}, {".bmp", 0}};
    std::vector<std::string> list{"kept"};
    EXPECT_TRUE(ListFiles(fs, "*", 0x3F, list, true));
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "0", "a.b", "noext", ""}));
}

TEST(StdFiles, ResultIsFalseWhenNothingWasAppended) {
    TListingFileSystem fs;
    std::vector<std::string> list{"kept"};
    EXPECT_FALSE(ListFiles(fs, "C:\\missing\\*.bmp", 0x3F, list, false));
    fs.Entries = {{"hidden.bmp", FileAttr::Hidden}};
    EXPECT_FALSE(ListFiles(fs, "*", 0, list, false));
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

TEST(StdFiles, WildcardsMatchWithOrWithoutLetterCase) {
    EXPECT_TRUE(WildcardMatch("*.bmp", "12.BMP", true));
    EXPECT_FALSE(WildcardMatch("*.bmp", "12.BMP", false));
    EXPECT_TRUE(WildcardMatch("?.b*p", "0.bmp", false));
    EXPECT_FALSE(WildcardMatch("?.bmp", "10.bmp", false));
    EXPECT_TRUE(WildcardMatch("*a*b?", "xxaxxbz", false));
    EXPECT_FALSE(WildcardMatch("*a*b?", "xxaxxb", false));
    EXPECT_TRUE(WildcardMatch("**", "", true));
    EXPECT_FALSE(WildcardMatch("", "x", true));
    // A long mask of stars against a name that never matches ends at once.
    EXPECT_FALSE(WildcardMatch(std::string(2000, '*') + "x", std::string(5000, 'a'), false));
}

}  // namespace
}  // namespace lum
