// Recorded frames: what two frames have in common is not drawn again, and a
// frame drawn only inside the damage over the one before gives exactly the
// pixels of the frame drawn whole (checked on a small software surface with
// random frames, glyphs that stand out of their cells included).
#include "common/FrameRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace lum {
namespace {

constexpr std::int32_t kW = 64;
constexpr std::int32_t kH = 48;

// Pixels in memory. Text is 4 x 8 pixels a character: the cell in the back
// colour, then a pattern of the characters in the fore colour that reaches
// two pixels beyond the cell on each side (as some glyphs do). Drawing is
// limited to the clip rectangles, when there are any.
class TPixelCanvas : public ICanvas {
  public:
    std::vector<TColor> Pixels = std::vector<TColor>(kW * kH, 0x123456);
    std::vector<TRect> Clip;

    std::int32_t Width() const override { return kW; }
    std::int32_t Height() const override { return kH; }
    void FillRect(const TRect& r, TColor color) override {
        for (std::int32_t y = r.Top; y < r.Bottom; ++y)
            for (std::int32_t x = r.Left; x < r.Right; ++x)
                Put(x, y, color);
    }
    TSize TextExtent(const std::string& text) override {
        return TSize{static_cast<std::int32_t>(text.size()) * 4, 8};
    }
    void TextOut(std::int32_t x,
                 std::int32_t y,
                 const std::string& text,
                 TColor fore,
                 TColor back) override {
        const TSize e = TextExtent(text);
        FillRect(TRect{x, y, x + e.Width, y + e.Height}, back);
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            const std::int32_t gx = x + static_cast<std::int32_t>(i) * 4 - 2 + c % 7;
            for (std::int32_t k = 0; k < 6; ++k)
                Put(gx + (k & 1), y - 2 + (c + k) % 12, fore);
        }
    }
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override {
        for (std::int32_t row = 0; row < bitmap.Height(); ++row)
            for (std::int32_t col = 0; col < bitmap.Width(); ++col)
                Put(x + col, y + row, static_cast<TColor>(bitmap.Pixel(col, row)));
    }

  private:
    void Put(std::int32_t x, std::int32_t y, TColor color) {
        if (x < 0 || y < 0 || x >= kW || y >= kH)
            return;
        if (!Clip.empty() && std::none_of(Clip.begin(), Clip.end(), [&](const TRect& r) {
                return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
            }))
            return;
        Pixels[y * kW + x] = color;
    }
};

TPageBitmap Page(std::int32_t w, std::int32_t h, std::uint32_t seed) {
    TPageBitmap page(w, h);
    for (std::int32_t i = 0; i < w * h; ++i)
        page.Pixels()[i] = (seed * 2654435761u + static_cast<std::uint32_t>(i)) & 0xFFFFFF;
    return page;
}

TFrame Record(TPixelCanvas& canvas,
              const TFrame* previous,
              const std::function<void(ICanvas&)>& paint) {
    TFrameRecorder recorder(canvas, previous);
    paint(recorder);
    return recorder.Take();
}

TEST(FrameRecord, FrameLikeTheOneBeforeChangesNothing) {
    TPixelCanvas canvas;
    const TPageBitmap page = Page(40, 30, 1);
    const auto paint = [&](ICanvas& c) {
        c.FillRect(TRect{0, 0, kW, kH}, 0x336699);
        c.DrawBitmap(page, 10, 5);
        c.TextOut(2, 38, "12:00", 0xFFFF, 0x336699);
    };
    const TFrame first = Record(canvas, nullptr, paint);
    const TFrame second = Record(canvas, &first, paint);
    EXPECT_TRUE(FrameDamage(first, second).empty());
    // The unchanged picture is shared, not copied again.
    ASSERT_EQ(second.Steps.size(), 3u);
    EXPECT_EQ(second.Steps[1].Picture, first.Steps[1].Picture);
}

TEST(FrameRecord, ChangedTextDamagesItsCellAndALineRoundIt) {
    TPixelCanvas canvas;
    std::string clock = "12:00";
    const auto paint = [&](ICanvas& c) {
        c.FillRect(TRect{0, 0, kW, kH}, 0x336699);
        c.TextOut(20, 30, clock, 0xFFFF, 0x336699);
    };
    const TFrame first = Record(canvas, nullptr, paint);
    clock = "12:01";
    const TFrame second = Record(canvas, &first, paint);
    const std::vector<TRect> damage = FrameDamage(first, second);
    ASSERT_EQ(damage.size(), 1u);
    EXPECT_EQ(damage[0], (TRect{12, 22, 48, 46}));
}

