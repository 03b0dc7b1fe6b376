// The real capture program shows its pages on a display of its own: its
// page processes are given that display's socket, never the one of the
// display the tests run on (the user's); after the pass the display is gone
// with all it made. Without Xvfb every page fails saying to install it, said
// once on standard error, and no page is loaded on the user's display.
#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "engine/WebKitCaptureRig.h"
#include "linux/capture/PrivateDisplay.h"
#include "linux/capture/ProcessWebView.h"

namespace lum {
namespace {

using gtk::TProcessWebView;

std::string ReadAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A variable of a process's environment; empty when it has none.
std::string EnvironmentOf(pid_t pid, const std::string& name) {
    std::istringstream all(ReadAll("/proc/" + std::to_string(pid) + "/environ"));
    std::string entry;
    while (std::getline(all, entry, '\0')) {
        if (entry.rfind(name + "=", 0) == 0)
            return entry.substr(name.size() + 1);
    }
    return {};
}

// The X socket of a display name such as ":99" or ":99.0".
std::string SocketOf(const std::string& display) {
    const std::string number = display.substr(display.find(':') + 1);
    return "/tmp/.X11-unix/X" + number.substr(0, number.find('.'));
}

class CaptureDisplay : public TWebKitRig {
  protected:
    void SetUp() override {
        TWebKitRig::SetUp();
        AdoptView(std::make_unique<TProcessWebView>(LUM_CAPTURE_HELPER));
    }
    TProcessWebView& Process() { return static_cast<TProcessWebView&>(*FView); }
    // Whether a folder of the display of the capture program helper is left.
    static bool Left(pid_t helper) {
        const std::string prefix = gtk::kPrivateDisplayPrefix + std::to_string(helper) + "-";
        GDir* base = g_dir_open(gtk::PrivateDisplayBase().c_str(), 0, nullptr);
        bool left = false;
        while (const char* name = base && !left ? g_dir_read_name(base) : nullptr)
            left = std::string(name).rfind(prefix, 0) == 0;
        if (base)
            g_dir_close(base);
        return left;
    }
};

TEST_F(CaptureDisplay, PagesAreShownOnADisplayOfItsOwnThatEndsWithThePass) {
    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 768}));  // the page process is up by now
    const pid_t helper = Process().HelperPid();
    const std::vector<int> servers = Descendants("Xvfb");
    ASSERT_EQ(servers.size(), 1u) << "one display for the capture program";
    const std::vector<int> pages = Descendants("WebKitWebProces");
    ASSERT_FALSE(pages.empty());
    // The page processes started with the display the program was on.
    const std::string own = EnvironmentOf(pages[0], "DISPLAY");
    const std::string user = g_getenv("DISPLAY");
    ASSERT_FALSE(own.empty());
    EXPECT_NE(SocketOf(own), SocketOf(user));
    for (int page : pages) {
        const std::string mounts = ReadAll("/proc/" + std::to_string(page) + "/mountinfo");
        EXPECT_EQ(mounts.find(" " + SocketOf(user) + " "), std::string::npos) << mounts;
        EXPECT_NE(mounts.find(" " + SocketOf(own) + " "), std::string::npos) << mounts;
    }

    Process().PassEnded();
    EXPECT_TRUE(RunUntil([&] { return Descendants("").empty(); }, 15s))
        << "the program, its display and the engine's processes end with the pass";
    EXPECT_FALSE(g_file_test(SocketOf(own).c_str(), G_FILE_TEST_EXISTS));
    EXPECT_FALSE(Left(helper)) << "the display's folder is left";
}

// Killed outright (as a program that stops answering is), the capture
// program cannot end its display: the display ends all the same, and what
// it left goes when the program is reaped.
TEST_F(CaptureDisplay, AKilledProgramLeavesNoDisplayBehind) {
    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    const pid_t helper = Process().HelperPid();
    const std::vector<int> servers = Descendants("Xvfb");
    ASSERT_EQ(servers.size(), 1u);
    ::kill(helper, SIGKILL);
    EXPECT_TRUE(RunUntil([&] { return Descendants("Xvfb").empty() && !Left(helper); }, 15s))
        << "the display ended, its folder removed";
}

TEST_F(CaptureDisplay, WithoutXvfbEveryPageFailsSayingToInstallItOnce) {
    const std::string path = g_getenv("PATH");
    g_setenv("PATH", "/nonexistent", TRUE);
    char log[] = "/tmp/lum-capture-stderr-XXXXXX";
    const int file = ::mkstemp(log);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);  // the capture program's standard error
    const TLoaded first = Load(Page("short.html"));
    const TLoaded second = Load(Page("tall.html"));
    const pid_t helper = Process().HelperPid();
    Process().PassEnded();
    RunUntil([&] { return helper > 0 && ::kill(helper, 0) != 0; }, 10s);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    g_setenv("PATH", path.c_str(), TRUE);

    for (const TLoaded& page : {first, second}) {
        EXPECT_TRUE(page.Failed);
        EXPECT_NE(page.Message.find("install it (Debian package xvfb)"), std::string::npos)
            << page.Message;
    }
    EXPECT_GT(helper, 0) << "one capture program for both pages";
    const std::string said = ReadAll(log);
    ::unlink(log);
    const std::string line = "lumenary-capture: pages are captured on a display of their own";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(said.find(line), said.rfind(line)) << "said once: " << said;
    EXPECT_TRUE(Descendants("WebKit").empty()) << "no page is loaded anywhere";
}

}  // namespace
}  // namespace lum
