// The GDI canvas and the system clock under Wine: pixels painted into a
// 32-bit DIB section, read back directly.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>

#include "common/Bmp.h"
#include "win32/GdiCanvas.h"
#include "win32/Win32Clock.h"

namespace lum::win32 {
namespace {

constexpr int kW = 200;
constexpr int kH = 100;

// The DIB pixel (0x00RRGGBB) of a COLORREF (0x00BBGGRR).
std::uint32_t PixelOf(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// A memory DC holding a top-down 32-bit DIB section, as the paint target.
class TTarget {
  public:
    TTarget() : FDc(::CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kW;
        info.bmiHeader.biHeight = -kH;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        FBitmap.Reset(::CreateDIBSection(FDc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        FBits = static_cast<std::uint32_t*>(bits);
        FSelection.emplace(FDc.Get(), FBitmap.Get());
        for (int i = 0; i < kW * kH; ++i)
            FBits[i] = 0x00ABCDEF;
    }
    HDC Dc() const { return FDc.Get(); }
    std::uint32_t At(int x, int y) const {
        ::GdiFlush();
        return FBits[y * kW + x] & 0x00FFFFFF;
    }
    int Count(RECT r, std::uint32_t pixel) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) == pixel;
        return n;
    }

  private:
    UniqueMemoryDc FDc;
    UniqueGdiObject FBitmap;
    std::optional<SelectedObject> FSelection;
    std::uint32_t* FBits = nullptr;
};

// Each pixel tells its own position: 0x00YYYYXX.
TPageBitmap NumberedBitmap(int w, int h) {
    TPageBitmap bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.Pixels()[y * w + x] = (y << 8) | x;
    return bitmap;
}

TEST(GdiCanvas, FillsAndDrawsOffScreenUntilPresented) {
    TTarget target;
    const TPageBitmap page = NumberedBitmap(10, 10);
    {
        TGdiCanvas canvas(target.Dc(), kW, kH);
        canvas.FillRect(TRect{0, 0, kW, kH}, 0x00302010);
        canvas.DrawBitmap(page, 30, 40);
        EXPECT_EQ(target.At(0, 0), 0x00ABCDEFu);  // nothing on the target yet
        canvas.Present();
    }
    EXPECT_EQ(target.At(0, 0), 0x00102030u);
    EXPECT_EQ(target.At(30, 40), page.Pixel(0, 0));
    EXPECT_EQ(target.At(39, 49), page.Pixel(9, 9));
    EXPECT_EQ(target.At(35, 42), page.Pixel(5, 2));
    EXPECT_EQ(target.At(29, 40), 0x00102030u);
    EXPECT_EQ(target.At(40, 49), 0x00102030u);
    EXPECT_EQ(target.At(39, 50), 0x00102030u);
}

TEST(GdiCanvas, DrawsOnlyTheVisiblePartOfABitmap) {
    TTarget target;
    const TPageBitmap tall = NumberedBitmap(20, 1000);
    const TPageBitmap small = NumberedBitmap(10, 10);
    {
        TGdiCanvas canvas(target.Dc(), kW, kH);
        canvas.FillRect(TRect{0, 0, kW, kH}, clBlack);
        canvas.DrawBitmap(tall, -3, -500);   // scrolled tall page, cut at the left
        canvas.DrawBitmap(small, 195, 95);   // cut at the right and bottom
        canvas.DrawBitmap(small, 500, 500);  // wholly outside
    }                                        // presented when the canvas goes
    EXPECT_EQ(target.At(0, 0), tall.Pixel(3, 500));
    EXPECT_EQ(target.At(16, 99), tall.Pixel(19, 599));
    EXPECT_EQ(target.At(17, 50), 0u);
    EXPECT_EQ(target.At(195, 95), small.Pixel(0, 0));
    EXPECT_EQ(target.At(199, 99), small.Pixel(4, 4));
}

TEST(GdiCanvas, TextSitsOnACellOfTheBackColour) {
    TTarget target;
    const std::uint32_t cell = 0x00008000;
    SIZE size{};
    {
        TGdiCanvas canvas(target.Dc(), kW, kH);
        canvas.FillRect(TRect{0, 0, kW, kH}, clBlack);
        const TSize extent = canvas.TextExtent("Lumenary");
        size = {extent.Width, extent.Height};
        canvas.TextOut(5, 5, "Lumenary", clWhite, 0x00008000);
    }
    // 16 pixels of character height at 96 dpi: the cell adds the leading.
    EXPECT_GE(size.cy, 16);
    EXPECT_LE(size.cy, 26);
    EXPECT_GT(size.cx, 30);
    const RECT r{5, 5, 5 + size.cx, 5 + size.cy};
    const int area = size.cx * size.cy;
    EXPECT_GT(target.Count(r, cell), area / 2);
    EXPECT_GT(target.Count(r, 0x00FFFFFF), 0);
    EXPECT_EQ(target.At(5 + size.cx, 5), 0u);
    EXPECT_EQ(target.At(4, 5), 0u);
}

TEST(GdiCanvas, ResolvesSystemColoursWhenDrawing) {
    TTarget target;
    {
        TGdiCanvas canvas(target.Dc(), kW, kH);
        canvas.FillRect(TRect{0, 0, kW, kH}, SystemColor(COLOR_BTNFACE));
        canvas.FillRect(TRect{10, 10, 20, 20}, 0x12345678);
    }
    EXPECT_EQ(target.At(0, 0), PixelOf(::GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(target.At(15, 15), PixelOf(RGB(0x78, 0x56, 0x34)));
    EXPECT_EQ(ResolveColor(SystemColor(COLOR_WINDOWTEXT)), ::GetSysColor(COLOR_WINDOWTEXT));
}

TEST(GdiCanvas, FontIsScaledWithTheDpi) {
    auto font96 = CreateFormFont(96);
    auto font144 = CreateFormFont(144);
    LOGFONTW a{}, b{};
    ASSERT_TRUE(::GetObjectW(font96.Get(), sizeof a, &a));
    ASSERT_TRUE(::GetObjectW(font144.Get(), sizeof b, &b));
    EXPECT_EQ(a.lfHeight, -16);
    EXPECT_EQ(b.lfHeight, -24);
    EXPECT_EQ(a.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(a.lfWeight, FW_NORMAL);
    EXPECT_STREQ(a.lfFaceName, L"ＭＳ Ｐゴシック");
}

TEST(Win32Clock, ReadsTheSystemAndFormatsWithTheUsersLocale) {
    TWin32Clock clock;
    TWin32Locale locale;
    EXPECT_GE(clock.Now().Year, 2020);
    EXPECT_FALSE(clock.KeyHeld(0x58));
    const TLocalTime t{2026, 12, 7, 15, 4, 5};
    EXPECT_NE(locale.FormatShortDate(t).find("2026"), std::string::npos);
    EXPECT_NE(locale.FormatLongTime(t).find("04"), std::string::npos);
    EXPECT_FALSE(locale.TimeSeparator().empty());
    // A date that does not exist still reads.
    EXPECT_EQ(locale.FormatShortDate(TLocalTime{2026, 2, 31, 0, 0, 0}), "2026/02/31");
}

}  // namespace
}  // namespace lum::win32
