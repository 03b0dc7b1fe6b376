#include "slideshow/PageCache.h"

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

}  // namespace lum
