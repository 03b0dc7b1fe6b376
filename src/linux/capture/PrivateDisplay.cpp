#include "linux/capture/PrivateDisplay.h"

#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace lum::gtk {

namespace {

constexpr int kDisplayFd = 3;  // the server's -displayfd
constexpr char kMissing[] =
    "pages are captured on a display of their own, away from yours, which needs Xvfb: "
    "install it (Debian package xvfb)";

using TClock = std::chrono::steady_clock;

std::string Errno() {
    return std::strerror(errno);
}

// An X authority entry for any display of any host (FamilyWild, no address,
// no number): the server takes its cookie from -auth, and libX11 matches the
// entry whatever number the server picks.
std::string AuthorityEntry(const unsigned char (&cookie)[16]) {
    const auto field = [](const std::string& bytes) {
        return std::string{char(bytes.size() >> 8), char(bytes.size() & 0xFF)} + bytes;
    };
    return std::string("\xFF\xFF", 2) + field("") + field("") + field("MIT-MAGIC-COOKIE-1") +
           field(std::string(reinterpret_cast<const char*>(cookie), sizeof cookie));
}

void WriteAuthority(const std::string& path) {
    unsigned char cookie[16];
    if (::getrandom(cookie, sizeof cookie, 0) != static_cast<ssize_t>(sizeof cookie))
        throw Exception("no random cookie for the private display: " + Errno());
    const std::string entry = AuthorityEntry(cookie);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool written =
        fd >= 0 && ::write(fd, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size());
    const std::string why = Errno();
    if (fd >= 0)
        ::close(fd);
    if (!written)
        throw Exception("the private display's authority file cannot be written: " + why);
}

// In the server before it runs: it gets SIGTERM (and tidies up) when the
// thread that started it ends, and does not start for a parent already gone.
void ServerSetup(gpointer parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != *static_cast<pid_t*>(parent))
        ::_exit(127);
}

// Waits up to limitMs for the child pid to end; true when it has (reaped).
bool WaitForEnd(pid_t pid, std::uint32_t limitMs) {
    const auto end = TClock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const pid_t ended = ::waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || (ended < 0 && errno == ECHILD))
            return true;
        if (TClock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The lock file of display number holds the pid of its server as text.
bool LockNames(int number, pid_t pid) {
    const std::string path = "/tmp/.X" + std::to_string(number) + "-lock";
    char text[32] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const ssize_t n = fd >= 0 ? ::read(fd, text, sizeof text - 1) : -1;
    if (fd >= 0)
        ::close(fd);
    return n > 0 && std::strtol(text, nullptr, 10) == static_cast<long>(pid);
}

// The server's standard output and error: a new file, at a descriptor above
// the ones it gets (a descriptor the spawn finds already in place would stay
// close-on-exec, and be closed).
int OpenLog(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const int high = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 10) : -1;
    if (fd >= 0)
        ::close(fd);
    return high;
}

// The last line the server wrote to its log: why it did not start.
std::string LastLogLine(const std::string& path) {
    gchar* text = nullptr;
    if (!g_file_get_contents(path.c_str(), &text, nullptr, nullptr))
        return {};
    std::string log = g_strstrip(text);
    g_free(text);
    const std::size_t line = log.rfind('\n');
    return line == std::string::npos ? log : log.substr(line + 1);
}

}  // namespace

TPrivateDisplay::~TPrivateDisplay() {
    Stop();
}

void TPrivateDisplay::Start(const TPrivateDisplayOptions& options) {
    Stop();
    gchar* found = g_find_program_in_path(options.Server.c_str());
    const std::string server = found ? found : "";
    g_free(found);
    if (server.empty())
        throw Exception(kMissing);
    const std::string base = options.Base.empty() ? PrivateDisplayBase() : options.Base;
    std::string folder =
        base + "/" + kPrivateDisplayPrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(folder.data()))
        throw Exception("the private display's folder cannot be made in " + base + ": " + Errno());
    FFolder = folder;
    FAuthority = FFolder + "/authority";
    int pipe[2] = {-1, -1};
    try {
        WriteAuthority(FAuthority);
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            throw Exception("no pipe for the private display: " + Errno());
        SpawnServer(server, options.Size, pipe[1]);
        ::close(pipe[1]);
        pipe[1] = -1;
        WaitUntilReady(pipe[0], options.StartMs);
        ::close(pipe[0]);
    } catch (...) {
        for (int fd : pipe)
            if (fd >= 0)
                ::close(fd);
        Stop();
        throw;
    }
}

