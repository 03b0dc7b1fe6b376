// Windows bitmap files (BMP): a reader for every uncompressed depth of the
// format and a writer for what the page capture saves. The reader decodes
// straight into the pixel memory that the display draws from and refuses an
// inconsistent or oversized file with a lum::Exception before allocating.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Types.h"

namespace lum {

// A decoded picture: 32-bit pixels, top-down rows, each pixel 0x00RRGGBB
// (the byte order B, G, R, 0 of a 32-bit top-down DIB section).
class TPageBitmap {
  public:
    TPageBitmap() = default;
    TPageBitmap(std::int32_t width, std::int32_t height);
    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    bool Empty() const { return FPixels.empty(); }
    const std::uint32_t* Pixels() const { return FPixels.data(); }
    std::uint32_t* Pixels() { return FPixels.data(); }
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) const {
        return FPixels[static_cast<std::size_t>(y) * FWidth + x];
    }
    void Clear();
    // Bytes of pixel memory the bitmap holds, which may exceed what its size
    // needs (see Resize).
    std::size_t MemoryBytes() const { return FPixels.capacity() * sizeof(std::uint32_t); }
    // Gives the bitmap this size, keeping its memory when that is large enough
    // and not more than twice what is needed (a page reloaded at its size costs
    // no allocation); the pixels are then undefined. Throws lum::Exception for
    // a negative or over-limit size, and lum::OutOfMemory when memory runs
    // out (the bitmap is then empty).
    void Resize(std::int32_t width, std::int32_t height);

  private:
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

// Largest picture the reader accepts.
constexpr std::int32_t kBmpMaxSide = 32767;
constexpr std::uint64_t kBmpMaxBytes = 1ull << 30;  // decoded 32-bit pixels

// Reads a whole BMP file; throws lum::Exception with a clear message when the
// file is truncated, inconsistent, compressed or too large, and
// lum::OutOfMemory (or std::bad_alloc) when its pixels cannot be held.
TPageBitmap ReadBmp(IFileReader& reader);
// The same into an existing bitmap, reusing its memory (see Resize), so that
// reloading a page does not hold two pictures at once; on failure the bitmap
// is left empty.
void ReadBmp(IFileReader& reader, TPageBitmap& bitmap);

// What the capture saves: the pixel rows of a device-independent bitmap as
// GetDIBits returns them (bottom-up, each row padded to 4 bytes), at 1, 4, 8,
// 16, 24 or 32 bits per pixel, with a colour table (0x00RRGGBB entries) at 8
// bits or fewer.
struct TBmpImage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;  // positive: rows bottom-up
    std::uint16_t BitsPerPixel = 32;
    std::span<const std::uint8_t> Rows;
    std::span<const std::uint32_t> Palette;
};

// Bytes of one padded row.
std::uint32_t BmpRowStride(std::int32_t width, std::uint16_t bitsPerPixel);

// Writes file header, BITMAPINFOHEADER, colour table (8 bits or fewer) and
// rows; false when a write fails. Throws lum::Exception on an invalid image.
bool WriteBmp(IFileWriter& writer, const TBmpImage& image);
// Writes a picture as a 32-bit BMP file (rows bottom-up, as the format keeps
// them); false when a write fails. Throws lum::Exception for an empty picture.
bool WriteBmp(IFileWriter& writer, const TPageBitmap& picture);

}  // namespace lum
