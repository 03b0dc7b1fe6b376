#include "common/stdFiles.h"

#include "common/AsciiText.h"

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

bool WildcardMatch(const std::string& mask, const std::string& name, bool ignoreCase) {
    auto same = [ignoreCase](char a, char b) {
        return ignoreCase ? AsciiLower(a) == AsciiLower(b) : a == b;
    };
    // Greedy with one step back to the last "*": linear in practice, and
    // never recursive, whatever the mask.
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t star = std::string::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || same(mask[m], name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

}  // namespace lum
