#include "win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>

// <windows.h> maps these names to their A/W functions; the interface's own
// methods carry the plain names, and the W functions are called explicitly.
#undef CreateDirectory
#undef DeleteFile

#include "win32/Strings.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {

namespace {

// ReadFile and WriteFile take 32-bit counts; large buffers go in pieces.
constexpr std::size_t kChunk = 1u << 20;

std::int32_t PackFileTime(const FILETIME& utc) {
    // Local time, then the DOS layout; FileTimeToDosDateTime fails for years
    // before 1980 and after 2107, which count as no date.
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    if (!::FileTimeToLocalFileTime(&utc, &local) ||
        !::FileTimeToDosDateTime(&local, &date, &time)) {
        return -1;
    }
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time);
}

class TWin32FileReader : public IFileReader {
  public:
    explicit TWin32FileReader(UniqueKernelHandle file) : FFile(std::move(file)) {}

    std::uint64_t Size() override {
        LARGE_INTEGER size{};
        return ::GetFileSizeEx(FFile.Get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }

    std::size_t Read(void* buffer, std::size_t count) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::size_t total = 0;
        while (total < count) {
            const DWORD want = static_cast<DWORD>(std::min(count - total, kChunk));
            DWORD got = 0;
            if (!::ReadFile(FFile.Get(), out + total, want, &got, nullptr) || got == 0)
                break;
            total += got;
        }
        return total;
    }

    bool Seek(std::uint64_t position) override {
        if (position > Size())
            return false;
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(position);
        return ::SetFilePointerEx(FFile.Get(), to, nullptr, FILE_BEGIN) != 0;
    }

  private:
    UniqueKernelHandle FFile;
};

class TWin32FileWriter : public IFileWriter {
  public:
    TWin32FileWriter(UniqueKernelHandle file, std::wstring tempPath, std::wstring targetPath)
        : FFile(std::move(file)), FTemp(std::move(tempPath)), FTarget(std::move(targetPath)) {}

    ~TWin32FileWriter() override {
        if (FCommitted)
            return;
        FFile.Reset();
        ::DeleteFileW(FTemp.c_str());
    }

    bool Write(const void* data, std::size_t count) override {
        const auto* in = static_cast<const std::uint8_t*>(data);
        std::size_t total = 0;
        while (FOk && FFile && total < count) {
            const DWORD want = static_cast<DWORD>(std::min(count - total, kChunk));
            DWORD put = 0;
            if (!::WriteFile(FFile.Get(), in + total, want, &put, nullptr) || put != want) {
                FOk = false;
            }
            total += put;
        }
        return FOk && FFile;
    }

    bool Commit() override {
        if (!FOk || !FFile)
            return false;
        // The data reaches the disk before the rename makes it visible, so
        // no reader ever finds the target name on a half-written file.
        const bool flushed = ::FlushFileBuffers(FFile.Get()) != 0;
        FFile.Reset();
        if (!flushed)
            return false;
        FCommitted = ::MoveFileExW(FTemp.c_str(), FTarget.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        return FCommitted;
    }

  private:
    UniqueKernelHandle FFile;
    std::wstring FTemp;
    std::wstring FTarget;
    bool FOk = true;
    bool FCommitted = false;
};

}  // namespace

std::string ReplacingTempName(const std::string& path) {
    return path + ".tmp";
}

std::string TWin32FileSystem::ProgramPath() {
    // GetModuleFileNameW truncates silently (returning the buffer size) when
    // the buffer is too small; grow it until the whole path fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return Narrow(std::wstring_view(buffer.data(), n));
        if (buffer.size() >= 32768 * 2)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool TWin32FileSystem::CreateDirectory(const std::string& path) {
    return ::CreateDirectoryW(Widen(path).c_str(), nullptr) != 0;
}

std::int32_t TWin32FileSystem::FileDate(const std::string& path) {
    // The attributes call never interprets wildcards, unlike a search; a
    // search is the fallback for a file that another process holds locked.
    const std::wstring wide = Widen(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return -1;
        return PackFileTime(data.ftLastWriteTime);
    }
    if (::GetLastError() != ERROR_SHARING_VIOLATION ||
        wide.find_first_of(L"*?") != std::wstring::npos) {
        return -1;
    }
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(::FindFirstFileW(wide.c_str(), &found));
    if (!search || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return PackFileTime(found.ftLastWriteTime);
}

std::vector<TFileEntry> TWin32FileSystem::FindFiles(const std::string& mask) {
    std::vector<TFileEntry> entries;
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(::FindFirstFileW(Widen(mask).c_str(), &found));
    if (!search)
        return entries;
    do {
        entries.push_back({Narrow(found.cFileName), found.dwFileAttributes});
    } while (::FindNextFileW(search.Get(), &found));
    return entries;
}

bool TWin32FileSystem::DeleteFile(const std::string& path) {
    const std::wstring name = Widen(path);
    if (::DeleteFileW(name.c_str()))
        return true;
    // DeleteFile refuses a read-only file; the cache is emptied whatever the
    // attributes of its pictures, so the flag is cleared and the delete tried
    // once more.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !(attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    if (!::SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    if (::DeleteFileW(name.c_str()))
        return true;
    ::SetFileAttributesW(name.c_str(), attributes);
    return false;
}

std::unique_ptr<IFileReader> TWin32FileSystem::OpenRead(const std::string& path) {
    // Sharing delete lets a writer replace the file by rename while it is open.
    UniqueKernelHandle file(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    return std::make_unique<TWin32FileReader>(std::move(file));
}

std::unique_ptr<IFileWriter> TWin32FileSystem::CreateReplacing(const std::string& path) {
    std::wstring temp = Widen(ReplacingTempName(path));
    UniqueKernelHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    return std::make_unique<TWin32FileWriter>(std::move(file), std::move(temp), Widen(path));
}

// Only the last-write time changes; the file is opened for its attributes
// alone, so a reader that has it open (the display) is not in the way.
bool TWin32FileSystem::TouchFile(const std::string& path) {
    UniqueKernelHandle file(::CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return ::SetFileTime(file.Get(), nullptr, nullptr, &now) != 0;
}

}  // namespace lum::win32
