#include "linux/capture/CaptureLock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace lum::gtk {
namespace {

class CaptureLock : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lum-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = std::string(pattern) + "/";
    }
    void TearDown() override { std::system(("rm -rf '" + Dir + "'").c_str()); }
    // Exit code of flock(1) trying the lock from another process: 0 when it
    // got it, 1 when it is held.
    int OtherProcessTries(const std::string& path) {
        const int status = std::system(("flock -n '" + path + "' true").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Dir;
};

TEST_F(CaptureLock, OnlyOneHolderAtATime) {
    const std::string path = Dir + kCaptureLockName;
    TCaptureLock first(path);
    TCaptureLock second(path);
    ASSERT_TRUE(first.TryAcquire());
    EXPECT_TRUE(first.TryAcquire());  // asking again keeps it
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(second.Error().empty());
    EXPECT_EQ(OtherProcessTries(path), 1);
    first.Release();
    EXPECT_TRUE(second.TryAcquire());
    second.Release();
    EXPECT_EQ(OtherProcessTries(path), 0);
}

TEST_F(CaptureLock, ALockHeldByAnotherProcessIsRespected) {
    const std::string path = Dir + kCaptureLockName;
    // flock(1) holds the lock for a while in a process of its own.
    ASSERT_EQ(std::system(("flock '" + path + "' sleep 1 & sleep 0.2").c_str()), 0);
    TCaptureLock lock(path);
    EXPECT_FALSE(lock.TryAcquire());
    ::sleep(1);
    EXPECT_TRUE(lock.TryAcquire());
}

TEST_F(CaptureLock, ALockFileThatCannotBeOpenedSaysWhy) {
    TCaptureLock lock(Dir + "missing/" + kCaptureLockName);
    EXPECT_FALSE(lock.TryAcquire());
    EXPECT_NE(lock.Error().find("cannot be opened"), std::string::npos) << lock.Error();
    EXPECT_FALSE(lock.Held());
}

TEST_F(CaptureLock, LivesInTheRuntimeFolderElseTheCacheFolder) {
    EXPECT_EQ(CaptureLockPath(Dir.c_str(), "/c/"), Dir + kCaptureLockName);
    EXPECT_EQ(CaptureLockPath((Dir + "missing").c_str(), "/c/"),
              std::string("/c/") + kCaptureLockName);
    EXPECT_EQ(CaptureLockPath("relative", "/c/"), std::string("/c/") + kCaptureLockName);
    EXPECT_EQ(CaptureLockPath(nullptr, "/c/"), std::string("/c/") + kCaptureLockName);
}

}  // namespace
}  // namespace lum::gtk
