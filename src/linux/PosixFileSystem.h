// IFileSystem over POSIX calls for the Linux program, and the cache folder
// under $XDG_CACHE_HOME. Failures of the file system are results (false, -1,
// nullptr, an empty list); only CreateCacheDir throws, with a clear message.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace lum::gtk {

class TPosixFileSystem : public IFileSystem {
  public:
    // The target of /proc/self/exe; empty when it cannot be read.
    std::string ProgramPath() override;
    bool CreateDirectory(const std::string& path) override;
    // st_mtime in local time, packed; -1 for a missing name, a folder or a
    // date outside 1980..2107.
    std::int32_t FileDate(const std::string& path) override;
    // "*" and "?" in the last part of mask; every other character matches
    // itself (case-sensitive). Folder entries carry FileAttr::Directory.
    std::vector<TFileEntry> FindFiles(const std::string& mask) override;
    bool DeleteFile(const std::string& path) override;
    // Regular files only: a folder, a FIFO or a device gives nullptr.
    std::unique_ptr<IFileReader> OpenRead(const std::string& path) override;
    // Writes "<path>.tmp-XXXXXX" (a unique name) beside the target; Commit
    // flushes it to disk and renames it over the target.
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) override;
    bool TouchFile(const std::string& path) override;
};

// True when name matches a mask of "*" (any run) and "?" (one byte).

// The home folder: home when it is given and not empty, else the account's
// home from the password database, else "/tmp". The settings file and the
// cache both lie below it.
std::string HomeFolder(const char* home);

// The cache folder "<base>/lumenary/" with base = xdgCacheHome when it is an
// absolute path, else home + "/.cache" (home from the password database when
// empty: HomeFolder). Always ends in "/".
std::string CacheDirPath(const char* xdgCacheHome, const char* home);

// Creates path and its missing parents (mkdir -p); an existing folder is
// fine. Throws lum::Exception naming the folder and the reason on failure.
void CreateFolderPath(const std::string& path);

// CacheDirPath of the environment, created with CreateFolderPath.
std::string CreateCacheDir();

}  // namespace lum::gtk
