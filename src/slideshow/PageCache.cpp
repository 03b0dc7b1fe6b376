#include "slideshow/PageCache.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "common/Bmp.h"
#include "common/stdFiles.h"

namespace lum {

namespace {

// Windows paths use "\"; a program path written with "/" only (a port to a
// system of that kind) keeps its own delimiter.
char DelimiterOf(const std::string& path) {
    return path.find('\\') == std::string::npos && path.find('/') != std::string::npos ? '/' : '\\';
}

bool EndsInDelimiter(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// Everything up to the last delimiter (or the drive's colon of "C:x.scr") is
// the folder; keeping that delimiter keeps a root such as "C:\" whole.
std::string FolderOf(const std::string& program) {
    const std::size_t cut = program.find_last_of("\\/:");
    std::string folder = cut == std::string::npos ? std::string() : program.substr(0, cut + 1);
    if (!EndsInDelimiter(folder))
        folder += DelimiterOf(program);
    return folder;
}

// An address file is one line; anything longer is no address of ours.
constexpr std::size_t kMaxAddressFile = 64 * 1024;

bool ReadPageAddress(IFileSystem& fileSystem, const std::string& path, std::string& url) {
    const std::unique_ptr<IFileReader> reader = fileSystem.OpenRead(path);
    if (!reader)
        return false;
    std::string text(kMaxAddressFile + 1, '\0');
    text.resize(reader->Read(text.data(), text.size()));
    if (text.size() > kMaxAddressFile || text.empty() || text.back() != '\n')
        return false;
    text.pop_back();
    url = std::move(text);
    return true;
}

// The page index of a cache file name "<digits>.<extension>"; false for
// any other name.
bool PageIndexOf(const std::string& name, std::int32_t& index) {
    const std::size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos)
        return false;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dot, index);
    return error == std::errc() && end == name.data() + dot && index >= 0;
}

// A writer that writes nothing: it compares what it is given with a file.
class TComparingWriter final : public IFileWriter {
  public:
    explicit TComparingWriter(IFileReader& file) : FFile(file) {}
    bool Write(const void* data, std::size_t count) override {
        FBuffer.resize(count);
        FSame = FSame && FFile.Read(FBuffer.data(), count) == count &&
                std::memcmp(FBuffer.data(), data, count) == 0;
        return FSame;
    }
    bool Commit() override {
        char more = 0;
        return FSame && FFile.Read(&more, 1) == 0;
    }

  private:
    IFileReader& FFile;
    std::vector<char> FBuffer;
    bool FSame = true;
};

}  // namespace

std::string GetProgramDir(IFileSystem& fileSystem) {
    return FolderOf(fileSystem.ProgramPath());
}

std::string GetCacheDir(IFileSystem& fileSystem) {
    const std::string program = fileSystem.ProgramPath();
    return FolderOf(program) + kCacheFolderName + DelimiterOf(program);
}

std::string GetCacheFileName(IFileSystem& fileSystem, std::int32_t index) {
    return GetCacheFileName(GetCacheDir(fileSystem), index);
}

std::string GetCacheFileName(const std::string& cacheDir, std::int32_t index) {
    return cacheDir + std::to_string(index) + ".bmp";
}

std::string GetPageAddressFileName(const std::string& cacheDir, std::int32_t index) {
    return cacheDir + std::to_string(index) + ".url";
}

bool WritePageAddress(IFileSystem& fileSystem,
                      const std::string& cacheDir,
                      std::int32_t index,
                      const std::string& url) {
    if (PageAddressIs(fileSystem, cacheDir, index, url))
        return true;
    const std::string text = url + "\n";
    const std::unique_ptr<IFileWriter> writer =
        fileSystem.CreateReplacing(GetPageAddressFileName(cacheDir, index));
    return writer && writer->Write(text.data(), text.size()) && writer->Commit();
}

bool PageAddressIs(IFileSystem& fileSystem,
                   const std::string& cacheDir,
                   std::int32_t index,
                   const std::string& url) {
    std::string recorded;
    return ReadPageAddress(fileSystem, GetPageAddressFileName(cacheDir, index), recorded) &&
           recorded == url;
}

void RemovePagesFrom(IFileSystem& fileSystem, const std::string& cacheDir, std::int32_t first) {
    for (const char* mask : {"*.bmp", "*.failed", "*.url"}) {
        std::vector<std::string> names;
        ListFiles(fileSystem, cacheDir + mask, 0, names, false);
        for (const std::string& name : names) {
            std::int32_t index = 0;
            if (PageIndexOf(name, index) && index >= first)
                fileSystem.DeleteFile(cacheDir + name);
        }
    }
}

bool PageFileHolds(IFileSystem& fileSystem, const std::string& path, const TPageBitmap& picture) {
    const std::unique_ptr<IFileReader> file = fileSystem.OpenRead(path);
    if (!file)
        return false;
    TComparingWriter same(*file);
    return WriteBmp(same, picture) && same.Commit();
}

void WritePageFile(IFileSystem& fileSystem,
                   const std::string& cacheDir,
                   std::int32_t index,
                   const std::string& url,
                   const TPageBitmap& picture) {
    const std::string path = GetCacheFileName(cacheDir, index);
    const bool sameAddress = PageAddressIs(fileSystem, cacheDir, index, url);
    if (!sameAddress)
        fileSystem.DeleteFile(GetPageAddressFileName(cacheDir, index));
    if (!sameAddress || !PageFileHolds(fileSystem, path, picture) || !fileSystem.TouchFile(path)) {
        const std::unique_ptr<IFileWriter> writer = fileSystem.CreateReplacing(path);
        if (!writer)
            throw Exception("the file \"" + path + "\" cannot be created");
        if (!WriteBmp(*writer, picture) || !writer->Commit())
            throw Exception("the file \"" + path + "\" cannot be written");
    }
    if (!WritePageAddress(fileSystem, cacheDir, index, url))
        throw Exception("the file \"" + GetPageAddressFileName(cacheDir, index) +
                        "\" cannot be written");
}

}  // namespace lum