void TPrivateDisplay::SpawnServer(const std::string& server, const TSize& size, int displayFd) {
    const std::string screen = std::to_string(std::clamp(size.Width, 64, 8192)) + "x" +
                               std::to_string(std::clamp(size.Height, 64, 8192)) + "x24";
    const std::string fdText = std::to_string(kDisplayFd);
    // TCP off; the local sockets stay (the abstract one too: a server that
    // could not have it would leave its name to anyone, whom this program's
    // own connection, trying it first, would then reach).
    const char* argv[] = {server.c_str(), "-displayfd", fdText.c_str(),     "-nolisten",
                          "tcp",          "-noreset",   "-screen",          "0",
                          screen.c_str(), "-auth",      FAuthority.c_str(), nullptr};
    const int output = OpenLog(FFolder + "/server.log");
    const int ready = ::fcntl(displayFd, F_DUPFD_CLOEXEC, 10);
    const gint sources[] = {ready};
    const gint targets[] = {kDisplayFd};
    pid_t parent = ::getpid();
    GError* error = nullptr;
    const gboolean started =
        output >= 0 && ready >= 0 &&
        g_spawn_async_with_pipes_and_fds(
            nullptr, const_cast<gchar**>(argv), nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL),
            &ServerSetup, &parent, -1, output, output, sources, targets, 1, &FPid, nullptr, nullptr,
            nullptr, &error);
    const std::string why = error ? error->message : Errno();
    g_clear_error(&error);
    for (int fd : {output, ready})
        if (fd >= 0)
            ::close(fd);
    if (!started) {
        FPid = 0;
        throw Exception("Xvfb (" + server + ") cannot be started: " + why);
    }
}

// Reads the display number the server writes once it takes clients.
void TPrivateDisplay::WaitUntilReady(int displayFd, std::uint32_t limitMs) {
    const auto end = TClock::now() + std::chrono::milliseconds(limitMs);
    std::string text;
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - TClock::now()).count();
        pollfd wait{displayFd, POLLIN, 0};
        const int polled = left > 0 ? ::poll(&wait, 1, static_cast<int>(left)) : 0;
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0)
            throw Exception("Xvfb did not start within " + std::to_string(limitMs / 1000) + " s");
        char buffer[32];
        const ssize_t n = ::read(displayFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || text.size() > 16) {
            const std::string said = LastLogLine(FFolder + "/server.log");
            throw Exception("Xvfb ended before it took clients" +
                            (said.empty() ? std::string() : " (" + said + ")"));
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    char* after = nullptr;
    const long number = std::strtol(text.c_str(), &after, 10);
    if (after == text.c_str() || *after != '\n' || number < 0 || number > 65535)
        throw Exception("Xvfb gave no display number (\"" + text.substr(0, text.find('\n')) +
                        "\")");
    FNumber = static_cast<int>(number);
    FName = ":" + std::to_string(FNumber);
}

void TPrivateDisplay::Stop() {
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        if (!WaitForEnd(FPid, 3000)) {
            // It could not tidy up: what it leaves goes here, if it is its own.
            const bool owns = FNumber >= 0 && LockNames(FNumber, FPid);
            ::kill(FPid, SIGKILL);
            WaitForEnd(FPid, 10000);
            if (owns) {
                ::unlink(("/tmp/.X11-unix/X" + std::to_string(FNumber)).c_str());
                ::unlink(("/tmp/.X" + std::to_string(FNumber) + "-lock").c_str());
            }
        }
    }
    if (!FFolder.empty())
        RemovePrivateDisplayFolder(FFolder);
    FPid = 0;
    FNumber = -1;
    FName.clear();
    FFolder.clear();
    FAuthority.clear();
}

void TPrivateDisplay::UseForThisProcess() const {
    if (FName.empty())
        throw Exception("the private display is not running");
    g_setenv("DISPLAY", FName.c_str(), TRUE);
    g_setenv("XAUTHORITY", FAuthority.c_str(), TRUE);
    g_setenv("GDK_BACKEND", "x11", TRUE);
    g_unsetenv("WAYLAND_DISPLAY");
}

}  // namespace lum::gtk
