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
    RemoveFoldersOfEnded(base, &LeftoverPid, ended);
}

}  // namespace lum::gtk
