#include "linux/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/DosDate.h"
#include "platform/Types.h"

#include "common/stdFiles.h"

namespace lum::gtk {

namespace {

// A file descriptor closed when it goes out of scope.
class TUniqueFd {
  public:
    explicit TUniqueFd(int fd = -1) : FFd(fd) {}
    ~TUniqueFd() { Reset(); }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }
    void Reset() {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

  private:
    int FFd;
};

class TPosixFileReader : public IFileReader {
  public:
    explicit TPosixFileReader(int fd) : FFd(fd) {}

    std::uint64_t Size() override {
        struct stat st {};
        return ::fstat(FFd.Get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }

    std::size_t Read(void* buffer, std::size_t count) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::size_t total = 0;
        while (total < count) {
            const ssize_t got = ::read(FFd.Get(), out + total, count - total);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            total += static_cast<std::size_t>(got);
        }
        return total;
    }

    bool Seek(std::uint64_t position) override {
        if (position > Size())
            return false;
        return ::lseek(FFd.Get(), static_cast<off_t>(position), SEEK_SET) >= 0;
    }

  private:
    TUniqueFd FFd;
};

class TPosixFileWriter : public IFileWriter {
  public:
    TPosixFileWriter(int fd, std::string temp, std::string target)
        : FFd(fd), FTemp(std::move(temp)), FTarget(std::move(target)) {}

    ~TPosixFileWriter() override {
        if (FCommitted)
            return;
        FFd.Reset();
        ::unlink(FTemp.c_str());
    }

    bool Write(const void* data, std::size_t count) override {
        const auto* in = static_cast<const std::uint8_t*>(data);
        std::size_t total = 0;
        while (FOk && FFd && total < count) {
            const ssize_t put = ::write(FFd.Get(), in + total, count - total);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                FOk = false;
            else
                total += static_cast<std::size_t>(put);
        }
        return FOk && FFd;
    }

    bool Commit() override {
        if (!FOk || !FFd || FCommitted)
            return false;
        // The rename makes the whole file visible in one step. These are
        // cache files, written again every pass: they are not forced to the
        // disk (a file cut short by a crash reads as a page not yet captured
        // and is captured again), which spares the disk tens of megabytes of
        // synchronous writes a pass.
        if (::close(FFd.Release()) != 0)
            return false;
        FCommitted = ::rename(FTemp.c_str(), FTarget.c_str()) == 0;
        return FCommitted;
    }

  private:
    TUniqueFd FFd;
    std::string FTemp;
    std::string FTarget;
    bool FOk = true;
    bool FCommitted = false;
};

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint32_t AttributesOf(const std::string& folder, const char* name) {
    struct stat st {};
    if (::lstat((folder + name).c_str(), &st) != 0)
        return 0;
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FileAttr::Directory;
    else
        attributes |= FileAttr::Archive;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FileAttr::ReadOnly;
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
        attributes |= FileAttr::Hidden;
    return attributes;
}

}  // namespace

std::string TPosixFileSystem::ProgramPath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return buffer.substr(0, static_cast<std::size_t>(n));
        if (buffer.size() >= 65536)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool TPosixFileSystem::CreateDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

std::int32_t TPosixFileSystem::FileDate(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    std::tm local{};
    const std::time_t when = st.st_mtime;
    if (!::localtime_r(&when, &local))
        return -1;
    return PackDosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec);
}

std::vector<TFileEntry> TPosixFileSystem::FindFiles(const std::string& mask) {
    const std::size_t cut = mask.find_last_of('/');
    const std::string folder = cut == std::string::npos ? "./" : mask.substr(0, cut + 1);
    const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
    std::vector<TFileEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        if (WildcardMatch(pattern, entry->d_name, false))
            entries.push_back({entry->d_name, AttributesOf(folder, entry->d_name)});
    }
    ::closedir(dir);
    return entries;
}

bool TPosixFileSystem::DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::unique_ptr<IFileReader> TPosixFileSystem::OpenRead(const std::string& path) {
    // Opened without blocking, so that a FIFO placed under the name cannot
    // hold the program in open(); anything but a regular file is refused.
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) < 0)
        return nullptr;
    return std::make_unique<TPosixFileReader>(fd.Release());
}

std::unique_ptr<IFileWriter> TPosixFileSystem::CreateReplacing(const std::string& path) {
    // A unique name per writer: two processes replacing the same target never
    // write into one temporary file.
    std::string temp = path + ".tmp-XXXXXX";
    TUniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd)
        return nullptr;
    // mkostemp creates the file 0600; the pictures get the usual 0666 & ~umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.Get(), 0666 & ~mask);
    return std::make_unique<TPosixFileWriter>(fd.Release(), std::move(temp), path);
}

std::string HomeFolder(const char* home) {
    if (home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

std::string CacheDirPath(const char* xdgCacheHome, const char* home) {
    // A relative XDG_CACHE_HOME is invalid and ignored, as the base-directory
    // rules say.
    std::string base = xdgCacheHome && xdgCacheHome[0] == '/' ? std::string(xdgCacheHome)
                                                              : HomeFolder(home) + "/.cache";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/lumenary/";
}

void CreateFolderPath(const std::string& path) {
    if (path.empty())
        throw Exception("no folder name given");
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        if (part.empty() || part.back() == '/')
            continue;
        if (::mkdir(part.c_str(), 0700) == 0 || (errno == EEXIST && IsFolder(part)))
            continue;
        const int error = errno == EEXIST ? ENOTDIR : errno;
        throw Exception("the folder " + path + " cannot be created: " + part + ": " +
                        std::strerror(error));
    }
}

std::string CreateCacheDir() {
    const std::string dir = CacheDirPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    CreateFolderPath(dir);
    return dir;
}

bool TPosixFileSystem::TouchFile(const std::string& path) {
    // The link itself is never followed out of the cache folder.
    return ::utimensat(AT_FDCWD, path.c_str(), nullptr, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace lum::gtk
