// The capture program's display of its own, with the real Xvfb: a server
// that lets in only the holder of its cookie, listens on no TCP port, leaves
// nothing when it ends (nor when its program is killed); missing, ending at
// once or never ready, it fails in words and leaves nothing either.
#include "linux/capture/PrivateDisplay.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

// After GoogleTest, whose names Xlib's macros would replace.
#include <X11/Xlib.h>
#undef None
#undef Bool

namespace lum::gtk {
namespace {

using namespace std::chrono_literals;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Gone, or ended and waiting for a parent that does not reap (a container's
// first process may not).
bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string number, name, state;
    return !(stat >> number >> name >> state) || state == "Z";
}

bool EndsWithin(pid_t pid, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!Ended(pid) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    return Ended(pid);
}

// Opens the display with the given authority file; its screen's size, or
// 0 x 0 when the server refuses.
TSize ScreenWith(const std::string& display, const std::string& authority) {
    const std::string before = g_getenv("XAUTHORITY") ? g_getenv("XAUTHORITY") : "";
    g_setenv("XAUTHORITY", authority.c_str(), TRUE);
    Display* x = XOpenDisplay(display.c_str());
    before.empty() ? g_unsetenv("XAUTHORITY") : (void)g_setenv("XAUTHORITY", before.c_str(), 1);
    if (!x)
        return TSize{0, 0};
    const TSize size{DisplayWidth(x, 0), DisplayHeight(x, 0)};
    XCloseDisplay(x);
    return size;
}

bool TcpPortTakesClients(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

class PrivateDisplay : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(::mkdtemp(FBase.data()), nullptr);
        FOptions.Base = FBase;
    }
    void TearDown() override {
        EXPECT_TRUE(Empty()) << "the display left something in " << FBase;
        EXPECT_EQ(std::system(("rm -rf " + FBase).c_str()), 0);
    }
    bool Empty() const {
        GDir* dir = g_dir_open(FBase.c_str(), 0, nullptr);
        const bool empty = dir && !g_dir_read_name(dir);
        if (dir)
            g_dir_close(dir);
        return empty;
    }
    // A stand-in server: a shell script of the given text.
    std::string Script(const std::string& text) {
        const std::string path = FBase + "-server" + std::to_string(FScripts.size());
        std::ofstream(path) << "#!/bin/sh\n" << text << "\n";
        ::chmod(path.c_str(), 0700);
        FScripts.push_back(path);
        return path;
    }
    std::string StartFailure() {
        TPrivateDisplay display;
        try {
            display.Start(FOptions);
        } catch (const Exception& e) {
            return e.what();
        }
        return "(started)";
    }
    ~PrivateDisplay() override {
        for (const std::string& path : FScripts)
            ::unlink(path.c_str());
    }

