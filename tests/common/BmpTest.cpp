#include "common/Bmp.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"

namespace lum {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 2; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A bitmap file built field by field, so a test can break any of them.
struct THandBmp {
    std::uint32_t HeaderSize = 40;
    std::int32_t Width = 2;
    std::int32_t Height = 2;
    std::uint16_t Planes = 1;
    std::uint16_t Bits = 24;
    std::uint32_t Compression = 0;
    std::uint32_t ColoursUsed = 0;
    std::array<std::uint32_t, 3> Masks{};  // inside a V2+ header, or after a 40-byte one
    bool MasksAfterHeader = false;
    std::vector<std::uint32_t> Palette;  // 0x00RRGGBB
    Bytes Rows;                          // as stored
    long OffsetShift = 0;                // added to the correct pixel offset

    Bytes Build() const {
        Bytes info;
        if (HeaderSize == 12) {
            Put32(info, 12);
            Put16(info, Width);
            Put16(info, Height);
            Put16(info, Planes);
            Put16(info, Bits);
        } else {
            for (std::uint32_t v : {HeaderSize, std::uint32_t(Width), std::uint32_t(Height)})
                Put32(info, v);
            Put16(info, Planes);
            Put16(info, Bits);
            for (std::uint32_t v :
                 {Compression, std::uint32_t(Rows.size()), 3780u, 3780u, ColoursUsed, 0u})
                Put32(info, v);
            if (HeaderSize >= 52 || MasksAfterHeader)
                for (std::uint32_t m : Masks)
                    Put32(info, m);
            info.resize(HeaderSize + (MasksAfterHeader ? 12 : 0), 0);
        }
        for (std::uint32_t c : Palette) {
            for (int i = 0; i < 3; ++i)
                info.push_back(static_cast<std::uint8_t>(c >> (8 * i)));
            if (HeaderSize != 12)
                info.push_back(0);
        }
        const auto offset = static_cast<std::uint32_t>(14 + info.size() + OffsetShift);
        Bytes file{'B', 'M'};
        Put32(file, static_cast<std::uint32_t>(14 + info.size() + Rows.size()));
        Put32(file, 0);
        Put32(file, offset);
        file.insert(file.end(), info.begin(), info.end());
        file.insert(file.end(), Rows.begin(), Rows.end());
        return file;
    }
};

TPageBitmap Read(Bytes bytes) {
    fakes::TMemoryReader reader(std::move(bytes));
    return ReadBmp(reader);
}

// The message of the exception that reading throws, or "" when it reads.
std::string ReadError(Bytes bytes) {
    try {
        Read(std::move(bytes));
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TBmpImage Image(std::int32_t width,
                std::int32_t height,
                std::uint16_t bits,
                std::span<const std::uint8_t> rows,
                std::span<const std::uint32_t> palette = {}) {
    TBmpImage image;
    image.Width = width;
    image.Height = height;
    image.BitsPerPixel = bits;
    image.Rows = rows;
    image.Palette = palette;
    return image;
}

Bytes Write(const TBmpImage& image) {
    fakes::TMemoryWriter writer;
    EXPECT_TRUE(WriteBmp(writer, image));
    return writer.Bytes;
}

// The eight colours whose channels are 0 or 255: exact at every depth.
std::uint32_t Primary(int k) {
    return (k & 4 ? 0xFF0000u : 0) | (k & 2 ? 0xFF00u : 0) | (k & 1 ? 0xFFu : 0);
}

// One depth of the round trip: below 16 bits the colour table holds the
// primaries in reverse order; above, the pixels are the masks of the channels.
struct TDepthCase {
    std::uint16_t Bits;
    std::array<std::uint32_t, 3> Masks;  // red, green, blue
    bool Bitfields;                      // stored with the masks by a hand-built file

    int Key(int x, int y) const { return (x + 3 * y) % (Bits == 1 ? 2 : 8); }
    std::uint32_t Colour(int x, int y) const {
        return Primary(Bits <= 8 ? 7 - Key(x, y) : Key(x, y));
    }
    std::uint32_t Stored(int x, int y) const {
        const int k = Key(x, y);
        if (Bits <= 8)
            return k;
        return (k & 4 ? Masks[0] : 0) | (k & 2 ? Masks[1] : 0) | (k & 1 ? Masks[2] : 0) |
               (Bits == 32 && !Bitfields ? 0xFF000000u : 0);  // the unused byte must read as 0
    }
};

// Rows bottom-up, values packed high bits first below 8 bits, little-endian above.
Bytes EncodeRows(const TDepthCase& c, int width, int height) {
    const std::uint32_t stride = BmpRowStride(width, c.Bits);
    Bytes rows(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + (height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = c.Stored(x, y);
            const int bit = x * c.Bits;
            if (c.Bits < 8) {
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - c.Bits - bit % 8));
            } else {
                for (int i = 0; i < c.Bits / 8; ++i)
                    row[bit / 8 + i] = std::uint8_t(v >> (8 * i));
            }
        }
    }
    return rows;
}

// The writer stores 16 and 32 bits in their plain layouts; files with colour
// masks come from other programs and are built by hand.
Bytes MakeFile(const TDepthCase& c, int width, int height) {
    const Bytes rows = EncodeRows(c, width, height);
    std::vector<std::uint32_t> palette;
    for (int i = 0; c.Bits <= 8 && i < (c.Bits == 1 ? 2 : 8); ++i)
        palette.push_back(Primary(7 - i));
    if (!c.Bitfields)
        return Write(Image(width, height, c.Bits, rows, palette));
    THandBmp file;
    file.Width = width, file.Height = height, file.Bits = c.Bits, file.Rows = rows;
    file.Compression = 3, file.MasksAfterHeader = true, file.Masks = c.Masks;
    return file.Build();
}

TEST(Bmp, RoundTripsEveryDepthWithOddWidth) {
    const int width = 13, height = 5;
    const TDepthCase cases[] = {
        {1, {}, false},
        {4, {}, false},
        {8, {}, false},
        {16, {0x7C00, 0x03E0, 0x001F}, false},
        {16, {0xF800, 0x07E0, 0x001F}, true},
        {24, {0xFF0000, 0xFF00, 0xFF}, false},
        {32, {0xFF0000, 0xFF00, 0xFF}, false},
        {32, {0xFF, 0xFF00, 0xFF0000}, true},
    };
    for (const TDepthCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Bits) + (c.Bitfields ? " bit fields" : ""));
        const TPageBitmap bitmap = Read(MakeFile(c, width, height));
        ASSERT_EQ(bitmap.Width(), width);
        ASSERT_EQ(bitmap.Height(), height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(bitmap.Pixel(x, y), c.Colour(x, y)) << x << "," << y;
        }
    }
}

