#include "common/stdFiles.h"

namespace lum {

std::string StripExtension(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool ListFiles(IFileSystem& fileSystem,
               const std::string& mask,
               std::uint32_t attributes,
               std::vector<std::string>& list,
               bool stripExtension) {
    bool found = false;
    for (const TFileEntry& entry : fileSystem.FindFiles(mask)) {
        if ((entry.Attributes & kListFilesSkipAttributes & ~attributes) != 0)
            continue;
        list.push_back(stripExtension ? StripExtension(entry.Name) : entry.Name);
        found = true;
    }
    return found;
}

}  // namespace lum