    std::string FBase = "/tmp/lum-display-XXXXXX";
    TPrivateDisplayOptions FOptions;
    std::vector<std::string> FScripts;
};

TEST_F(PrivateDisplay, ServesOnlyTheHolderOfItsCookieAndLeavesNothingWhenStopped) {
    FOptions.Size = TSize{800, 600};
    TPrivateDisplay display;
    display.Start(FOptions);
    const std::string name = display.Name();
    ASSERT_EQ(name[0], ':');
    const int number = std::stoi(name.substr(1));
    EXPECT_NE(name, g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "") << "not the test's display";
    struct stat authority {};
    ASSERT_EQ(::stat(display.AuthorityFile().c_str(), &authority), 0);
    EXPECT_EQ(authority.st_mode & 0777, 0600u);
    EXPECT_EQ(display.AuthorityFile().rfind(FBase + "/lumenary-display-", 0), 0u);

    EXPECT_EQ(ScreenWith(name, display.AuthorityFile()), (TSize{800, 600}));
    EXPECT_EQ(ScreenWith(name, "/nonexistent"), (TSize{0, 0})) << "no cookie, no client";
    EXPECT_FALSE(TcpPortTakesClients(6000 + number));

    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
    EXPECT_TRUE(Exists(socket));
    const pid_t server = display.ServerPid();
    display.Stop();
    EXPECT_TRUE(Ended(server));
    EXPECT_FALSE(Exists(socket));
    EXPECT_FALSE(Exists(lock));
    EXPECT_EQ(display.Name(), "");
}

TEST_F(PrivateDisplay, GivesThisProcessItsDisplayAndNoneOfTheUsers) {
    TPrivateDisplay display;
    display.Start(FOptions);
    g_setenv("WAYLAND_DISPLAY", "wayland-0", TRUE);
    const std::string display0 = g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "";
    const std::string authority0 = g_getenv("XAUTHORITY") ? g_getenv("XAUTHORITY") : "";
    display.UseForThisProcess();
    EXPECT_EQ(std::string(g_getenv("DISPLAY")), display.Name());
    EXPECT_EQ(std::string(g_getenv("XAUTHORITY")), display.AuthorityFile());
    EXPECT_EQ(std::string(g_getenv("GDK_BACKEND")), "x11");
    EXPECT_EQ(g_getenv("WAYLAND_DISPLAY"), nullptr);
    g_setenv("DISPLAY", display0.c_str(), TRUE);
    authority0.empty() ? g_unsetenv("XAUTHORITY")
                       : (void)g_setenv("XAUTHORITY", authority0.c_str(), TRUE);
    g_unsetenv("GDK_BACKEND");
}

TEST_F(PrivateDisplay, MissingXvfbSaysToInstallIt) {
    FOptions.Server = "/nonexistent/Xvfb";
    EXPECT_NE(StartFailure().find("install it (Debian package xvfb)"), std::string::npos);
    FOptions.Server = "lum-no-such-server";
    EXPECT_NE(StartFailure().find("needs Xvfb"), std::string::npos);
}

TEST_F(PrivateDisplay, ServerThatEndsAtOnceOrIsNeverReadyFailsInWords) {
    FOptions.Server = Script("echo 'Fatal server error: no screens found' >&2; exit 1");
    EXPECT_NE(StartFailure().find("ended before it took clients (Fatal server error: no screens"),
              std::string::npos);
    FOptions.Server = Script("echo 'not a number' >&3; exec sleep 30");
    EXPECT_NE(StartFailure().find("gave no display number (\"not a number\")"), std::string::npos);
    FOptions.Server = Script("exec sleep 30");
    FOptions.StartMs = 1000;
    EXPECT_NE(StartFailure().find("did not start within 1 s"), std::string::npos);
}

// The program that started the server is killed outright: the server ends
// and takes its socket and lock with it; the folder goes with the next
// clean-up of leftovers.
TEST_F(PrivateDisplay, ServerEndsWithTheProgramThatStartedItEvenKilled) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t program = ::fork();
    if (program == 0) {
        TPrivateDisplay display;
        display.Start(FOptions);
        const std::string line =
            std::to_string(display.ServerPid()) + " " + display.Name().substr(1) + "\n";
        (void)!::write(report[1], line.data(), line.size());
        ::pause();
        ::_exit(0);
    }
    ::close(report[1]);
    char text[64] = {};
    ASSERT_GT(::read(report[0], text, sizeof text - 1), 0);
    ::close(report[0]);
    pid_t server = 0;
    int number = -1;
    ASSERT_EQ(std::sscanf(text, "%d %d", &server, &number), 2);
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    EXPECT_TRUE(EndsWithin(server, 10s));
    EXPECT_FALSE(Exists("/tmp/.X11-unix/X" + std::to_string(number)));
    EXPECT_FALSE(Exists("/tmp/.X" + std::to_string(number) + "-lock"));
    EXPECT_FALSE(Empty()) << "the killed program's folder is left";
    RemovePrivateDisplayLeftovers(FBase, 0);
}

TEST_F(PrivateDisplay, LeftoversOfEndedProgramsGoEverythingElseStays) {
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const auto folder = [&](const std::string& name) {
        const std::string path = FBase + "/" + name;
        ::mkdir(path.c_str(), 0700);
        std::ofstream(path + "/authority") << "x";
        return path;
    };
    const std::string gone = folder("lumenary-display-" + std::to_string(ended) + "-abc");
    const std::string running = folder("lumenary-display-1-abc");
    const std::string own = folder("lumenary-display-" + std::to_string(::getpid()) + "-abc");
    const std::string nested = folder("lumenary-display-" + std::to_string(ended) + "-def");
    ::mkdir((nested + "/more").c_str(), 0700);
    const std::string other = folder("lumenary-displays");
    const std::string link = FBase + "/lumenary-display-" + std::to_string(ended) + "-ghi";
    ASSERT_EQ(::symlink(other.c_str(), link.c_str()), 0);

    RemovePrivateDisplayLeftovers(FBase, 0);
    EXPECT_FALSE(Exists(gone));
    EXPECT_TRUE(Exists(running + "/authority"));
    EXPECT_TRUE(Exists(own + "/authority"));
    EXPECT_TRUE(Exists(nested + "/more"));
    EXPECT_TRUE(Exists(other + "/authority"));
    EXPECT_TRUE(Exists(link));
    RemovePrivateDisplayLeftovers(FBase, ::getpid());
    EXPECT_FALSE(Exists(own));
    EXPECT_EQ(std::system(("rm -rf " + FBase + "/*").c_str()), 0);
}

}  // namespace
}  // namespace lum::gtk
