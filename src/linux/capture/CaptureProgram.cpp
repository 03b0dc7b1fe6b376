#include "linux/capture/CaptureProgram.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "linux/capture/CaptureProtocol.h"
#include "platform/Types.h"

namespace lum::gtk {

namespace {

Exception CannotStart(const std::string& path, const std::string& why) {
    return Exception("the capture program \"" + path + "\" cannot be started: " + why);
}

// Spawns the program with helperEnd as its channel; the error's text when it
// cannot.
GPid Spawn(const std::string& path, int helperEnd, std::string& failure) {
    const std::string channel = std::to_string(kCaptureChannelFd);
    gchar* argv[] = {const_cast<gchar*>(path.c_str()), const_cast<gchar*>(kCaptureChannelOption),
                     const_cast<gchar*>(channel.c_str()), nullptr};
    const gint sources[] = {helperEnd};
    const gint targets[] = {kCaptureChannelFd};
    GPid pid = 0;
    GError* error = nullptr;
    // Standard input from /dev/null; standard output, which the engine's
    // helper processes inherit, to this program's standard error. GLib
    // closes the descriptor it is given for standard output in the child
    // once it has put it in place: given descriptor 2 itself, the child's
    // standard error would be closed, and the next file the child opens
    // (an X connection, a socket of the engine) would get its messages.
    // A copy of it is given instead.
    const int output = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, kCaptureChannelFd + 1);
    const gboolean started = g_spawn_async_with_pipes_and_fds(
        nullptr, argv, nullptr,
        static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL), nullptr,
        nullptr, -1, output >= 0 ? output : STDERR_FILENO, -1, sources, targets, 1, &pid, nullptr,
        nullptr, nullptr, &error);
    if (output >= 0)
        ::close(output);
    if (!started) {
        failure = error ? error->message : "unknown error";
        g_clear_error(&error);
        return 0;
    }
    return pid;
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

// Removes the folder name of parent if it holds only plain files.
void RemoveLeftover(int parent, const char* name) {
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
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

}  // namespace

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
    std::string failure;
    const GPid pid = Spawn(path, helperEnd, failure);
    ::close(helperEnd);
    if (pid == 0) {
        ::close(pair[0]);
        throw CannotStart(path, failure);
    }
    // Reaped whenever it ends, whether or not its view still exists; what its
    // engine left in the runtime folder goes with it (it may have been killed).
    g_child_watch_add(
        pid,
        [](GPid child, gint, gpointer) {
            g_spawn_close_pid(child);
            RemoveSandboxLeftovers(g_get_user_runtime_dir(), child);
        },
        nullptr);
    ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
    return TCaptureProgram{pid, pair[0]};
}

void RemoveSandboxLeftovers(const std::string& runtimeDir, pid_t ended) {
    const std::string path = runtimeDir + "/.flatpak";
    const int parent = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parent < 0)
        return;
    DIR* dir = ::fdopendir(::dup(parent));
    std::vector<std::string> gone;
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        const long pid = LeftoverPid(entry->d_name);
        if (pid == 0)
            continue;
        if (pid == static_cast<long>(ended) ||
            (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
            gone.push_back(entry->d_name);
    }
    if (dir)
        ::closedir(dir);
    for (const std::string& name : gone)
        RemoveLeftover(parent, name.c_str());
    ::close(parent);
}

}  // namespace lum::gtk
