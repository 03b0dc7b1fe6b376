// What WebKit leaves in the runtime folder for each engine process: the
// folders of processes that no longer run, and of the one that has ended,
// go; those of running processes, links and anything unexpected stay.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "linux/capture/CaptureProgram.h"

namespace lum::gtk {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The number of a process that has ended.
pid_t EndedPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(SandboxLeftovers, FoldersOfEndedProcessesGoEverythingElseStays) {
    char base[] = "/tmp/lum-leftovers-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    const std::string runtime = base, flatpak = runtime + "/.flatpak/";
    ::mkdir(flatpak.c_str(), 0700);
    const std::string dead = std::to_string(EndedPid()), self = std::to_string(::getpid());
    const auto folder = [&](const std::string& name) {
        ::mkdir((flatpak + name).c_str(), 0700);
        std::ofstream(flatpak + name + "/bwrapinfo.json") << "{}";
        return flatpak + name;
    };
    const std::string gone = folder("webkit-" + dead + "-1");
    const std::string own = folder("webkit-" + self + "-2");
    const std::string running = folder("webkit-1-3");          // init runs
    const std::string nested = folder("webkit-" + dead + "-5");  // not only plain files
    ::mkdir((nested + "/more").c_str(), 0700);
    const std::string other = folder("webkit-" + dead + "-x");  // not such a name
    const std::string target = folder("elsewhere");
    const std::string link = flatpak + "webkit-" + dead + "-4";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    RemoveSandboxLeftovers(runtime, 0);
    EXPECT_FALSE(Exists(gone));
    EXPECT_TRUE(Exists(own + "/bwrapinfo.json"));
    EXPECT_TRUE(Exists(running + "/bwrapinfo.json"));
    EXPECT_TRUE(Exists(nested + "/more"));
    EXPECT_TRUE(Exists(other + "/bwrapinfo.json"));
    EXPECT_TRUE(Exists(link));
    EXPECT_TRUE(Exists(target + "/bwrapinfo.json"));  // never through the link

    RemoveSandboxLeftovers(runtime, ::getpid());  // this process at its end
    EXPECT_FALSE(Exists(own));
    EXPECT_TRUE(Exists(running));
    RemoveSandboxLeftovers(runtime + "/missing", 0);  // no folder: nothing to do
    EXPECT_EQ(std::system(("rm -rf " + runtime).c_str()), 0);
}

}  // namespace
}  // namespace lum::gtk
