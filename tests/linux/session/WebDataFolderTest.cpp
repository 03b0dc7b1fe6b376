// The kept web session's folder: where it is, that it stays private, the
// trusted certificates' files against hostile names and links, and removal.
#include "linux/session/WebDataFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace lum::gtk {
namespace {

const char* const kPem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";

class WebDataFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lum-web-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Root = pattern;
        Dir = Root + "/share/lumenary/web/";
    }
    void TearDown() override { std::system(("rm -rf '" + Root + "'").c_str()); }

    static int Mode(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    std::string Root;
    std::string Dir;
};

TEST_F(WebDataFolder, PathFollowsXdgDataHomeAndIgnoresARelativeOne) {
    EXPECT_EQ(WebDataDirPath("/data/", "/home/u"), "/data/lumenary/web/");
    EXPECT_EQ(WebDataDirPath("relative", "/home/u"), "/home/u/.local/share/lumenary/web/");
    EXPECT_EQ(WebDataDirPath(nullptr, "/home/u/"), "/home/u/.local/share/lumenary/web/");
    EXPECT_EQ(WebDataDirPath("", "/home/u"), "/home/u/.local/share/lumenary/web/");
    EXPECT_EQ(WebDataDirPath("/", "/home/u"), "/lumenary/web/");
}

TEST_F(WebDataFolder, IsMadePrivateAndALooserModeIsTightened) {
    EXPECT_EQ(CreateWebDataDir(Dir), Dir);
    EXPECT_EQ(Mode(Dir), 0700);
    EXPECT_EQ(Mode(Root + "/share/lumenary"), 0700);
    ASSERT_EQ(::chmod(Dir.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((Root + "/share/lumenary").c_str(), 0777), 0);
    CreateWebDataDir(Dir);
    EXPECT_EQ(Mode(Dir), 0700);
    EXPECT_EQ(Mode(Root + "/share/lumenary"), 0700);
}

TEST_F(WebDataFolder, ALinkOrAFileInItsPlaceIsRefused) {
    ASSERT_EQ(::mkdir((Root + "/share").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((Root + "/share/lumenary").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((Root + "/elsewhere").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((Root + "/elsewhere").c_str(), (Root + "/share/lumenary/web").c_str()), 0);
    EXPECT_THROW(CreateWebDataDir(Dir), Exception);
    EXPECT_EQ(Mode(Root + "/elsewhere"), 0755);  // not followed
    ASSERT_EQ(::unlink((Root + "/share/lumenary/web").c_str()), 0);
    Write(Root + "/share/lumenary/web", "a file");
    EXPECT_THROW(CreateWebDataDir(Dir), Exception);
}

TEST_F(WebDataFolder, CertificateHostNamesRefuseWhatCouldLeaveTheFolder) {
    EXPECT_EQ(CertificateHostName("Intranet.Example.COM"), "intranet.example.com");
    EXPECT_EQ(CertificateHostName("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(CertificateHostName("[::1]"), "[::1]");
    for (const std::string& bad :
         std::vector<std::string>{"", "../etc", "a/b", ".hidden", "a b", "host\n", "ホスト", "a\\b",
                                  std::string(254, 'a')})
        EXPECT_EQ(CertificateHostName(bad), "") << bad;
    EXPECT_THROW(SaveTrustedCertificate(Dir, "../../evil", kPem), Exception);
    EXPECT_THROW(SaveTrustedCertificate(Dir, "host", "not a certificate"), Exception);
    EXPECT_NE(Mode(Dir), 0700);  // nothing was made for a refused name
}

TEST_F(WebDataFolder, ATrustedCertificateIsKeptPrivateAndReadBack) {
    SaveTrustedCertificate(Dir, "Intranet.Example", kPem);
    const std::string file = Dir + "certificates/intranet.example.pem";
    EXPECT_EQ(Mode(file), 0600);
    EXPECT_EQ(Mode(Dir + "certificates"), 0700);
    EXPECT_EQ(Mode(Dir), 0700);
    SaveTrustedCertificate(Dir, "intranet.example", kPem);  // replaced, not added
    // Files that are no certificate of a host name are passed over.
    Write(Dir + "certificates/other.pem", "garbage");
    Write(Dir + "certificates/UPPER.pem", kPem);
    Write(Dir + "certificates/notes.txt", kPem);
    Write(Root + "/outside.pem", kPem);
    ASSERT_EQ(::symlink((Root + "/outside.pem").c_str(), (Dir + "certificates/link.pem").c_str()),
              0);
    const auto trusted = LoadTrustedCertificates(Dir);
    ASSERT_EQ(trusted.size(), 1u);
    EXPECT_EQ(trusted[0].Host, "intranet.example");
    EXPECT_EQ(trusted[0].Pem, kPem);
    EXPECT_TRUE(LoadTrustedCertificates(Root + "/missing/").empty());
}

TEST_F(WebDataFolder, RemovalTakesEverythingButFollowsNoLink) {
    SaveTrustedCertificate(Dir, "b.example", kPem);
    SaveTrustedCertificate(Dir, "a.example", kPem);
    ASSERT_EQ(::mkdir((Dir + "data").c_str(), 0700), 0);
    Write(Dir + "data/local.sqlite", "x");
    Write(Dir + "cookies.sqlite", "x");
    ASSERT_EQ(::mkdir((Root + "/keep").c_str(), 0700), 0);
    Write(Root + "/keep/precious", "x");
    ASSERT_EQ(::symlink((Root + "/keep").c_str(), (Dir + "data/link").c_str()), 0);

    const TWebDataRemoval survey = SurveyWebData(Dir);
    EXPECT_TRUE(survey.Existed);
    EXPECT_EQ(survey.Files, 5);
    EXPECT_EQ(Mode(Dir), 0700);  // a survey removes nothing
    const TWebDataRemoval removal = RemoveWebData(Dir);
    EXPECT_EQ(removal.Error, "");
    EXPECT_EQ(removal.Files, 5);
    EXPECT_EQ(removal.Trusted, (std::vector<std::string>{"a.example", "b.example"}));
    EXPECT_EQ(Mode(Dir), -1);
    EXPECT_NE(Mode(Root + "/keep/precious"), -1);  // behind a link: kept
    const std::string told = DescribeRemoval(Dir, removal, true);
    EXPECT_NE(told.find("Removed the kept web session " + Dir), std::string::npos) << told;
    EXPECT_NE(told.find("a.example, b.example"), std::string::npos) << told;
    EXPECT_FALSE(RemoveWebData(Dir).Existed);
    EXPECT_NE(DescribeRemoval(Dir, RemoveWebData(Dir), true).find("nothing to remove"),
              std::string::npos);
}

}  // namespace
}  // namespace lum::gtk
