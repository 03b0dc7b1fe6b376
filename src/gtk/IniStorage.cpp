#include "gtk/IniStorage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "gtk/IniFile.h"

namespace lum::gtk {

namespace {

constexpr int kMaxKeptFiles = 99;

std::string Folder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeFolders(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) || (errno = ENOTDIR, false);
    if (errno != ENOENT)
        return false;
    const std::string parent = Folder(folder);
    if (parent != folder && !MakeFolders(parent))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Reading stops one block past the size limit.
int ReadAll(int fd, std::string& text) {
    char buffer[65536];
    while (text.size() <= kMaxIniFileBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return 0;
}

// The file a write replaces: the target of a symbolic link, so that a
// settings file linked from elsewhere stays linked.
std::string WriteTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    std::string target = real ? real : path;
    std::free(real);
    return target;
}

}  // namespace

TIniFileRead ReadIniFile(const std::string& path) {
    TIniFileRead result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        result.Error = errno;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.Error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        result.NotAFile = true;
        result.IsFolder = S_ISDIR(info.st_mode);
    } else {
        result.Error = ReadAll(fd, result.Text);
    }
    ::close(fd);
    return result;
}

// A hard link keeps the file without touching its bytes (it need not even
// be readable) and fails rather than overwrite an earlier kept file.
int KeepIniFileAside(const std::string& path, std::string& kept) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
        return EISDIR;
    for (int n = 1; n <= kMaxKeptFiles; ++n) {
        kept = path + ".bad" + (n == 1 ? "" : "." + std::to_string(n));
        if (::link(path.c_str(), kept.c_str()) == 0)
            return 0;
        if (errno == EEXIST)
            continue;
        // A file system without hard links: move it, never over another.
        struct stat other {};
        if (::lstat(kept.c_str(), &other) == 0)
            continue;
        return ::rename(path.c_str(), kept.c_str()) == 0 ? 0 : errno;
    }
    return EEXIST;
}

int ReplaceIniFile(const std::string& path, const std::string& text) {
    const std::string target = WriteTarget(path);
    if (!MakeFolders(Folder(target)))
        return errno;
    std::string temp = target + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errno;
    struct stat old {};
    // The new file keeps the old one's mode, unless that mode kept its owner
    // from reading or writing it (mkstemp gives 0600).
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        (old.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR))
        ::fchmod(fd, old.st_mode & 07777);
    int error = 0;
    if (!WriteAll(fd, text) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself is made durable too.
    const int folder = ::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}

}  // namespace lum::gtk
