// The decoded page picture and the BMP writer; the reader is in BmpReader.cpp.
#include "common/Bmp.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "common/BmpFormat.h"

namespace lum {

using namespace bmp;

namespace {

bool FitsLimits(std::int64_t width, std::int64_t height) {
    return width <= kBmpMaxSide && height <= kBmpMaxSide &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 <=
               kBmpMaxBytes;
}

std::string SizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

void CheckPalette(const TBmpImage& image) {
    if (image.BitsPerPixel > 8)
        return;
    const std::size_t full = std::size_t{1} << image.BitsPerPixel;
    if (image.Palette.empty() || image.Palette.size() > full) {
        throw Exception("a bitmap of " + std::to_string(image.BitsPerPixel) +
                        " bits per pixel needs a colour table of 1 to " + std::to_string(full) +
                        " entries");
    }
}

// Throws when the image cannot be saved as a bitmap file. Only the format
// bounds the size (the file size field has 32 bits): a picture beyond the
// reader's limits is still saved, and refused when it is read.
void CheckImage(const TBmpImage& image) {
    const auto bits = image.BitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw Exception("cannot save a bitmap of " + std::to_string(bits) + " bits per pixel");
    if (image.Width <= 0 || image.Height <= 0)
        throw Exception("bitmap to save has no pixels: " + SizeText(image.Width, image.Height));
    const std::uint64_t needed = RowStride(image.Width, bits) * image.Height;
    if (needed + kFileHeaderSize + kInfoHeaderSize + 256 * 4 > 0xFFFFFFFFu)
        throw Exception("bitmap of " + SizeText(image.Width, image.Height) +
                        " is too large to save");
    if (image.Rows.size() < needed) {
        throw Exception("bitmap to save holds " + std::to_string(image.Rows.size()) +
                        " bytes of rows where " + std::to_string(needed) + " are needed");
    }
    CheckPalette(image);
}

}  // namespace

TPageBitmap::TPageBitmap(std::int32_t width, std::int32_t height) {
    Resize(width, height);
}

void TPageBitmap::Resize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0 || !FitsLimits(width, height))
        throw Exception("cannot make a bitmap of " + SizeText(width, height));
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // A new block rather than a grown one: the old pixels need no copying.
    if (count > FPixels.capacity() || count < FPixels.capacity() / 2)
        Clear();
    try {
        FPixels.resize(count);
    } catch (const std::bad_alloc&) {
        Clear();
        throw OutOfMemory("not enough memory for a bitmap of " + SizeText(width, height));
    }
    FWidth = count ? width : 0;
    FHeight = count ? height : 0;
}

void TPageBitmap::Clear() {
    std::vector<std::uint32_t>().swap(FPixels);
    FWidth = 0;
    FHeight = 0;
}

std::uint32_t BmpRowStride(std::int32_t width, std::uint16_t bitsPerPixel) {
    if (width <= 0)
        return 0;
    const std::uint64_t stride = RowStride(static_cast<std::uint64_t>(width), bitsPerPixel);
    return stride > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(stride);
}

namespace {

// File header, BITMAPINFOHEADER and colour table of a checked image.
bool WriteBmpHead(IFileWriter& writer, const TBmpImage& image) {
    const auto colours =
        static_cast<std::uint32_t>(image.BitsPerPixel <= 8 ? image.Palette.size() : 0);
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + colours * 4;
    // CheckImage keeps the file below 4 GiB, so the sizes fit their fields.
    const auto imageBytes =
        static_cast<std::uint32_t>(RowStride(image.Width, image.BitsPerPixel) * image.Height);
    const std::uint32_t fullColours = 1u << (image.BitsPerPixel <= 8 ? image.BitsPerPixel : 0);

    std::vector<std::uint8_t> head(offset);
    std::uint8_t* p = head.data();
    *p++ = 'B';
    *p++ = 'M';
    p = PutU32(p, offset + imageBytes);
    p = PutU32(p, 0);  // reserved
    p = PutU32(p, offset);
    p = PutU32(p, kInfoHeaderSize);
    p = PutU32(p, static_cast<std::uint32_t>(image.Width));
    p = PutU32(p, static_cast<std::uint32_t>(image.Height));
    p = PutU16(p, 1);  // planes
    p = PutU16(p, image.BitsPerPixel);
    p = PutU32(p, kBiRgb);  // 16 bits: 5-5-5; 32 bits: B, G, R, unused
    p = PutU32(p, imageBytes);
    p = PutU32(p, kPixelsPerMetre);
    p = PutU32(p, kPixelsPerMetre);
    p = PutU32(p, colours == fullColours ? 0 : colours);  // 0: the full table of the depth
    p = PutU32(p, 0);                                     // all colours important
    for (std::uint32_t i = 0; i < colours; ++i)
        p = PutU32(p, image.Palette[i] & 0x00FFFFFFu);
    return writer.Write(head.data(), head.size());
}

}  // namespace

bool WriteBmp(IFileWriter& writer, const TBmpImage& image) {
    CheckImage(image);
    const auto imageBytes =
        static_cast<std::uint32_t>(RowStride(image.Width, image.BitsPerPixel) * image.Height);
    return WriteBmpHead(writer, image) && writer.Write(image.Rows.data(), imageBytes);
}

bool WriteBmp(IFileWriter& writer, const TPageBitmap& picture) {
    const std::int32_t width = picture.Width();
    const std::int32_t height = picture.Height();
    if (width <= 0 || height <= 0 || picture.Empty())
        throw Exception("an empty picture cannot be saved");
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    TBmpImage image;
    image.Width = width;
    image.Height = height;
    image.BitsPerPixel = 32;
    image.Rows = std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(picture.Pixels()), rowBytes * height);
    CheckImage(image);
    if (!WriteBmpHead(writer, image))
        return false;
    // The file keeps its rows bottom-up, the picture top-down: the rows go
    // out in reverse, gathered into blocks so that a tall page costs few
    // writes. 32-bit rows need no padding.
    const std::size_t rowsPerBlock = std::max<std::size_t>(1, (256 * 1024) / rowBytes);
    std::vector<std::uint8_t> block;
    block.reserve(rowsPerBlock * rowBytes);
    for (std::int32_t y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(
            picture.Pixels() + static_cast<std::size_t>(y) * width);
        block.insert(block.end(), row, row + rowBytes);
        if (block.size() >= rowsPerBlock * rowBytes || y == 0) {
            if (!writer.Write(block.data(), block.size()))
                return false;
            block.clear();
        }
    }
    return true;
}

}  // namespace lum
