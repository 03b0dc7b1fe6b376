// Loading a tall page picture: ReadBmp of a 1920 x 16000 file through a POSIX
// file reader, against reading the same bytes with plain reads into a buffer
// allocated once. The files are written to /tmp once; repeated iterations
// read them from the operating system's cache.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/Bmp.h"

namespace {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 16000;

// A file read with open/read/lseek.
class TPosixReader : public lum::IFileReader {
  public:
    explicit TPosixReader(const std::string& path) : FFd(::open(path.c_str(), O_RDONLY)) {
        if (FFd < 0)
            std::abort();
    }
    ~TPosixReader() override { ::close(FFd); }
    std::uint64_t Size() override {
        struct stat info {};
        return ::fstat(FFd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        const ssize_t n = ::read(FFd, buffer, count);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    bool Seek(std::uint64_t position) override {
        return ::lseek(FFd, static_cast<off_t>(position), SEEK_SET) >= 0;
    }

  private:
    int FFd;
};

class TPosixWriter : public lum::IFileWriter {
  public:
    explicit TPosixWriter(const std::string& path) : FFile(std::fopen(path.c_str(), "wb")) {}
    ~TPosixWriter() override {
        if (FFile)
            std::fclose(FFile);
    }
    bool Write(const void* data, std::size_t count) override {
        return FFile && std::fwrite(data, 1, count, FFile) == count;
    }
    bool Commit() override { return true; }

  private:
    std::FILE* FFile;
};

// Writes a page file of the given depth once per process; returns its path.
std::string PageFile(std::uint16_t bits) {
    const std::string path = "/tmp/lum-bmpbench-" + std::to_string(bits) + ".bmp";
    static bool written[33] = {};
    if (written[bits])
        return path;
    const std::uint32_t stride = lum::BmpRowStride(kWidth, bits);
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * kHeight);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<std::uint8_t>(i * 7 + i / 4099);
    lum::TBmpImage image;
    image.Width = kWidth;
    image.Height = kHeight;
    image.BitsPerPixel = bits;
    image.Rows = rows;
    TPosixWriter writer(path);
    if (!lum::WriteBmp(writer, image))
        std::abort();
    written[bits] = true;
    return path;
}

std::uint64_t FileSize(const std::string& path) {
    TPosixReader reader(path);
    return reader.Size();
}

// ReadBmp into a new bitmap each time: includes the first touch of fresh memory.
void BM_ReadBmp(benchmark::State& state, std::uint16_t bits) {
    const std::string path = PageFile(bits);
    for (auto _ : state) {
        TPosixReader reader(path);
        lum::TPageBitmap bitmap = lum::ReadBmp(reader);
        benchmark::DoNotOptimize(bitmap.Pixels());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(path)));
}

// ReadBmp into the bitmap of the previous load, as the display reloads a page.
void BM_ReadBmpReused(benchmark::State& state, std::uint16_t bits) {
    const std::string path = PageFile(bits);
    lum::TPageBitmap bitmap;
    for (auto _ : state) {
        TPosixReader reader(path);
        lum::ReadBmp(reader, bitmap);
        benchmark::DoNotOptimize(bitmap.Pixels());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(path)));
}

void ReadWhole(const std::string& path, std::uint8_t* buffer, std::uint64_t size) {
    TPosixReader reader(path);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t n = reader.Read(buffer + done, size - done);
        if (n == 0)
            std::abort();
        done += n;
    }
}

// The yardstick: the same file's bytes read in one go into a buffer of its size
// allocated once.
void BM_PlainRead(benchmark::State& state, std::uint16_t bits) {
    const std::string path = PageFile(bits);
    const std::uint64_t size = FileSize(path);
    std::vector<std::uint8_t> buffer(size);
    for (auto _ : state) {
        ReadWhole(path, buffer.data(), size);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// The same into a buffer allocated anew each time (the cost of fresh memory).
void BM_PlainReadFresh(benchmark::State& state, std::uint16_t bits) {
    const std::string path = PageFile(bits);
    const std::uint64_t size = FileSize(path);
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
        ReadWhole(path, buffer.get(), size);
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

#define LUM_BMP_BENCH(function, name, bits) \
    BENCHMARK_CAPTURE(function, name, bits)->Unit(benchmark::kMillisecond)->MinTime(2.0)

LUM_BMP_BENCH(BM_PlainRead, 32bit, 32);
LUM_BMP_BENCH(BM_ReadBmpReused, 32bit, 32);
LUM_BMP_BENCH(BM_PlainReadFresh, 32bit, 32);
LUM_BMP_BENCH(BM_ReadBmp, 32bit, 32);
LUM_BMP_BENCH(BM_PlainRead, 24bit, 24);
LUM_BMP_BENCH(BM_ReadBmpReused, 24bit, 24);
LUM_BMP_BENCH(BM_ReadBmp, 24bit, 24);

}  // namespace
