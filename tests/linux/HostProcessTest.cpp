// The Linux layer as a program of its own (tools/host_demo.cpp), run as a
// separate process against real windows: what it does with its command line,
// with SIGTERM, and when the window it draws in goes away.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "linux/GtkTestSupport.h"

namespace lum::gtk {
namespace {

using testing::TForeignWindowProcess;

class TDemoProcess {
  public:
    TDemoProcess(const std::vector<std::string>& args, const std::string& xscreensaverWindow) {
        char pattern[] = "/tmp/lum-demo-err-XXXXXX";
        const int err = ::mkstemp(pattern);
        FErrPath = pattern;
        FPid = ::fork();
        if (FPid == 0) {
            ::dup2(err, 2);
            if (xscreensaverWindow.empty())
                ::unsetenv("XSCREENSAVER_WINDOW");
            else
                ::setenv("XSCREENSAVER_WINDOW", xscreensaverWindow.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(LUM_HOST_DEMO)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(LUM_HOST_DEMO, argv.data());
            ::_exit(127);
        }
        ::close(err);
    }
    ~TDemoProcess() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
        ::unlink(FErrPath.c_str());
    }
    // The exit code, or -1 when the process has not ended within the limit
    // (or did not exit normally).
    int Wait(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(FPid, &status, WNOHANG) == FPid) {
                FPid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    void Signal(int signal) { ::kill(FPid, signal); }
    std::string Stderr() const {
        std::ifstream in(FErrPath);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    int FPid = -1;
    std::string FErrPath;
};

std::string Hex(std::uint64_t id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(id));
    return text;
}

class HostProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::EnsureGtk())
            GTEST_SKIP() << "no X display";
    }
    // Waits until the demo has painted the foreign window green.
    static bool Painted(const TForeignWindowProcess& foreign) {
        return testing::RunUntil(
            [&] { return testing::ReadPixel(foreign.Id(), 300, 200) == 0x00FF00; }, 5000);
    }
};

TEST_F(HostProcess, GarbageArgumentsGiveTheUsageAndExitCode2) {
    for (const auto& args : {std::vector<std::string>{"--bogus"},
                             {"--window-id"},
                             {"--window-id", "0x"},
                             {"--root", "--window"},
                             {"stray"}}) {
        TDemoProcess demo(args, "");
        EXPECT_EQ(demo.Wait(5000), 2) << args[0];
        EXPECT_NE(demo.Stderr().find("Usage: "), std::string::npos) << demo.Stderr();
    }
    TDemoProcess badEnv({}, "window-please");
    EXPECT_EQ(badEnv.Wait(5000), 2);
    EXPECT_NE(badEnv.Stderr().find("XSCREENSAVER_WINDOW: 'window-please' is not a window id"),
              std::string::npos);
}

TEST_F(HostProcess, AWindowIdThatDoesNotExistIsReportedOnStandardError) {
    TDemoProcess demo({"--window-id", "0x1ffffff3"}, "");
    EXPECT_EQ(demo.Wait(5000), 1);
    EXPECT_NE(demo.Stderr().find("the window 0x1ffffff3 does not exist"), std::string::npos)
        << demo.Stderr();
}

TEST_F(HostProcess, DrawsInXScreenSaversWindowAndEndsPromptlyOnSigterm) {
    TForeignWindowProcess foreign(640, 480, 0x000080);
    TDemoProcess demo({"--root"}, Hex(foreign.Id()));  // the environment wins over --root
    ASSERT_TRUE(Painted(foreign)) << demo.Stderr();
    EXPECT_EQ(testing::ReadPixel(foreign.Id(), 639, 479), 0x00FF00u);
    const auto start = std::chrono::steady_clock::now();
    demo.Signal(SIGTERM);
    EXPECT_EQ(demo.Wait(1000), 0) << demo.Stderr();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_LT(ms.count(), 1000);
    EXPECT_EQ(demo.Stderr(), "");
}

TEST_F(HostProcess, EndsCleanlyWhenItsWindowIsDestroyed) {
    TForeignWindowProcess foreign(640, 480, 0x000080);
    TDemoProcess demo({"--window-id", Hex(foreign.Id())}, "");
    ASSERT_TRUE(Painted(foreign)) << demo.Stderr();
    ASSERT_TRUE(foreign.Command("destroy"));
    EXPECT_EQ(demo.Wait(3000), 0) << demo.Stderr();
    EXPECT_EQ(demo.Stderr().find("X Window System error"), std::string::npos) << demo.Stderr();
}

TEST_F(HostProcess, EndsCleanlyWhenTheOwnerOfItsWindowDies) {
    TForeignWindowProcess foreign(640, 480, 0x000080);
    TDemoProcess demo({}, std::to_string(foreign.Id()));
    ASSERT_TRUE(Painted(foreign)) << demo.Stderr();
    foreign.Kill();
    EXPECT_EQ(demo.Wait(3000), 0) << demo.Stderr();
    EXPECT_EQ(demo.Stderr().find("X Window System error"), std::string::npos) << demo.Stderr();
}

}  // namespace
}  // namespace lum::gtk
