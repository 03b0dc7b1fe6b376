// The byte layout of Windows bitmap files shared by the BMP reader and writer:
// header sizes, compression codes and little-endian field access that does
// not depend on the host's byte order or structure packing.
#pragma once

#include <bit>
#include <cstdint>

namespace lum::bmp {

constexpr std::uint32_t kFileHeaderSize = 14;  // "BM", file size, reserved, pixel offset
constexpr std::uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
constexpr std::uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr std::uint32_t kV2HeaderSize = 52;    // + red, green, blue masks
constexpr std::uint32_t kV3HeaderSize = 56;    // + alpha mask
constexpr std::uint32_t kV4HeaderSize = 108;   // + colour space
constexpr std::uint32_t kV5HeaderSize = 124;   // + rendering intent, profile

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;

constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dots per inch

// Bytes of one row padded to 4 bytes, in 64 bits so no width overflows.
constexpr std::uint64_t RowStride(std::uint64_t width, std::uint32_t bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// A mask whose set bits form one run (or no bits at all).
constexpr bool IsContiguousMask(std::uint32_t mask) {
    if (mask == 0)
        return true;
    const std::uint32_t run = mask >> std::countr_zero(mask);
    return (run & (run + 1)) == 0;
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::int32_t GetI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(GetU32(p));
}

inline std::uint8_t* PutU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    return p + 2;
}

inline std::uint8_t* PutU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return p + 4;
}

}  // namespace lum::bmp
