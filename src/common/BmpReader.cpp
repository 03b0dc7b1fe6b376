// The BMP reader. Every size is checked in 64 bits against the file and the
// limits before the picture is allocated; the pixels are then read in chunks
// of rows straight into the picture (32 bits) or through one chunk buffer.
#include <algorithm>
#include <array>
#include <bit>
#include <new>
#include <string>

#include "common/Bmp.h"
#include "common/BmpFormat.h"

namespace lum {

using namespace bmp;

namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;  // rows read per call, kept within the cache
constexpr std::uint32_t kRgbBits = 0x00FFFFFFu;
constexpr std::uint32_t kMaxHeadBytes = kFileHeaderSize + kV5HeaderSize;

[[noreturn]] void Fail(const std::string& message) {
    throw Exception(message);
}

[[noreturn]] void FailTruncated() {
    Fail("bitmap file is truncated");
}

void ReadExact(IFileReader& reader, void* buffer, std::size_t count) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const std::size_t n = reader.Read(p, count);
        if (n == 0 || n > count)
            FailTruncated();
        p += n;
        count -= n;
    }
}

// One colour channel of a 16- or 32-bit pixel: the masked value is shifted
// down to at most 8 bits and scaled to 0..255 by a table.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::array<std::uint8_t, 256> Scale{};
    std::uint32_t Get(std::uint32_t pixel) const { return Scale[(pixel & Mask) >> Shift]; }
};

TChannel MakeChannel(std::uint32_t mask) {
    TChannel channel;
    channel.Mask = mask;
    if (mask == 0)
        return channel;  // the channel is always 0
    const int bits = std::popcount(mask);
    const int kept = std::min(bits, 8);
    channel.Shift = std::countr_zero(mask) + bits - kept;
    const std::uint32_t top = (1u << kept) - 1;
    for (std::uint32_t v = 0; v <= top; ++v)
        channel.Scale[v] = static_cast<std::uint8_t>((v * 255 + top / 2) / top);
    return channel;
}

// What the headers say, checked.
struct TLayout {
    std::uint64_t FileSize = 0;
    std::uint32_t HeaderSize = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0;  // rows; negative in the file for top-down rows
    bool TopDown = false;
    std::uint16_t Planes = 0;
    std::uint16_t Bits = 0;
    std::uint32_t Compression = kBiRgb;
    std::uint32_t ColoursUsed = 0;
    std::array<std::uint32_t, 3> Masks{};  // red, green, blue
    std::uint32_t TableStart = 0;          // first byte after headers and masks
    std::uint32_t Offset = 0;              // first pixel byte
    std::uint64_t Stride = 0;
    std::array<std::uint32_t, 256> Palette{};  // entries the file lacks stay black
    std::array<TChannel, 3> Channels;
};

std::string SizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

void ParseInfoHeader(const std::uint8_t* info, TLayout& l) {
    if (l.HeaderSize == kCoreHeaderSize) {
        l.Width = GetU16(info + 4);
        l.Height = GetU16(info + 6);
        l.Planes = GetU16(info + 8);
        l.Bits = GetU16(info + 10);
        return;
    }
    l.Width = GetI32(info + 4);
    l.Height = GetI32(info + 8);
    l.Planes = GetU16(info + 12);
    l.Bits = GetU16(info + 14);
    l.Compression = GetU32(info + 16);
    l.ColoursUsed = GetU32(info + 32);
    if (l.HeaderSize >= kV2HeaderSize)
        l.Masks = {GetU32(info + 40), GetU32(info + 44), GetU32(info + 48)};
    if (l.Height < 0) {
        l.TopDown = true;
        l.Height = -l.Height;  // 64 bits: INT_MIN becomes 2^31 and fails the size check
    }
}

void CheckDimensions(const TLayout& l) {
    if (l.Planes != 1)
        Fail("bitmap header is inconsistent: " + std::to_string(l.Planes) + " colour planes");
    if (l.Width <= 0 || l.Height == 0)
        Fail("bitmap header is inconsistent: the picture is " + SizeText(l.Width, l.Height));
    if (l.Width > kBmpMaxSide || l.Height > kBmpMaxSide ||
        static_cast<std::uint64_t>(l.Width * l.Height) * 4 > kBmpMaxBytes) {
        Fail("bitmap of " + SizeText(l.Width, l.Height) + " is too large");
    }
}

void CheckFormat(const TLayout& l) {
    const auto bits = l.Bits;
    const bool core = l.HeaderSize == kCoreHeaderSize;
    const bool known =
        bits == 1 || bits == 4 || bits == 8 || bits == 24 || (!core && (bits == 16 || bits == 32));
    switch (l.Compression) {
        case kBiRgb:
            if (!known)
                Fail("bitmap depth of " + std::to_string(bits) +
                     " bits per pixel is not supported");
            return;
        case kBiBitfields:
        case kBiAlphaBitfields:
            if (bits != 16 && bits != 32)
                Fail("bitmap with colour masks at " + std::to_string(bits) +
                     " bits per pixel is not supported");
            return;
        case kBiRle8:
        case kBiRle4:
            Fail("run-length compressed bitmap files are not supported");
        case kBiJpeg:
        case kBiPng:
            Fail("bitmap files holding JPEG or PNG data are not supported");
        default:
            Fail("bitmap compression " + std::to_string(l.Compression) + " is not supported");
    }
}

