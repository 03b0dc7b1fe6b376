#include "linux/capture/CaptureProgram.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "linux/capture/CaptureProtocol.h"
#include "linux/capture/PrivateDisplay.h"
#include "platform/Types.h"

namespace lum::gtk {

namespace {

Exception CannotStart(const std::string& path, const std::string& why) {
    return Exception("the capture program \"" + path + "\" cannot be started: " + why);
}

// A descriptor above the channel's number (a spawn's source at a target's
// number would be overwritten), closed on exec; -1 when it cannot be made.
int CopyAboveChannel(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, kCaptureChannelFd + 1);
}

// Spawns the program with helperEnd as its channel and output as its
// standard output and error; the error's text when it cannot. GLib closes
// in the child the descriptors it is given for standard output and error
// once it has put them in place: given descriptor 2 itself, the child's
// standard error would be closed, and the next file the child opens (an X
// connection, a socket of the engine) would get its messages. Copies are
// given instead, one each.
GPid Spawn(const std::string& path, int helperEnd, int output, std::string& failure) {
    const std::string channel = std::to_string(kCaptureChannelFd);
    gchar* argv[] = {const_cast<gchar*>(path.c_str()), const_cast<gchar*>(kCaptureChannelOption),
                     const_cast<gchar*>(channel.c_str()), nullptr};
    const gint sources[] = {helperEnd};
    const gint targets[] = {kCaptureChannelFd};
    GPid pid = 0;
    GError* error = nullptr;
    const int out = CopyAboveChannel(output);
    const int err = CopyAboveChannel(output);
    const gboolean started = g_spawn_async_with_pipes_and_fds(
        nullptr, argv, nullptr,
        static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL), nullptr,
        nullptr, -1, out >= 0 ? out : STDERR_FILENO, err >= 0 ? err : STDERR_FILENO, sources,
        targets, 1, &pid, nullptr, nullptr, nullptr, &error);
    for (const int fd : {out, err}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (!started) {
        failure = error ? error->message : "unknown error";
        g_clear_error(&error);
        return 0;
    }
    return pid;
}

// What the capture program's processes write, on its way to this program's
// standard error: the pipe's reading end and the line read so far.
struct TOutputPipe {
    int Fd = -1;
    std::string Pending;
};

// A line longer than this is passed on in pieces.
constexpr std::size_t kMaxOutputLine = 16384;

void Forward(const std::string& line) {
    if (EngineNoise(line))
        return;
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Reads what is there (a bounded amount a call, so that a flood cannot hold
// the main loop) and passes on each whole line; at the end of the pipe,
// when every process that held it has closed it, the rest too.
gboolean OnOutput(gint fd, GIOCondition, gpointer data) {
    auto* pipe = static_cast<TOutputPipe*>(data);
    char buffer[4096];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return G_SOURCE_CONTINUE;
        if (n <= 0) {
            if (!pipe->Pending.empty())
                Forward(pipe->Pending);
            return G_SOURCE_REMOVE;
        }
        pipe->Pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pipe->Pending.find('\n')) != std::string::npos) {
            Forward(pipe->Pending.substr(0, end));
            pipe->Pending.erase(0, end + 1);
        }
        if (pipe->Pending.size() > kMaxOutputLine) {
            Forward(pipe->Pending);
            pipe->Pending.clear();
        }
    }
    return G_SOURCE_CONTINUE;
}

// A pipe whose reading end the main loop watches (until its end, then closed);
// its writing end (closed on exec), or -1 when it cannot be made.
int WatchedOutputPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    g_unix_fd_add_full(G_PRIORITY_DEFAULT, ends[0],
                       static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), &OnOutput,
                       new TOutputPipe{ends[0], {}}, [](gpointer data) {
                           auto* pipe = static_cast<TOutputPipe*>(data);
                           ::close(pipe->Fd);
                           delete pipe;
                       });
    return ends[1];
}

// The pid of a "webkit-<pid>-<n>" name; 0 for any other name.
long LeftoverPid(const char* name) {
    long pid = 0, n = 0;
    int end = 0;
    if (std::sscanf(name, "webkit-%ld-%ld%n", &pid, &n, &end) != 2 || name[end] != '\0' ||
        pid <= 0 || n < 0 || std::strncmp(name, "webkit-", 7) != 0)
        return 0;
    return pid;
}

}  // namespace

void RemovePlainFolder(int parent, const char* name) {
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat owner {};
    if (folder < 0 || ::fstat(folder, &owner) != 0 || owner.st_uid != ::getuid()) {
        if (folder >= 0)
            ::close(folder);
        return;
    }
    DIR* dir = ::fdopendir(folder);
    if (!dir) {
        ::close(folder);
        return;
    }
    bool plain = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || ::unlinkat(folder, entry->d_name, 0) != 0)
            plain = false;
    }
    ::closedir(dir);
    if (plain)
        ::unlinkat(parent, name, AT_REMOVEDIR);
}

