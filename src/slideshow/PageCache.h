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

// "%s%d.url": the address that page index's picture was captured from, one
// line of UTF-8. A picture is shown only under that address, so a list that
// changed (an entry edited, removed or moved) never shows one page's picture
// under another's address.
std::string GetPageAddressFileName(const std::string& cacheDir, std::int32_t index);
// Records url as the address of page index, unless its file already holds
// it (an unchanged list costs no writes); false when it cannot be written.
bool WritePageAddress(IFileSystem& fileSystem,
                      const std::string& cacheDir,
                      std::int32_t index,
                      const std::string& url);
// Whether the picture of page index was captured from url: its address file
// holds exactly that address. False without one.
bool PageAddressIs(IFileSystem& fileSystem,
                   const std::string& cacheDir,
                   std::int32_t index,
                   const std::string& url);
// Removes the files of every page from index first on (pictures, failure
// records, addresses; names of other forms are left alone): the pages of
// entries no longer on the list, or (first 0) every page.
void RemovePagesFrom(IFileSystem& fileSystem, const std::string& cacheDir, std::int32_t first);

// Whether the file at path holds exactly the page file that picture makes:
// the capture then only dates it anew instead of writing it again (pages
// that do not change cost no writes, pass after pass). False when the file
// is missing, unreadable or different.
bool PageFileHolds(IFileSystem& fileSystem, const std::string& path, const TPageBitmap& picture);

// Writes picture as page index's file of cacheDir, captured from url, with
// the address beside it. The address of another page's picture goes first,
// so that no program shows the new picture under the old address or the old
// one under the new. A picture equal to the page's file only dates the file
// anew: the display sees a new capture, and a page that does not change is
// not written again pass after pass (the cards of small wall computers wear
// out by writes). Throws lum::Exception naming the file that cannot be
// written.
void WritePageFile(IFileSystem& fileSystem,
                   const std::string& cacheDir,
                   std::int32_t index,
                   const std::string& url,
                   const TPageBitmap& picture);

}  // namespace lum