// The colour masks: after a 40-byte header or inside a longer one for bit
// fields, the defaults of the depth otherwise.
void ReadMasks(IFileReader& reader, TLayout& l) {
    l.TableStart = kFileHeaderSize + l.HeaderSize;
    if (l.Compression == kBiRgb) {
        l.Masks = l.Bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                               : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    } else if (l.HeaderSize == kInfoHeaderSize) {
        std::uint8_t bytes[16];
        const std::uint32_t count = l.Compression == kBiAlphaBitfields ? 16 : 12;
        ReadExact(reader, bytes, count);
        l.Masks = {GetU32(bytes), GetU32(bytes + 4), GetU32(bytes + 8)};
        l.TableStart += count;
    }
    const std::uint32_t limit = l.Bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    for (std::size_t i = 0; i < 3; ++i) {
        if (!IsContiguousMask(l.Masks[i]) || (l.Masks[i] & ~limit) != 0)
            Fail("bitmap colour masks are invalid");
        l.Channels[i] = MakeChannel(l.Masks[i]);
    }
}

void CheckPlacement(TLayout& l) {
    if (l.Offset < l.TableStart)
        Fail("bitmap pixel data offset " + std::to_string(l.Offset) + " points into the headers");
    if (l.Offset > l.FileSize)
        Fail("bitmap pixel data offset " + std::to_string(l.Offset) +
             " lies beyond the end of the file");
    l.Stride = RowStride(static_cast<std::uint64_t>(l.Width), l.Bits);
    if (l.FileSize - l.Offset < l.Stride * static_cast<std::uint64_t>(l.Height))
        FailTruncated();
}

// The colour table at 8 bits or fewer: biClrUsed entries (0: the full table of
// the depth, more than that: clamped), and no more than fit before the pixels.
void ReadPalette(IFileReader& reader, TLayout& l) {
    if (l.Bits > 8)
        return;
    const std::uint32_t full = 1u << l.Bits;
    const std::uint32_t entrySize = l.HeaderSize == kCoreHeaderSize ? 3 : 4;
    std::uint32_t count = l.ColoursUsed == 0 ? full : std::min(l.ColoursUsed, full);
    count = std::min(count, (l.Offset - l.TableStart) / entrySize);
    std::uint8_t table[256 * 4];
    ReadExact(reader, table, count * entrySize);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = table + i * entrySize;
        l.Palette[i] = static_cast<std::uint32_t>(entry[0]) | entry[1] << 8 | entry[2] << 16;
    }
}

TLayout ReadLayout(IFileReader& reader) {
    TLayout l;
    l.FileSize = reader.Size();
    if (l.FileSize == 0)
        Fail("bitmap file is empty");
    std::uint8_t head[kMaxHeadBytes];
    ReadExact(reader, head, 2);
    if (head[0] != 'B' || head[1] != 'M')
        Fail("not a bitmap file: it does not begin with \"BM\"");
    ReadExact(reader, head + 2, kFileHeaderSize + 2);
    l.Offset = GetU32(head + 10);
    l.HeaderSize = GetU32(head + kFileHeaderSize);
    const auto size = l.HeaderSize;
    if (size != kCoreHeaderSize && size != kInfoHeaderSize && size != kV2HeaderSize &&
        size != kV3HeaderSize && size != kV4HeaderSize && size != kV5HeaderSize)
        Fail("bitmap header of " + std::to_string(size) + " bytes is not supported");
    ReadExact(reader, head + kFileHeaderSize + 4, size - 4);
    ParseInfoHeader(head + kFileHeaderSize, l);
    CheckDimensions(l);
    CheckFormat(l);
    ReadMasks(reader, l);
    CheckPlacement(l);
    ReadPalette(reader, l);
    if (!reader.Seek(l.Offset))
        FailTruncated();
    return l;
}

std::uint32_t Pack(const TLayout& l, std::uint32_t pixel) {
    return l.Channels[0].Get(pixel) << 16 | l.Channels[1].Get(pixel) << 8 |
           l.Channels[2].Get(pixel);
}

using TRowDecoder = void (*)(const std::uint8_t*, std::uint32_t*, std::size_t, const TLayout&);

void DecodeRow1(const std::uint8_t* s, std::uint32_t* d, std::size_t w, const TLayout& l) {
    for (std::size_t x = 0; x < w; ++x)
        d[x] = l.Palette[(s[x >> 3] >> (7 - (x & 7))) & 1];
}

void DecodeRow4(const std::uint8_t* s, std::uint32_t* d, std::size_t w, const TLayout& l) {
    for (std::size_t x = 0; x < w; ++x)
        d[x] = l.Palette[(x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4)];
}