TEST(Bmp, ReadsTallPicturesAcrossReadChunks) {
    const int width = 100, height = 1500;  // a few hundred kilobytes: several chunks
    auto colour = [](int x, int y) { return static_cast<std::uint32_t>(y << 10 | x); };
    for (const std::uint16_t bits : {24, 32}) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (topDown ? " top-down" : " bottom-up"));
            THandBmp file;
            file.Width = width, file.Height = topDown ? -height : height, file.Bits = bits;
            for (int row = 0; row < height; ++row) {
                for (int x = 0; x < width; ++x) {
                    const std::uint32_t c = colour(x, topDown ? row : height - 1 - row);
                    for (int i = 0; i < bits / 8; ++i)
                        file.Rows.push_back(std::uint8_t(c >> (8 * i)));
                }
            }
            const TPageBitmap bitmap = Read(file.Build());
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(bitmap.Pixel(x, y), colour(x, y));
            }
        }
    }
}

TEST(Bmp, WriterWritesPlainInfoHeaderAndColourTable) {
    const Bytes rows(BmpRowStride(3, 8) * 2, 1);
    const std::uint32_t palette[] = {0x112233, 0x445566};
    const Bytes file = Write(Image(3, 2, 8, rows, palette));
    const std::size_t offset = 14 + 40 + 8;
    ASSERT_EQ(file.size(), offset + 8);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2], file.size());            // bfSize
    EXPECT_EQ(file[10], offset);                // bfOffBits
    EXPECT_EQ(file[14], 40);                    // biSize
    EXPECT_EQ(file[22], 2);                     // biHeight positive: bottom-up
    EXPECT_EQ(file[34], 8);                     // biSizeImage
    EXPECT_EQ(file[38] | file[39] << 8, 3780);  // 96 dpi
    EXPECT_EQ(file[46], 2);                     // biClrUsed
    EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 62),
              (Bytes{0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0}));
}

