#include "linux/capture/PrivateDisplay.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "linux/capture/CaptureProgram.h"

namespace lum::gtk {

namespace {

// The pid of a "lumenary-display-<pid>-<anything>" name; 0 for any other.
long LeftoverPid(const char* name) {
    const std::size_t prefix = kPrivateDisplayPrefix.size();
    if (std::strncmp(name, kPrivateDisplayPrefix.c_str(), prefix) != 0)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(name + prefix, &end, 10);
    return pid > 0 && end != name + prefix && *end == '-' ? pid : 0;
}

// Whether the process runs: not gone, and not ended and waiting to be reaped
// (by a parent that may never do so).
bool Running(long pid) {
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

}  // namespace

void RemovePrivateDisplayFolder(const std::string& folder) {
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return;
    const std::string base = slash == 0 ? "/" : folder.substr(0, slash);
    const int parent = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return;
    RemovePlainFolder(parent, folder.c_str() + slash + 1);
    ::close(parent);
}

std::string PrivateDisplayBase() {
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime && g_path_is_absolute(runtime) && g_file_test(runtime, G_FILE_TEST_IS_DIR))
        return runtime;
    return g_get_tmp_dir();
}

void RemovePrivateDisplayLeftovers(const std::string& base, pid_t ended) {
    const int parent = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return;
    DIR* dir = ::fdopendir(::dup(parent));
    std::vector<std::string> gone;
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        const long pid = LeftoverPid(entry->d_name);
        if (pid == 0)
            continue;
        if (pid == static_cast<long>(ended) || !Running(pid))
            gone.push_back(entry->d_name);
    }
    if (dir)
        ::closedir(dir);
    for (const std::string& name : gone)
        RemovePlainFolder(parent, name.c_str());
    ::close(parent);
}

}  // namespace lum::gtk
