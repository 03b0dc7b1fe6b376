// The record of the passwords kept in the keyring: the parser against hostile
// lines, the file against links, pipes and huge files, the record kept once,
// and the sign-out's keyring step without a bus (told, never waited on).
#include "linux/session/KeptPasswords.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "linux/session/SecretKeyring.h"
#include "linux/session/WebDataFolder.h"
#include "platform/Types.h"

namespace lum::gtk {
namespace {

TKeptPassword Alice() {
    return {"http", "127.0.0.1", 8080, "Intranet", "alice"};
}

TEST(KeptPasswordsText, RoundTripsEscapedFields) {
    const std::vector<TKeptPassword> items = {
        Alice(),
        {"https", "intra.example", 443, "Realm\twith\ttabs\nand 100%", "bob\r\n"},
        {"http", "[::1]", 1, "", ""},
        {"http", "host", 65535, "社内", "ユーザー"},
    };
    const std::string text = FormatKeptPasswords(items);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_EQ(ParseKeptPasswords(text), items);
}

TEST(KeptPasswordsText, SkipsHostileLinesOneByOne) {
    const std::string good = FormatKeptPasswords({Alice()});
    const std::string huge(100000, 'x');
    const std::string text =
        "garbage\n"
        "\n"
        "http\t127.0.0.1\t8080\tIntranet\n"                // four fields
        "http\t127.0.0.1\t8080\tIntranet\talice\textra\n"  // six
        "http\t127.0.0.1\t0\tIntranet\talice\n"            // port 0
        "http\t127.0.0.1\t65536\tIntranet\talice\n"        // port too large
        "http\t127.0.0.1\t-80\tIntranet\talice\n"
        "http\t127.0.0.1\t08080\tIntranet\talice\n"
        "http\t127.0.0.1\t99999999999999999999\tIntranet\talice\n"
        "http\tBad Host\t80\tr\tu\n"
        "http\t\t80\tr\tu\n"
        "http\t../../etc\t80\tr\tu\n"
        "HTTP\thost\t80\tr\tu\n"
        "1http\thost\t80\tr\tu\n"
        "http\thost\t80\tr%\tu\n"   // lone '%'
        "http\thost\t80\tr%4\tu\n"  // short escape
        "http\thost\t80\tr%zz\tu\n"
        "http\thost\t80\tr%00\tu\n"  // NUL
        "http\thost\t80\tr%FF\tu\n"  // not UTF-8
        "http\thost\t80\t\xff\xfe\tu\n"
        "http\thost\t80\t" +
        huge + "\tu\n" + "http\thost\t80\tr\t" + std::string(2000, 'u') + "\n" +
        std::string("\0\0\0\n", 4) + good + good + good;
    EXPECT_EQ(ParseKeptPasswords(text), std::vector<TKeptPassword>{Alice()});
}

TEST(KeptPasswordsText, AcceptsCrLfAndAMissingLastLineEnd) {
    std::string text = FormatKeptPasswords({Alice()});
    text.insert(text.size() - 1, "\r");
    text += "https\thost\t443\tr\tu";
    const std::vector<TKeptPassword> items = ParseKeptPasswords(text);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], Alice());
    EXPECT_EQ(items[1].Host, "host");
}

TEST(KeptPasswordsText, ReadsAtMostTheLimit) {
    std::string text;
    for (int port = 1; port <= 2000; ++port)
        text += "http\thost\t" + std::to_string(port) + "\tr\tu\n";
    EXPECT_EQ(ParseKeptPasswords(text).size(), kMaxKeptPasswords);
}

TEST(KeptPasswordsText, HostsAreSortedOnce) {
    TKeptPassword other = Alice();
    other.User = "bob";
    TKeptPassword second = Alice();
    second.Host = "a.example";
    EXPECT_EQ(KeptPasswordHosts({Alice(), other, second}),
              (std::vector<std::string>{"127.0.0.1", "a.example"}));
}

class KeptPasswordsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lum-kept-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Root = pattern;
        Dir = Root + "/share/lumenary/web/";
        Path = Dir + kKeptPasswordsFile;
    }
    void TearDown() override { std::system(("rm -rf '" + Root + "'").c_str()); }
    static int Mode(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string Root;
    std::string Dir;
    std::string Path;
};

TEST_F(KeptPasswordsFile, RecordsEachItemOncePrivately) {
    EXPECT_TRUE(LoadKeptPasswords(Dir).Items.empty());
    EXPECT_TRUE(LoadKeptPasswords(Dir).Error.empty());
    TKeptPassword bob = Alice();
    bob.User = "bob";
    RecordKeptPassword(Dir, Alice());
    RecordKeptPassword(Dir, bob);
    RecordKeptPassword(Dir, Alice());
    EXPECT_EQ(Mode(Path), 0600);
    EXPECT_EQ(Mode(Root + "/share/lumenary/web"), 0700);
    const TKeptPasswordsFile file = LoadKeptPasswords(Dir);
    EXPECT_EQ(file.Items, (std::vector<TKeptPassword>{Alice(), bob}));
    EXPECT_TRUE(file.Error.empty());
    EXPECT_EQ(Read(Path), FormatKeptPasswords({Alice(), bob}));
}