TEST(Bmp, WriterRefusesInvalidImagesAndReportsFailedWrites) {
    const Bytes rows(BmpRowStride(4, 32) * 4, 0);
    const std::uint32_t tooMany[3] = {};
    for (const TBmpImage& bad :
         {Image(4, 5, 32, rows), Image(0, 4, 32, rows), Image(4, 4, 12, rows), Image(4, 4, 8, rows),
          Image(4, 4, 1, rows, tooMany), Image(70000, 70000, 8, rows)}) {
        fakes::TMemoryWriter writer;
        EXPECT_THROW(WriteBmp(writer, bad), Exception);
        EXPECT_TRUE(writer.Bytes.empty());
    }
    fakes::TMemoryWriter failing;
    failing.FailWrites = true;
    EXPECT_FALSE(WriteBmp(failing, Image(4, 4, 32, rows)));
}

TEST(Bmp, ReadsTopDownRowsAndCoreHeaders) {
    THandBmp topDown;
    topDown.Height = -2;
    topDown.Rows = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    TPageBitmap bitmap = Read(topDown.Build());
    ASSERT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.Pixel(0, 0), 0x030201u);
    EXPECT_EQ(bitmap.Pixel(1, 1), 0x0C0B0Au);

    THandBmp core;  // 16-bit sizes, RGB triples in the colour table
    core.HeaderSize = 12;
    core.Bits = 8;
    core.Palette = {0x0000FF, 0x00FF00, 0xFF0000};
    core.Rows = {2, 1, 0, 0, 0, 1, 0, 0};
    bitmap = Read(core.Build());
    EXPECT_EQ(bitmap.Pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(bitmap.Pixel(0, 1), 0xFF0000u);
}

TEST(Bmp, ReadsMasksOfV5HeadersAndScalesThemToEightBits) {
    THandBmp v5;  // 10-10-10 in a top-down V5 header
    v5.HeaderSize = 124;
    v5.Bits = 32;
    v5.Compression = 3;
    v5.Height = -1;
    v5.Masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    v5.Rows.clear();
    Put32(v5.Rows, 0x3FF00000 | 0x200 << 10 | 0x001);
    Put32(v5.Rows, 0xC0000000);
    EXPECT_EQ(Read(v5.Build()).Pixel(0, 0), 0xFF8000u);
    EXPECT_EQ(Read(v5.Build()).Pixel(1, 0), 0u);  // bits outside the masks are ignored

    THandBmp v4;  // BI_RGB ignores the masks of a V4 header
    v4.HeaderSize = 108;
    v4.Bits = 16;
    v4.Masks = {0x001F, 0x07E0, 0xF800};
    v4.Width = 4;
    v4.Height = 1;
    v4.Rows = {0x10, 0, 0x00, 0x7C, 0, 0, 0xFF, 0x7F};
    TPageBitmap bitmap = Read(v4.Build());
    EXPECT_EQ(bitmap.Pixel(0, 0), 0x000084u);  // 5-bit 16 scales to 132
    EXPECT_EQ(bitmap.Pixel(1, 0), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(3, 0), 0xFFFFFFu);

    THandBmp after;  // masks following a 40-byte header
    after.Bits = 16;
    after.Compression = 3;
    after.MasksAfterHeader = true;
    after.Masks = {0xF800, 0x07E0, 0x001F};
    after.Height = 1;
    after.Rows = {0x00, 0x04, 0, 0};  // green 6-bit 32 scales to 130
    EXPECT_EQ(Read(after.Build()).Pixel(0, 0), 130u << 8);
}