namespace {

// GLib's default log writer starts a line with ["** "]["(<program>:<pid>):
// "][<domain>"-"]<level>": " (" **" after the levels of alarm); these levels
// are below critical.
bool GLibNote(std::string_view line) {
    if (line.starts_with("** "))
        line.remove_prefix(3);
    if (line.starts_with("(")) {
        const std::size_t end = line.find("): ");
        const std::size_t colon = line.rfind(':', end);
        if (end == std::string_view::npos || colon == std::string_view::npos || colon + 1 == end ||
            line.substr(colon + 1, end - colon - 1).find_first_not_of("0123456789") !=
                std::string_view::npos)
            return false;  // no "(<program>:<pid>)"
        line.remove_prefix(end + 3);
    }
    const std::string_view head = line.substr(0, line.find(": "));
    if (head.size() == line.size())
        return false;
    for (const std::string_view level : {"WARNING **", "Message", "INFO", "DEBUG"}) {
        if (head == level)
            return true;
        if (head.size() < level.size() + 2 || !head.ends_with(level))
            continue;
        const std::string_view domain = head.substr(0, head.size() - level.size());
        if (domain.ends_with('-') && domain.find(' ') == std::string_view::npos)
            return true;
    }
    return false;
}

}  // namespace

bool EngineNoise(const std::string& line) {
    // Mesa's EGL and loader messages; "libEGL fatal:" and "MESA: error:" pass.
    static constexpr std::string_view kMesaNotes[] = {
        "libEGL warning: ", "libEGL info: ", "libEGL debug: ", "MESA-LOADER: ",
        "MESA: warning: ",  "MESA: info: ",  "MESA: debug: "};
    if (line.find_first_not_of(" \t\r") == std::string::npos)
        return true;
    for (const std::string_view note : kMesaNotes) {
        if (std::string_view(line).starts_with(note))
            return true;
    }
    return GLibNote(line);
}

std::string DefaultCaptureHelperPath() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string self = length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : "";
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) +
           kCaptureHelperName;
}

TCaptureProgram StartCaptureProgram(const std::string& path) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw CannotStart(path, std::strerror(errno));
    // The helper's end, never already at the number it gets in the helper
    // (the spawn then hands it on as it is, close-on-exec and all).
    const int helperEnd = ::fcntl(pair[1], F_DUPFD_CLOEXEC, kCaptureChannelFd + 1);
    ::close(pair[1]);
    if (helperEnd < 0) {
        ::close(pair[0]);
        throw CannotStart(path, std::strerror(errno));
    }
    // Without a pipe, the program writes to this program's standard error.
    const int output = WatchedOutputPipe();
    std::string failure;
    const GPid pid = Spawn(path, helperEnd, output >= 0 ? output : STDERR_FILENO, failure);
    ::close(helperEnd);
    if (output >= 0)
        ::close(output);  // the reading end sees the pipe's end once the program's copies go
    if (pid == 0) {
        ::close(pair[0]);
        throw CannotStart(path, failure);
    }
    // Reaped whenever it ends, whether or not its view still exists; what its
    // engine and its display left in the runtime folder goes with it (it may
    // have been killed).
    g_child_watch_add(
        pid,
        [](GPid child, gint, gpointer) {
            g_spawn_close_pid(child);
            RemoveSandboxLeftovers(g_get_user_runtime_dir(), child);
            RemovePrivateDisplayLeftovers(PrivateDisplayBase(), child);
        },
        nullptr);
    ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
    return TCaptureProgram{pid, pair[0]};
}

void RemoveSandboxLeftovers(const std::string& runtimeDir, pid_t ended) {
    RemoveFoldersOfEnded(runtimeDir + "/.flatpak", &LeftoverPid, ended);
}

void RemoveFoldersOfEnded(const std::string& path, long (*pidOf)(const char* name), pid_t ended) {
    const int parent = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parent < 0)
        return;
    DIR* dir = ::fdopendir(::dup(parent));
    std::vector<std::string> gone;
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        const long pid = pidOf(entry->d_name);
        if (pid != 0 && (pid == static_cast<long>(ended) || !ProcessRuns(pid)))
            gone.push_back(entry->d_name);
    }
    if (dir)
        ::closedir(dir);
    for (const std::string& name : gone)
        RemovePlainFolder(parent, name.c_str());
    ::close(parent);
}

bool ProcessRuns(long pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return false;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    gchar* stat = nullptr;
    GError* error = nullptr;
    if (!g_file_get_contents(path, &stat, nullptr, &error)) {
        const bool gone = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
        g_clear_error(&error);
        return !gone;
    }
    const char* end = std::strrchr(stat, ')');
    const bool zombie = end && end[1] == ' ' && end[2] == 'Z';
    g_free(stat);
    return !zombie;
}

}  // namespace lum::gtk
