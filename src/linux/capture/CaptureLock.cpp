#include "linux/capture/CaptureLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace lum::gtk {

bool TCaptureLock::TryAcquire() {
    if (Held())
        return true;
    FError.clear();
    // Close-on-exec: the web engine's helper processes must not inherit the
    // lock and keep it after this process has ended.
    const int fd = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        FError = "the lock file " + FPath + " cannot be opened: " + std::strerror(errno);
        return false;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            FError = "the lock file " + FPath + " cannot be locked: " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    FFd = fd;
    return true;
}

bool TCaptureLock::AcquireWithin(std::uint32_t ms, const std::function<void()>& waiting) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    bool said = false;
    while (!TryAcquire()) {
        if (!FError.empty())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (!said && waiting)
            waiting();
        said = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

void TCaptureLock::Release() {
    if (FFd < 0)
        return;
    ::flock(FFd, LOCK_UN);
    ::close(FFd);
    FFd = -1;
}

std::string CaptureLockPath(const char* xdgRuntimeDir, const std::string& cacheDir) {
    struct stat st {};
    if (xdgRuntimeDir && xdgRuntimeDir[0] == '/' && ::stat(xdgRuntimeDir, &st) == 0 &&
        S_ISDIR(st.st_mode)) {
        std::string dir = xdgRuntimeDir;
        if (dir.back() != '/')
            dir += '/';
        return dir + kCaptureLockName;
    }
    return cacheDir + kCaptureLockName;
}

}  // namespace lum::gtk
