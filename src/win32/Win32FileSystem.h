// IFileSystem over the wide file functions of Windows: UTF-8 paths converted
// at the edge, every handle owned by RAII. Failures are results (false, -1,
// nullptr, an empty list); nothing throws.
#pragma once

#include "platform/FileSystem.h"

namespace lum::win32 {

class TWin32FileSystem : public IFileSystem {
  public:
    std::string ProgramPath() override;
    bool CreateDirectory(const std::string& path) override;
    std::int32_t FileDate(const std::string& path) override;
    std::vector<TFileEntry> FindFiles(const std::string& mask) override;
    bool DeleteFile(const std::string& path) override;
    std::unique_ptr<IFileReader> OpenRead(const std::string& path) override;
    // Writes "<path>.tmp" beside the target. Its extension is "tmp" in the
    // long name and in the generated 8.3 name alike, so a "*.bmp" listing
    // (which also matches short names) never shows it.
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) override;
    bool TouchFile(const std::string& path) override;
};

// The temporary name CreateReplacing writes under.
std::string ReplacingTempName(const std::string& path);

}  // namespace lum::win32