TEST(Bmp, ColourTableIndexesBeyondTheTableReadAsBlack) {
    THandBmp file;
    file.Bits = 8;
    file.Width = 4;
    file.Height = 1;
    file.Palette = {0xFFFFFF, 0x808080};
    file.ColoursUsed = 2;
    file.Rows = {0, 1, 2, 255};
    TPageBitmap bitmap = Read(file.Build());
    EXPECT_EQ(bitmap.Pixel(1, 0), 0x808080u);
    EXPECT_EQ(bitmap.Pixel(2, 0), 0u);
    EXPECT_EQ(bitmap.Pixel(3, 0), 0u);

    file.ColoursUsed = 0xFFFFFFFF;  // clamped to what the offset leaves room for
    EXPECT_EQ(Read(file.Build()).Pixel(1, 0), 0x808080u);
}

TEST(Bmp, RefusesInconsistentHeaders) {
    auto error = [](auto change) {
        THandBmp file;
        file.Rows.assign(16, 0);
        change(file);
        return ReadError(file.Build());
    };
    EXPECT_EQ(error([](THandBmp&) {}), "");
    EXPECT_NE(error([](THandBmp& f) { f.Width = -2; }).find("inconsistent"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Height = 0; }).find("inconsistent"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Planes = 2; }).find("planes"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Height = INT_MIN; }).find("too large"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Bits = 2; }).find("not supported"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Bits = 0; }).find("not supported"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.HeaderSize = 64; }).find("64 bytes"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Compression = 1; }).find("run-length"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Compression = 5; }).find("PNG"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.Compression = 3; }).find("24"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.OffsetShift = -1; }).find("headers"), std::string::npos);
    EXPECT_NE(error([](THandBmp& f) { f.OffsetShift = 17; }).find("beyond"), std::string::npos);
    EXPECT_EQ(error([](THandBmp& f) { f.OffsetShift = 1; }), "bitmap file is truncated");
    const auto badMasks = [](std::array<std::uint32_t, 3> masks) {
        return [=](THandBmp& f) {
            f.HeaderSize = 56, f.Bits = 16, f.Compression = 3, f.Masks = masks;
        };
    };
    EXPECT_NE(error(badMasks({0xF00F, 0, 0})).find("masks"), std::string::npos);
    EXPECT_NE(error(badMasks({0x10000, 0, 0})).find("masks"), std::string::npos);
    EXPECT_EQ(error(badMasks({0, 0, 0})), "");  // no channel at all: black
}

TEST(Bmp, RefusesEmptyAndTruncatedFilesAtEveryLength) {
    EXPECT_EQ(ReadError({}), "bitmap file is empty");
    EXPECT_NE(ReadError({'P', 'K', 3, 4, 0, 0}).find("\"BM\""), std::string::npos);
    const std::uint32_t palette[4] = {1, 2, 3, 4};
    const Bytes rows(BmpRowStride(5, 4) * 3, 0x12);
    const Bytes file = Write(Image(5, 3, 4, rows, palette));
    for (std::size_t n = 1; n < file.size(); ++n)
        EXPECT_NE(ReadError(Bytes(file.begin(), file.begin() + n)), "") << n;
}

// Claims a file of any size but holds only its headers; reads past them fail.
class THugeReader : public fakes::TMemoryReader {
  public:
    using TMemoryReader::TMemoryReader;
    std::uint64_t Size() override { return 1ull << 40; }
};

