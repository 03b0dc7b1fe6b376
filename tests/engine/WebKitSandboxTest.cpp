// The page processes run in WebKit's sandbox and make no sound: a file of the
// user's home is not there for them; a sandbox that cannot start fails the
// capture in words, before WebKit would end the program.
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/wait.h>

#include <fstream>

#include "engine/WebKitCaptureRig.h"
#include "engine/WebKitSandbox.h"

namespace lum {
namespace {

using Sandbox = TWebKitRig;

bool Exists(const std::string& path) {
    return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

TEST_F(Sandbox, PageProcessDoesNotSeeTheUsersHome) {
    const std::string secret =
        std::string(g_get_home_dir()) + "/.lumenary-sandbox-probe-" + std::to_string(getpid());
    std::ofstream(secret) << "private";
    ASSERT_TRUE(Exists(secret));
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    ASSERT_TRUE(Measure());  // the page process is up and answering
    const std::vector<int> pages = Descendants("WebKitWebProces");
    ASSERT_FALSE(pages.empty());
    for (int pid : pages) {
        // The page process's own view of the file system: the system is
        // there, the home's file is not.
        const std::string root = "/proc/" + std::to_string(pid) + "/root";
        EXPECT_TRUE(Exists(root + "/usr/lib")) << pid;
        EXPECT_FALSE(Exists(root + secret)) << pid;
        EXPECT_TRUE(Exists("/proc/self/root" + secret));
    }
    g_remove(secret.c_str());
}

TEST_F(Sandbox, ViewIsMuted) {
    MakeView();
    EXPECT_TRUE(static_cast<TWebKitWebView&>(*FView).Muted());
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    EXPECT_TRUE(static_cast<TWebKitWebView&>(*FView).Muted());
}

TEST(PageSandbox, MissingOrFailingToolIsNamed) {
    TSandboxTools missing;
    missing.Bubblewrap = "/no/such/bwrap";
    try {
        CheckPageSandbox(missing);
        ADD_FAILURE() << "no failure";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("/no/such/bwrap"), std::string::npos) << e.what();
    }
    // A bubblewrap that cannot make its namespaces (as in some containers).
    TSandboxTools failing;
    failing.Bubblewrap = "/bin/false";
    EXPECT_THROW(CheckPageSandbox(failing), Exception);
    EXPECT_THROW(TWebKitWebView({}, failing), Exception);
    EXPECT_NO_THROW(CheckPageSandbox());
}

// The capture tool with WebKit's own sandbox programs out of reach (hidden in
// a mount namespace of its own) ends with a message, not WebKit's crash.
TEST(PageSandbox, CaptureWithoutBubblewrapFailsInWords) {
    if (system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespaces here (needs root)";
    const std::string tool = std::string(LUM_BINARY_DIR) + "/lum_webkit_capture";
    for (const std::string hide : {"/dev/null", "/bin/false"}) {
        const std::string command = "unshare -m sh -c 'mount --bind " + hide +
                                    " /usr/bin/bwrap && exec " + tool + " about:blank' 2>&1";
        FILE* out = popen(command.c_str(), "r");
        ASSERT_TRUE(out);
        std::string text;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, out))
            text += buffer;
        const int status = pclose(out);
        EXPECT_TRUE(WIFEXITED(status)) << text;  // not killed by a signal
        EXPECT_EQ(WEXITSTATUS(status), 2) << text;
        EXPECT_NE(text.find("page sandbox"), std::string::npos) << text;
    }
}

// An X authority file that cannot be read (another user's, left in the
// environment, as when XScreenSaver runs as another user in the tests'
// X server) would stop WebKit's sandbox and with it the whole program; this
// process reached the X server without it, and so will the page processes.
// (The end-to-end run in XScreenSaver shows the pages then captured.)
TEST(PageSandbox, UnreadableXAuthorityIsDropped) {
    const char* before = g_getenv("XAUTHORITY");
    const std::string saved = before ? before : "";
    g_setenv("XAUTHORITY", "/no/such/folder/Xauthority", TRUE);
    EXPECT_NO_THROW(CheckPageSandbox());
    EXPECT_EQ(g_getenv("XAUTHORITY"), nullptr);
    if (before) {
        g_setenv("XAUTHORITY", saved.c_str(), TRUE);
        CheckPageSandbox();  // a readable one stays
        EXPECT_STREQ(g_getenv("XAUTHORITY"), saved.c_str());
    }
}

TEST(PageSandbox, SwitchingItOffIsRefused) {
    g_setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", TRUE);
    EXPECT_THROW(CheckPageSandbox(), Exception);
    g_unsetenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
    EXPECT_NO_THROW(CheckPageSandbox());
}

// WebKit switches its sandbox off when the variable is there at all: empty
// or "0", it is taken out of the environment and the page processes run in
// the sandbox all the same; any other value is refused every time.
TEST_F(Sandbox, AnEmptyOrZeroSwitchNeverTurnsItOff) {
    const std::string secret =
        std::string(g_get_home_dir()) + "/.lumenary-switch-probe-" + std::to_string(getpid());
    std::ofstream(secret) << "private";
    for (const char* value : {"", "0"}) {
        SCOPED_TRACE(std::string("value \"") + value + "\"");
        g_setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", value, TRUE);
        MakeView();
        EXPECT_EQ(g_getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"), nullptr);
        ASSERT_FALSE(Load(Page("short.html")).Failed);
        ASSERT_TRUE(Measure());
        const std::vector<int> pages = Descendants("WebKitWebProces");
        ASSERT_FALSE(pages.empty());
        for (int pid : pages)
            EXPECT_FALSE(Exists("/proc/" + std::to_string(pid) + "/root" + secret)) << pid;
        FView.reset();
    }
    g_setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", TRUE);
    EXPECT_THROW(MakeView(), Exception);
    EXPECT_THROW(MakeView(), Exception);
    g_unsetenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
    g_remove(secret.c_str());
}

}  // namespace
}  // namespace lum