TEST(FrameRecord, PageReloadedInPlaceIsChanged) {
    TPixelCanvas canvas;
    TPageBitmap page = Page(20, 20, 1);
    const auto paint = [&](ICanvas& c) { c.DrawBitmap(page, -5, 40); };
    const TFrame first = Record(canvas, nullptr, paint);
    page.Pixels()[19 * 20 + 19] ^= 1;  // outside the surface: not seen
    EXPECT_TRUE(FrameDamage(first, Record(canvas, &first, paint)).empty());
    page.Pixels()[3 * 20 + 7] ^= 1;  // same bitmap, same memory, one pixel more
    const std::vector<TRect> damage = FrameDamage(first, Record(canvas, &first, paint));
    ASSERT_EQ(damage.size(), 1u);
    EXPECT_EQ(damage[0], (TRect{0, 40, 15, 48}));
}

TEST(FrameRecord, OtherSizeOrOtherStepsDamageWhatTheyCover) {
    TPixelCanvas canvas;
    TFrame a = Record(canvas, nullptr, [](ICanvas& c) { c.FillRect(TRect{1, 1, 5, 5}, 1); });
    TFrame b = Record(canvas, &a, [](ICanvas& c) {
        c.FillRect(TRect{1, 1, 5, 5}, 1);
        c.FillRect(TRect{-10, 40, 8, 90}, 2);  // clipped to the surface
    });
    EXPECT_EQ(FrameDamage(a, b), (std::vector<TRect>{TRect{0, 40, 8, kH}}));
    EXPECT_EQ(FrameDamage(b, a), (std::vector<TRect>{TRect{0, 40, 8, kH}}));
    b.Width = kW + 1;
    EXPECT_EQ(FrameDamage(a, b), (std::vector<TRect>{TRect{0, 0, kW + 1, kH}}));
}

// Random frames of fills, texts and pictures, each followed by a frame that
// changes some of them: drawing the second only inside the damage, over
// the first, must give the pixels of the second drawn whole.
TEST(FrameRecord, DrawingOnlyTheDamageGivesTheWholeFrame) {
    std::mt19937 random(20261207);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    std::vector<TPageBitmap> pages;
    for (std::uint32_t i = 0; i < 4; ++i)
        pages.push_back(Page(pick(1, 80), pick(1, 60), i));
    struct TStep {
        int Kind, A, B, C, D;
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<TStep> steps(pick(0, 8));
        for (TStep& s : steps)
            s = {pick(0, 2), pick(-20, kW), pick(-20, kH), pick(0, 40), pick(0, 3)};
        const auto paintOf = [&](const std::vector<TStep>& list) {
            return [&, list](ICanvas& c) {
                // Like the display's, every frame starts with its background.
                c.FillRect(TRect{0, 0, kW, kH}, 0x654321);
                for (const TStep& s : list) {
                    if (s.Kind == 0)
                        c.FillRect(TRect{s.A, s.B, s.A + s.C, s.B + s.C / 2}, s.D * 0x111111);
                    else if (s.Kind == 1)
                        c.TextOut(s.A, s.B, std::string(s.D + 1, static_cast<char>('a' + s.C)), s.C,
                                  s.D);
                    else
                        c.DrawBitmap(pages[s.D], s.A, s.B);
                }
            };
        };
        std::vector<TStep> next = steps;
        for (TStep& s : next) {
            if (pick(0, 3) == 0)
                s.C = pick(0, 40);
            if (pick(0, 5) == 0)
                s.A += pick(-3, 3);
        }
        if (pick(0, 4) == 0)
            next.push_back({pick(0, 2), pick(-20, kW), pick(-20, kH), pick(0, 40), pick(0, 3)});
        TPixelCanvas incremental;
        const TFrame first = Record(incremental, nullptr, paintOf(steps));
        ReplayFrame(first, incremental);
        if (pick(0, 3) == 0) {  // a page reloaded in place
            TPageBitmap& page = pages[pick(0, 3)];
            page.Pixels()[pick(0, page.Width() * page.Height() - 1)] ^= 0x10101;
        }
        const TFrame second = Record(incremental, &first, paintOf(next));
        incremental.Clip = FrameDamage(first, second);
        if (!incremental.Clip.empty())
            ReplayFrame(second, incremental);

        TPixelCanvas whole;
        paintOf(next)(whole);
        ASSERT_EQ(incremental.Pixels, whole.Pixels) << "round " << round;
    }
}

}  // namespace
}  // namespace lum