TEST_F(KeptPasswordsFile, RefusesAnItemItCouldNotReadBack) {
    TKeptPassword bad = Alice();
    bad.Host = "bad host";
    EXPECT_THROW(RecordKeptPassword(Dir, bad), Exception);
    bad = Alice();
    bad.Realm = std::string("a\0b", 3);
    EXPECT_THROW(RecordKeptPassword(Dir, bad), Exception);
}

TEST_F(KeptPasswordsFile, RefusesALinkAndReplacesItNotItsTarget) {
    CreateWebDataDir(Dir);
    const std::string target = Root + "/elsewhere";
    std::ofstream(target) << FormatKeptPasswords({Alice()});
    ASSERT_EQ(::symlink(target.c_str(), Path.c_str()), 0);
    const TKeptPasswordsFile file = LoadKeptPasswords(Dir);
    EXPECT_TRUE(file.Items.empty());
    EXPECT_NE(file.Error.find(Path), std::string::npos) << file.Error;
    TKeptPassword bob = Alice();
    bob.User = "bob";
    RecordKeptPassword(Dir, bob);
    EXPECT_EQ(Read(target), FormatKeptPasswords({Alice()}));
    EXPECT_EQ(LoadKeptPasswords(Dir).Items, std::vector<TKeptPassword>{bob});
}

TEST_F(KeptPasswordsFile, RefusesAPipeAFolderAndAHugeFileWithoutWaiting) {
    CreateWebDataDir(Dir);
    ASSERT_EQ(::mkfifo(Path.c_str(), 0600), 0);
    EXPECT_NE(LoadKeptPasswords(Dir).Error.find("not a plain file"), std::string::npos);
    ::unlink(Path.c_str());
    ASSERT_EQ(::mkdir(Path.c_str(), 0700), 0);
    EXPECT_FALSE(LoadKeptPasswords(Dir).Error.empty());
    ::rmdir(Path.c_str());
    {
        std::ofstream out(Path, std::ios::binary);
        const std::string line = FormatKeptPasswords({Alice()});
        for (std::size_t size = 0; size <= 1024 * 1024; size += line.size())
            out << line;
    }
    const TKeptPasswordsFile file = LoadKeptPasswords(Dir);
    EXPECT_TRUE(file.Items.empty());
    EXPECT_NE(file.Error.find("1 MiB"), std::string::npos) << file.Error;
}

TEST_F(KeptPasswordsFile, SurveyNamesTheHostsAndTheRefusal) {
    RecordKeptPassword(Dir, Alice());
    TWebDataRemoval survey = SurveyWebData(Dir);
    EXPECT_EQ(survey.Passwords, std::vector<std::string>{"127.0.0.1"});
    EXPECT_NE(DescribeRemoval(Dir, survey, false)
                  .find("and the passwords kept in the keyring for 127.0.0.1."),
              std::string::npos)
        << DescribeRemoval(Dir, survey, false);
    ::unlink(Path.c_str());
    ASSERT_EQ(::symlink("/etc/passwd", Path.c_str()), 0);
    survey = SurveyWebData(Dir);
    EXPECT_TRUE(survey.Passwords.empty());
    EXPECT_NE(DescribeRemoval(Dir, survey, false).find("was not read"), std::string::npos);
}

TEST(SecretKeyring, WithoutABusTellsSoAtOnce) {
    const char* saved = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string address = saved ? saved : "";
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime ? runtime : "";
    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    g_setenv("XDG_RUNTIME_DIR", "/nonexistent-lumenary-runtime", TRUE);
    const auto start = std::chrono::steady_clock::now();
    const TKeyringClearing clearing = ClearKeptPasswords({Alice()}, 5000);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(clearing.Reached);
    EXPECT_NE(clearing.Error.find("no session bus"), std::string::npos) << clearing.Error;
    EXPECT_TRUE(clearing.Removed.empty());
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_TRUE(ClearKeptPasswords({}, 5000).Reached);  // nothing to ask
    if (saved)
        g_setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), TRUE);
    if (runtime)
        g_setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), TRUE);
    else
        g_unsetenv("XDG_RUNTIME_DIR");
}

// A bus socket that takes the connection and never answers: the keyring step
// gives up when its time is up.
TEST(SecretKeyring, ABusThatNeverAnswersIsGivenUpOnInTime) {
    char pattern[] = "/tmp/lum-bus-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/bus";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    g_setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + path).c_str(), TRUE);
    const auto start = std::chrono::steady_clock::now();
    const TKeyringClearing clearing = ClearKeptPasswords({Alice()}, 1000);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(clearing.Reached);
    EXPECT_NE(clearing.Error.find("did not answer within 1 s"), std::string::npos)
        << clearing.Error;
    EXPECT_LT(took, std::chrono::seconds(4));
    EXPECT_FALSE(KeyringRuns(500));
    ::close(listener);
    std::system(("rm -rf '" + std::string(pattern) + "'").c_str());
}

}  // namespace
}  // namespace lum::gtk