std::string HugeError(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    THandBmp file;
    file.Width = width, file.Height = height, file.Bits = bits;
    THugeReader reader(file.Build());
    try {
        ReadBmp(reader);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(Bmp, RefusesOversizedPicturesBeforeAllocating) {
    // The file claims to hold all pixels, so only the limits stop these.
    EXPECT_EQ(HugeError(100000, 100000, 24), "bitmap of 100000 x 100000 pixels is too large");
    EXPECT_EQ(HugeError(30000, 30000, 32), "bitmap of 30000 x 30000 pixels is too large");
    EXPECT_EQ(HugeError(32768, 1, 24), "bitmap of 32768 x 1 pixels is too large");
    EXPECT_EQ(HugeError(32767, 32767, 1), "bitmap of 32767 x 32767 pixels is too large");
    // Exactly 1 GiB of pixels passes the limits and fails on the file's real size.
    THandBmp limit;
    limit.Width = 16384, limit.Height = -16384, limit.Bits = 1;
    EXPECT_EQ(ReadError(limit.Build()), "bitmap file is truncated");
}

TEST(Bmp, ReadingIntoABitmapReusesItsMemoryAndEmptiesItOnFailure) {
    const Bytes rows(BmpRowStride(64, 32) * 64, 0x40);
    const Bytes file = Write(Image(64, 64, 32, rows));
    TPageBitmap bitmap;
    fakes::TMemoryReader first(file);
    ReadBmp(first, bitmap);
    const std::uint32_t* pixels = bitmap.Pixels();
    fakes::TMemoryReader second(file);
    ReadBmp(second, bitmap);
    EXPECT_EQ(bitmap.Pixels(), pixels);
    EXPECT_EQ(bitmap.Pixel(63, 63), 0x404040u);

    fakes::TMemoryReader broken(Bytes(file.begin(), file.end() - 1));
    EXPECT_THROW(ReadBmp(broken, bitmap), Exception);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(bitmap.Width(), 0);
}

TEST(Bmp, SmallerPictureAfterALargeOneGivesTheMemoryBack) {
    constexpr std::size_t kPixel = sizeof(std::uint32_t);
    TPageBitmap bitmap;
    bitmap.Resize(1000, 1000);
    const std::size_t large = bitmap.MemoryBytes();
    EXPECT_GE(large, 1000u * 1000 * kPixel);
    bitmap.Resize(800, 1000);  // more than half of it: kept, no new allocation
    EXPECT_EQ(bitmap.MemoryBytes(), large);
    bitmap.Resize(400, 1000);  // less than half: a block of the new size
    EXPECT_GE(bitmap.MemoryBytes(), 400u * 1000 * kPixel);
    EXPECT_LE(bitmap.MemoryBytes(), 2 * 400u * 1000 * kPixel);
    bitmap.Resize(10, 10);
    EXPECT_LE(bitmap.MemoryBytes(), 2 * 100 * kPixel);

    // The same through the reader: a small page read into the bitmap that
    // held a large one.
    bitmap.Resize(1000, 1000);
    const Bytes rows(BmpRowStride(8, 32) * 8, 0x20);
    fakes::TMemoryReader small(Write(Image(8, 8, 32, rows)));
    ReadBmp(small, bitmap);
    EXPECT_EQ(bitmap.Pixel(7, 7), 0x202020u);
    EXPECT_LE(bitmap.MemoryBytes(), 2 * 64 * kPixel);
}

TEST(Bmp, ReadsMasksInsideAV2Header) {
    THandBmp v2;  // the 52-byte header: the three masks are its last fields
    v2.HeaderSize = 52;
    v2.Bits = 16;
    v2.Compression = 3;
    v2.Masks = {0xF800, 0x07E0, 0x001F};
    v2.Width = 3;
    v2.Height = 1;
    v2.Rows = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0};
    const Bytes file = v2.Build();
    ASSERT_EQ(file.size(), 14u + 52 + 8);
    const TPageBitmap bitmap = Read(file);
    EXPECT_EQ(bitmap.Pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(1, 0), 0x00FF00u);
    EXPECT_EQ(bitmap.Pixel(2, 0), 0x0000FFu);

    v2.Bits = 32;  // and at 32 bits, masks in an unusual order
    v2.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    v2.Rows.clear();
    Put32(v2.Rows, 0x00332211);
    Put32(v2.Rows, 0xFF000000);
    Put32(v2.Rows, 0);
    EXPECT_EQ(Read(v2.Build()).Pixel(0, 0), 0x112233u);
    EXPECT_EQ(Read(v2.Build()).Pixel(1, 0), 0u);
}

TEST(Bmp, HeightLimitIsTheSameAsTheWidthLimitInBothRowOrders) {
    EXPECT_EQ(HugeError(1, 32768, 24), "bitmap of 1 x 32768 pixels is too large");
    EXPECT_EQ(HugeError(1, -32768, 24), "bitmap of 1 x 32768 pixels is too large");
    // At the limit the size passes and only the missing pixels stop it.
    EXPECT_EQ(HugeError(1, 32767, 24), "bitmap file is truncated");
    EXPECT_EQ(HugeError(1, -32767, 24), "bitmap file is truncated");
    THandBmp tall;  // a real file at the limit reads
    tall.Width = 1, tall.Height = -32767, tall.Bits = 8;
    tall.Palette = {0x000000, 0x123456};
    tall.Rows.assign(4 * 32767, 0);
    tall.Rows[4 * 32766] = 1;
    const TPageBitmap bitmap = Read(tall.Build());
    EXPECT_EQ(bitmap.Height(), 32767);
    EXPECT_EQ(bitmap.Pixel(0, 32766), 0x123456u);
}

TEST(Bmp, WriterStoresZeroInTheReservedByteOfEveryColourTableEntry) {
    const Bytes rows(BmpRowStride(2, 1) * 1, 0x40);
    const std::uint32_t palette[] = {0xFF112233, 0x80445566};
    const Bytes file = Write(Image(2, 1, 1, rows, palette));
    EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 62),
              (Bytes{0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0}));
    const TPageBitmap bitmap = Read(file);
    EXPECT_EQ(bitmap.Pixel(0, 0), 0x112233u);
    EXPECT_EQ(bitmap.Pixel(1, 0), 0x445566u);
}

