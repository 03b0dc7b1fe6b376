// A canvas that records what is drawn on it, for the portable paint tests.
// Text measures 8 pixels per character (UTF-8 code point) by 16 pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "platform/Canvas.h"

namespace lum::fakes {

class TFakeCanvas : public ICanvas {
  public:
    struct TFill {
        TRect Rect;
        TColor Color = 0;
    };
    struct TText {
        std::int32_t X = 0;
        std::int32_t Y = 0;
        std::string Text;
        TColor Fore = 0;
        TColor Back = 0;
    };
    struct TBitmapDraw {
        const TPageBitmap* Bitmap = nullptr;
        std::int32_t X = 0;
        std::int32_t Y = 0;
        TSize Scaled;  // 0 x 0: drawn at its own size
    };

    static constexpr std::int32_t kCharWidth = 8;
    static constexpr std::int32_t kLineHeight = 16;

    TFakeCanvas(std::int32_t width, std::int32_t height) : FWidth(width), FHeight(height) {}

    std::vector<TFill> Fills;
    std::vector<TText> Texts;
    std::vector<TBitmapDraw> Bitmaps;
    // Drawing a bitmap fails as a canvas that copies or scales a part of it
    // fails when that part cannot be allocated.
    bool OutOfMemoryOnDraw = false;

    std::int32_t Width() const override { return FWidth; }
    std::int32_t Height() const override { return FHeight; }
    void FillRect(const TRect& rect, TColor color) override { Fills.push_back({rect, color}); }
    TSize TextExtent(const std::string& text) override {
        return TSize{CodePoints(text) * kCharWidth, kLineHeight};
    }
    void TextOut(std::int32_t x,
                 std::int32_t y,
                 const std::string& text,
                 TColor fore,
                 TColor back) override {
        Texts.push_back({x, y, text, fore, back});
    }
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override {
        if (OutOfMemoryOnDraw)
            throw OutOfMemory("not enough memory for a part of the picture");
        Bitmaps.push_back({&bitmap, x, y, TSize{}});
    }
    void DrawBitmapScaled(const TPageBitmap& bitmap,
                          std::int32_t x,
                          std::int32_t y,
                          TSize size) override {
        if (OutOfMemoryOnDraw)
            throw OutOfMemory("not enough memory for a part of the picture");
        Bitmaps.push_back({&bitmap, x, y, size});
    }

    // The text drawn with its top-left corner at (x, y); empty when none.
    std::string TextAt(std::int32_t x, std::int32_t y) const {
        for (const auto& t : Texts) {
            if (t.X == x && t.Y == y)
                return t.Text;
        }
        return std::string();
    }

    static std::int32_t CodePoints(const std::string& text) {
        std::int32_t count = 0;
        for (unsigned char c : text)
            count += (c & 0xC0) != 0x80;
        return count;
    }

  private:
    std::int32_t FWidth;
    std::int32_t FHeight;
};

}  // namespace lum::fakes
