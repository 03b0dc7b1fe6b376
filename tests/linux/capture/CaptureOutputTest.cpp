// What the capture program's processes write reaches the showing program's
// standard error without the engine's noise: the rule for a line, and a
// stand-in capture program (a shell script, with a helper process that
// outlives it as the engine's processes may) started as the real one is.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "linux/GtkTestSupport.h"
#include "linux/capture/CaptureProgram.h"

namespace lum::gtk {
namespace {

TEST(CaptureOutput, TheEnginesNotesBelowAnErrorAreNoise) {
    for (const char* line : {
             "libEGL warning: DRI2: failed to authenticate",
             "libEGL info: found extension DRI_Core version 2",
             "libEGL debug: EGL user error 0x3003",
             "MESA-LOADER: failed to open swrast: cannot open shared object file",
             "MESA: warning: something",
             "(WebKitWebProcess:2): Gtk-WARNING **: 08:43:01.271: cannot open display: :0",
             "** (WebKitWebProcess:7): WARNING **: 10:00:00.000: no domain",
             "(lumenary-capture:1234): GLib-GIO-WARNING **: 10:00:00.000: dbus",
             "Gtk-Message: 10:00:00.000: Failed to load module \"canberra-gtk-module\"",
             "** Message: 10:00:00.000: without a domain",
             "",
             "  ",
         }) {
        EXPECT_TRUE(EngineNoise(line)) << line;
    }
    for (const char* line : {
             "lumenary-capture: unknown request \"x\"",
             "lumenary-capture: cannot open the X display",
             "libEGL fatal: DRI driver not from this Mesa build",
             "MESA: error: out of memory",
             "(lumenary-capture:1234): GLib-CRITICAL **: 10:00:00.000: assertion failed",
             "(WebKitWebProcess:2): GLib-ERROR **: 10:00:00.000: out of memory",
             "WARNING: a line of some other form",
             "(not a program): Gtk-WARNING **: text",
             "two words-WARNING **: text",
         }) {
        EXPECT_FALSE(EngineNoise(line)) << line;
    }
}

// The number of this process's descriptors of pipes.
int OpenPipes() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        char target[64] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (::readlink(path.c_str(), target, sizeof target - 1) > 0 &&
            std::string(target).starts_with("pipe:"))
            ++count;
    }
    if (dir)
        ::closedir(dir);
    return count;
}

std::string ReadFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Standard error into a file while it lives.
class TStandardErrorFile {
  public:
    explicit TStandardErrorFile(const std::string& path) : FSaved(::dup(STDERR_FILENO)) {
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~TStandardErrorFile() {
        ::dup2(FSaved, STDERR_FILENO);
        ::close(FSaved);
    }

  private:
    int FSaved;
};

TEST(CaptureOutput, TheProgramsOwnLinesPassAndTheEnginesNoiseDoesNot) {
    if (!testing::EnsureGtk())
        GTEST_SKIP() << "no X display";
    const std::string dir = ::testing::TempDir() + "lum-output-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    const std::string program = dir + "/capture";
    std::ofstream(program) << R"(#!/bin/sh
echo 'libEGL warning: DRI2: failed to authenticate' >&2
echo 'lumenary-capture: the first line of its own' >&2
echo '(WebKitWebProcess:2): Gtk-WARNING **: 08:43:01.271: cannot open display: :0' >&2
echo 'on standard output'
echo '(lumenary-capture:9): GLib-CRITICAL **: 10:00:00.000: assertion failed' >&2
(sleep 0.3; echo 'libEGL info: late'; echo 'from a process that outlives it' >&2
 printf 'a last line without its end' >&2) &
)";
    ::chmod(program.c_str(), 0700);
    const std::string errors = dir + "/stderr";
    {
        TStandardErrorFile into(errors);
        const int before = OpenPipes();
        const TCaptureProgram started = StartCaptureProgram(program);
        ::close(started.Channel);
        // Until the pipe's end: its reading end is closed then.
        EXPECT_TRUE(testing::RunUntil([&] { return OpenPipes() == before; }, 10000));
    }
    std::istringstream lines(ReadFile(errors));
    std::string forwarded, line;
    while (std::getline(lines, line))
        forwarded += line + "|";
    EXPECT_EQ(forwarded,
              "lumenary-capture: the first line of its own|on standard output|"
              "(lumenary-capture:9): GLib-CRITICAL **: 10:00:00.000: assertion failed|"
              "from a process that outlives it|a last line without its end|")
        << forwarded;
}

}  // namespace
}  // namespace lum::gtk
