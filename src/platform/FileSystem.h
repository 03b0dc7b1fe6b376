// The file system as the portable code needs it: the program's own path,
// folders, listing, deletion, packed last-write dates, streamed reads and
// writes that replace a file in one step. Failures are results, not throws,
// except where a function says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lum {

// File attribute bits (the Windows values).
namespace FileAttr {
constexpr std::uint32_t ReadOnly = 0x01;
constexpr std::uint32_t Hidden = 0x02;
constexpr std::uint32_t System = 0x04;
constexpr std::uint32_t VolumeId = 0x08;
constexpr std::uint32_t Directory = 0x10;
constexpr std::uint32_t Archive = 0x20;
}  // namespace FileAttr

struct TFileEntry {
    std::string Name;  // file name only, no folder
    std::uint32_t Attributes = 0;
};

// A file opened for reading.
class IFileReader {
  public:
    virtual ~IFileReader() = default;
    virtual std::uint64_t Size() = 0;
    // Reads up to count bytes at the current position; returns the bytes read.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Moves the position; false when the position is beyond the end.
    virtual bool Seek(std::uint64_t position) = 0;
};

// A file being written under a temporary name; Commit replaces the target
// with it in one rename. Destroying an uncommitted writer removes the
// temporary file, so the target is never seen half-written.
class IFileWriter {
  public:
    virtual ~IFileWriter() = default;
    virtual bool Write(const void* data, std::size_t count) = 0;
    virtual bool Commit() = 0;
};

class IFileSystem {
  public:
    virtual ~IFileSystem() = default;
    // Full path of the running program file (UTF-8), e.g. "C:\Tools\saver.scr".
    virtual std::string ProgramPath() = 0;
    // Creates one folder level; false when it fails or already exists.
    virtual bool CreateDirectory(const std::string& path) = 0;
    // Last write in local time as a packed DOS date-time; -1 when the name
    // does not exist or is a folder.
    virtual std::int32_t FileDate(const std::string& path) = 0;
    // Entries matching mask (a path whose last part may hold wildcards), in
    // the order the platform lists them, "." and ".." included as listed.
    virtual std::vector<TFileEntry> FindFiles(const std::string& mask) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // nullptr when the file cannot be opened.
    virtual std::unique_ptr<IFileReader> OpenRead(const std::string& path) = 0;
    // Starts writing path under a temporary name beside it that the "*.bmp"
    // mask does not match; nullptr when it cannot be created.
    virtual std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) = 0;
    // Sets the file's last write to now, its bytes untouched; false when it
    // cannot (the caller then writes the file instead).
    virtual bool TouchFile(const std::string& path) {
        (void)path;
        return false;
    }
};

}  // namespace lum