void DecodeRow8(const std::uint8_t* s, std::uint32_t* d, std::size_t w, const TLayout& l) {
    for (std::size_t x = 0; x < w; ++x)
        d[x] = l.Palette[s[x]];
}

void DecodeRow16(const std::uint8_t* s, std::uint32_t* d, std::size_t w, const TLayout& l) {
    for (std::size_t x = 0; x < w; ++x)
        d[x] = Pack(l, GetU16(s + 2 * x));
}

void DecodeRow24(const std::uint8_t* s, std::uint32_t* d, std::size_t w, const TLayout&) {
    for (std::size_t x = 0; x < w; ++x, s += 3)
        d[x] = static_cast<std::uint32_t>(s[0]) | s[1] << 8 | s[2] << 16;
}

void DecodeRow32(const std::uint8_t* s, std::uint32_t* d, std::size_t w, const TLayout& l) {
    for (std::size_t x = 0; x < w; ++x)
        d[x] = Pack(l, GetU32(s + 4 * x));
}

TRowDecoder RowDecoder(std::uint16_t bits) {
    switch (bits) {
        case 1:
            return DecodeRow1;
        case 4:
            return DecodeRow4;
        case 8:
            return DecodeRow8;
        case 16:
            return DecodeRow16;
        case 24:
            return DecodeRow24;
        default:
            return DecodeRow32;
    }
}

std::size_t ChunkRows(std::uint64_t rowBytes, std::size_t rows) {
    return std::min<std::size_t>(rows, std::max<std::size_t>(1, kChunkBytes / rowBytes));
}

// Any depth: a chunk of file rows at a time into a buffer, each row then
// converted into its place in the picture.
void DecodeConverted(IFileReader& reader, const TLayout& l, TPageBitmap& bitmap) {
    const TRowDecoder decode = RowDecoder(l.Bits);
    const auto width = static_cast<std::size_t>(l.Width);
    const auto rows = static_cast<std::size_t>(l.Height);
    const auto stride = static_cast<std::size_t>(l.Stride);
    std::vector<std::uint8_t> chunk(ChunkRows(stride, rows) * stride);
    for (std::size_t done = 0; done < rows;) {
        const std::size_t count = std::min(chunk.size() / stride, rows - done);
        ReadExact(reader, chunk.data(), count * stride);
        for (std::size_t i = 0; i < count; ++i, ++done) {
            const std::size_t y = l.TopDown ? done : rows - 1 - done;
            decode(chunk.data() + i * stride, bitmap.Pixels() + y * width, width, l);
        }
    }
}

// Puts the rows of a block in the opposite order and clears the unused byte.
void ReverseRows(std::uint32_t* block, std::size_t count, std::size_t width) {
    for (std::size_t i = 0, j = count - 1; i < j; ++i, --j) {
        std::uint32_t* a = block + i * width;
        std::uint32_t* b = block + j * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t t = a[x];
            a[x] = b[x] & kRgbBits;
            b[x] = t & kRgbBits;
        }
    }
    if (count % 2 == 1) {
        std::uint32_t* middle = block + (count / 2) * width;
        for (std::size_t x = 0; x < width; ++x)
            middle[x] &= kRgbBits;
    }
}

// 32 bits B, G, R, unused on a little-endian host: the file's rows are the
// picture's rows, so each chunk is read straight into its place; a bottom-up
// chunk lands on its rows in reverse order and is turned round in the cache.
void DecodeDirect(IFileReader& reader, const TLayout& l, TPageBitmap& bitmap) {
    const auto width = static_cast<std::size_t>(l.Width);
    const auto rows = static_cast<std::size_t>(l.Height);
    const std::size_t chunkRows = ChunkRows(width * 4, rows);
    for (std::size_t done = 0; done < rows;) {
        const std::size_t count = std::min(chunkRows, rows - done);
        const std::size_t first = l.TopDown ? done : rows - done - count;
        std::uint32_t* block = bitmap.Pixels() + first * width;
        ReadExact(reader, block, count * width * 4);
        if (l.TopDown) {
            for (std::size_t i = 0; i < count * width; ++i)
                block[i] &= kRgbBits;
        } else {
            ReverseRows(block, count, width);
        }
        done += count;
    }
}

bool IsDirect(const TLayout& l) {
    return std::endian::native == std::endian::little && l.Bits == 32 &&
           l.Masks == std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
}

}  // namespace

void ReadBmp(IFileReader& reader, TPageBitmap& bitmap) {
    try {
        const TLayout layout = ReadLayout(reader);
        bitmap.Resize(static_cast<std::int32_t>(layout.Width),
                      static_cast<std::int32_t>(layout.Height));
        if (IsDirect(layout))
            DecodeDirect(reader, layout, bitmap);
        else
            DecodeConverted(reader, layout, bitmap);
    } catch (...) {
        bitmap.Clear();
        throw;
    }
}

TPageBitmap ReadBmp(IFileReader& reader) {
    TPageBitmap bitmap;
    ReadBmp(reader, bitmap);
    return bitmap;
}

}  // namespace lum
