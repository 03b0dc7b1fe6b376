// In-memory file system for the portable tests: files with contents, packed
// dates and attributes, folders, listing in creation order, and writers that
// only replace a file when committed.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/stdFiles.h"
#include "platform/FileSystem.h"

namespace lum::fakes {

// Reads a byte vector.
class TMemoryReader : public IFileReader {
  public:
    explicit TMemoryReader(std::vector<std::uint8_t> data) : FData(std::move(data)) {}
    std::uint64_t Size() override { return FData.size(); }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = std::min(count, FData.size() - std::min(FPos, FData.size()));
        if (n)
            std::memcpy(buffer, FData.data() + FPos, n);
        FPos += n;
        return n;
    }
    bool Seek(std::uint64_t position) override {
        if (position > FData.size())
            return false;
        FPos = static_cast<std::size_t>(position);
        return true;
    }

  private:
    std::vector<std::uint8_t> FData;
    std::size_t FPos = 0;
};

// Collects bytes; Commit hands them to a callback.
class TMemoryWriter : public IFileWriter {
  public:
    using TCommit = std::function<bool(std::vector<std::uint8_t>&&)>;
    explicit TMemoryWriter(TCommit commit = nullptr) : FCommit(std::move(commit)) {}
    bool Write(const void* data, std::size_t count) override {
        if (FailWrites)
            return false;
        const auto* p = static_cast<const std::uint8_t*>(data);
        Bytes.insert(Bytes.end(), p, p + count);
        return true;
    }
    bool Commit() override { return FCommit ? FCommit(std::move(Bytes)) : true; }
    std::vector<std::uint8_t> Bytes;
    bool FailWrites = false;

  private:
    TCommit FCommit;
};

class TFakeFileSystem : public IFileSystem {
  public:
    struct TFile {
        std::vector<std::uint8_t> Data;
        std::int32_t Date = 0;
        std::uint32_t Attributes = FileAttr::Archive;
    };

    std::string ProgramFile = "C:\\Tools\\Lumenary.scr";
    std::int32_t NextDate = 0x5A000000;  // packed date given to the next written file
    bool FailCreateDirectory = false;
    bool FailWrites = false;  // every writer made from now on fails its writes
    std::set<std::string> Folders;
    std::vector<std::string> Order;  // file names in creation order
    std::map<std::string, TFile> Files;
    std::vector<std::string> Deleted;
    std::uint64_t BytesWritten = 0;  // by committed writers
    bool FailTouch = false;

    void AddFile(const std::string& path,
                 std::vector<std::uint8_t> data,
                 std::int32_t date,
                 std::uint32_t attributes = FileAttr::Archive) {
        if (!Files.count(path))
            Order.push_back(path);
        Files[path] = TFile{std::move(data), date, attributes};
    }

    std::string ProgramPath() override { return ProgramFile; }
    bool CreateDirectory(const std::string& path) override {
        if (FailCreateDirectory)
            return false;
        return Folders.insert(path).second;
    }
    std::int32_t FileDate(const std::string& path) override {
        auto it = Files.find(path);
        return it == Files.end() ? -1 : it->second.Date;
    }
    std::vector<TFileEntry> FindFiles(const std::string& mask) override;
    bool DeleteFile(const std::string& path) override {
        if (!Files.erase(path))
            return false;
        Order.erase(std::find(Order.begin(), Order.end(), path));
        Deleted.push_back(path);
        return true;
    }
    std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
        auto it = Files.find(path);
        if (it == Files.end())
            return nullptr;
        return std::make_unique<TMemoryReader>(it->second.Data);
    }
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) override {
        const auto slash = path.find_last_of('\\');
        if (slash != std::string::npos && !Folders.count(path.substr(0, slash + 1)))
            return nullptr;
        auto writer =
            std::make_unique<TMemoryWriter>([this, path](std::vector<std::uint8_t>&& bytes) {
                BytesWritten += bytes.size();
                AddFile(path, std::move(bytes), NextDate);
                return true;
            });
        writer->FailWrites = FailWrites;
        return writer;
    }
    bool TouchFile(const std::string& path) override {
        auto it = Files.find(path);
        if (FailTouch || it == Files.end())
            return false;
        it->second.Date = NextDate;
        return true;
    }
};

// Wildcard match of "*" and "?" on names, case-insensitive as on Windows.

inline std::vector<TFileEntry> TFakeFileSystem::FindFiles(const std::string& mask) {
    const auto slash = mask.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? "" : mask.substr(0, slash + 1);
    const std::string pattern = mask.substr(folder.size());
    std::vector<TFileEntry> result;
    for (const auto& path : Order) {
        if (path.compare(0, folder.size(), folder) != 0)
            continue;
        const std::string name = path.substr(folder.size());
        if (name.find('\\') != std::string::npos || !WildcardMatch(pattern, name, true))
            continue;
        result.push_back({name, Files[path].Attributes});
    }
    return result;
}

}  // namespace lum::fakes
