// The page cache's names: the program folder, the cache folder
// "LumenaryCache" beside the program (the Windows program's cache; another
// platform names its own folder), and the file of each page index. Plain
// functions without state; they never fail (an unknown program path gives a
// folder relative to the current drive's root).
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

namespace lum {

class TPageBitmap;

inline constexpr const char* kCacheFolderName = "LumenaryCache";

// The folder of the running program file, ending in one path delimiter.
std::string GetProgramDir(IFileSystem& fileSystem);
// The program folder followed by "LumenaryCache" and a path delimiter.
std::string GetCacheDir(IFileSystem& fileSystem);
// "%s%d.bmp" of the cache folder beside the program and the page index.
std::string GetCacheFileName(IFileSystem& fileSystem, std::int32_t index);
// "%s%d.bmp" of the given cache folder (ending in a delimiter) and the index.
std::string GetCacheFileName(const std::string& cacheDir, std::int32_t index);

// Whether the file at path holds exactly the page file that picture makes:
// the capture then only dates it anew instead of writing it again (pages
// that do not change cost no writes, pass after pass). False when the file
// is missing, unreadable or different.
bool PageFileHolds(IFileSystem& fileSystem, const std::string& path, const TPageBitmap& picture);

}  // namespace lum
