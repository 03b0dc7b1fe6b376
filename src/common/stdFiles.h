// File listing: ListFiles collects the names of the entries that match a
// mask, leaving out those with attributes the caller did not ask for. A
// failing search lists nothing; nothing here throws beyond out-of-memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace lum {

// The attributes that hide an entry unless the attribute mask holds them:
// hidden, system, volume label and directory. 0x3F holds them all.
inline constexpr std::uint32_t kListFilesSkipAttributes =
    FileAttr::Hidden | FileAttr::System | FileAttr::VolumeId | FileAttr::Directory;

// Appends the names (no folder) of the entries matching mask (a path whose
// last part may hold wildcards), in the order the file system lists them,
// without their extension when stripExtension is set. The list is not
// cleared first. True when at least one name was appended.
bool ListFiles(IFileSystem& fileSystem,
               const std::string& mask,
               std::uint32_t attributes,
               std::vector<std::string>& list,
               bool stripExtension);

// The name without its extension: everything from the last "." on.
std::string StripExtension(const std::string& name);

// True when name matches mask, where "*" stands for any run of characters and
// "?" for any one; letters compare without regard to ASCII case when
// ignoreCase is set (the Windows rule), exactly otherwise.
bool WildcardMatch(const std::string& mask, const std::string& name, bool ignoreCase);

}  // namespace lum
