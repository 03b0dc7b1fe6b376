// Fuzzes the BMP reader with arbitrary files: it either throws lum::Exception
// or returns a picture of the size its header gives, with the unused byte of
// every pixel clear. Each input also seeds a small image that must survive
// WriteBmp and ReadBmp pixel for pixel. Any other outcome aborts.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/Bmp.h"
#include "fakes/FakeFileSystem.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::uint32_t Get32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A picture the reader returned must match the width and height fields.
void CheckDecoded(const std::uint8_t* data, std::size_t size, const lum::TPageBitmap& bitmap) {
    Check(size >= 26);
    const bool core = Get32(data + 14) == 12;
    const std::int64_t width = core ? (data[18] | data[19] << 8) : std::int32_t(Get32(data + 18));
    std::int64_t height = core ? (data[20] | data[21] << 8) : std::int32_t(Get32(data + 22));
    if (height < 0)
        height = -height;
    Check(bitmap.Width() == width && bitmap.Height() == height);
    Check(width > 0 && width <= lum::kBmpMaxSide && height > 0 && height <= lum::kBmpMaxSide);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::uint32_t* pixels = bitmap.Pixels();
    for (std::size_t i = 0; i < count; ++i)
        Check((pixels[i] >> 24) == 0);  // all in bounds
}

// What a stored pixel of the plain layouts must read back as.
std::uint32_t Expected(const lum::TBmpImage& image, int x, int y) {
    const std::uint32_t stride = lum::BmpRowStride(image.Width, image.BitsPerPixel);
    const std::uint8_t* row = image.Rows.data() + (image.Height - 1 - y) * stride;
    const int bits = image.BitsPerPixel;
    if (bits <= 8) {
        const int bit = x * bits;
        const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        return index < image.Palette.size() ? image.Palette[index] & 0xFFFFFF : 0;
    }
    const std::uint8_t* p = row + x * bits / 8;
    if (bits == 16) {
        const unsigned v = p[0] | p[1] << 8;
        auto scale = [](unsigned c) { return (c * 255 + 15) / 31; };
        return scale(v >> 10 & 31) << 16 | scale(v >> 5 & 31) << 8 | scale(v & 31);
    }
    return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
}

// A small image of a depth and size taken from the input, its rows and
// palette filled from the input too.
void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    static const std::uint16_t kDepths[] = {1, 4, 8, 16, 24, 32};
    lum::TBmpImage image;
    image.Width = 1 + data[0] % 64;
    image.Height = 1 + data[1] % 64;
    image.BitsPerPixel = kDepths[data[2] % 6];
    Bytes rows(lum::BmpRowStride(image.Width, image.BitsPerPixel) * image.Height);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = data[4 + (i * 7) % (size - 4)];
    std::vector<std::uint32_t> palette;
    if (image.BitsPerPixel <= 8) {
        palette.resize(1 + data[3] % (1u << image.BitsPerPixel));
        for (std::size_t i = 0; i < palette.size(); ++i)
            palette[i] = Get32(data + (i % (size - 3)));
    }
    image.Rows = rows;
    image.Palette = palette;
    lum::fakes::TMemoryWriter writer;
    Check(lum::WriteBmp(writer, image));
    lum::fakes::TMemoryReader reader(std::move(writer.Bytes));
    const lum::TPageBitmap bitmap = lum::ReadBmp(reader);
    Check(bitmap.Width() == image.Width && bitmap.Height() == image.Height);
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x)
            Check(bitmap.Pixel(x, y) == Expected(image, x, y));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        lum::fakes::TMemoryReader reader(Bytes(data, data + size));
        const lum::TPageBitmap bitmap = lum::ReadBmp(reader);
        CheckDecoded(data, size, bitmap);
    } catch (const lum::Exception&) {
        // refused: the expected outcome for most inputs
    }
    if (size >= 8)
        CheckRoundTrip(data, size);
    return 0;
}