// Writes through the file system of the machine, for the cross-check below.
class TStreamWriter : public IFileWriter {
  public:
    explicit TStreamWriter(const std::string& path) : FStream(path, std::ios::binary) {}
    bool Write(const void* data, std::size_t count) override {
        return bool(FStream.write(static_cast<const char*>(data), std::streamsize(count)));
    }
    bool Commit() override { return bool(FStream.flush()); }

  private:
    std::ofstream FStream;
};

TEST(Bmp, ImageMagickReadsWrittenFilesAtTheirSize) {
    const char* identify = "/usr/bin/identify";
    if (!std::filesystem::exists(identify))
        GTEST_SKIP() << "ImageMagick identify is missing";
    const Bytes rows24(BmpRowStride(37, 24) * 23, 0x7F), rows8(BmpRowStride(5, 8) * 3, 1);
    const std::uint32_t palette[2] = {0x000000, 0xFFFFFF};
    const auto dir = std::filesystem::temp_directory_path();
    for (const TBmpImage& image : {Image(37, 23, 24, rows24), Image(5, 3, 8, rows8, palette)}) {
        const std::string path =
            (dir / ("lum-bmp-test-" + std::to_string(image.BitsPerPixel) + ".bmp")).string();
        {
            TStreamWriter writer(path);
            ASSERT_TRUE(WriteBmp(writer, image));
            ASSERT_TRUE(writer.Commit());
        }
        const std::string command = std::string(identify) + " -format \"%w %h\" " + path;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char text[64] = {};
        const std::size_t n = std::fread(text, 1, sizeof text - 1, pipe);
        EXPECT_EQ(::pclose(pipe), 0);
        EXPECT_EQ(std::string(text, n),
                  std::to_string(image.Width) + " " + std::to_string(image.Height));
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace lum
