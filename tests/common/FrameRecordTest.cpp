// Recorded frames: what two frames have in common is not drawn again, and a
// frame drawn only inside the damage over the one before gives exactly the
// pixels of the frame drawn whole (checked on a small software surface with
// random frames, glyphs that stand out of their cells included); so does a
// scrolled picture drawn straight with the rest drawn over it, which never
// touches what lies over the picture.
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

bool InAny(const std::vector<TRect>& rects, std::int32_t x, std::int32_t y);

// Pixels in memory. Text is 4 x 8 pixels a character: the cell in the back
// colour, then a pattern of the characters in the fore colour that reaches
// two pixels beyond the cell on each side (as some glyphs do). Drawing is
// limited to the clip rectangles, when there are any, and kept out of the
// excluded ones.
class TPixelCanvas : public ICanvas {
  public:
    std::vector<TColor> Pixels = std::vector<TColor>(kW * kH, 0x123456);
    std::vector<TRect> Clip;
    std::vector<TRect> Excluded;

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
        if (!Clip.empty() && !InAny(Clip, x, y))
            return;
        if (InAny(Excluded, x, y))
            return;
        Pixels[y * kW + x] = color;
    }
};

bool InAny(const std::vector<TRect>& rects, std::int32_t x, std::int32_t y) {
    return std::any_of(rects.begin(), rects.end(), [&](const TRect& r) {
        return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
    });
}

TPageBitmap Page(std::int32_t w, std::int32_t h, std::uint32_t seed) {
    TPageBitmap page(w, h);
    for (std::int32_t i = 0; i < w * h; ++i)
        page.Pixels()[i] = (seed * 2654435761u + static_cast<std::uint32_t>(i)) & 0xFFFFFF;
    return page;
}

TFrame Record(TPixelCanvas& canvas,
              const TFrame* previous,
              const std::function<void(ICanvas&)>& paint,
              TSparePictures* spares = nullptr) {
    TFrameRecorder recorder(canvas, previous, spares);
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

// The display's frame of a tall page: background, the page at its scroll
// position, the URL line and the clock over it.
std::function<void(ICanvas&)> PagePaint(const TPageBitmap& page,
                                        std::int32_t x,
                                        std::int32_t scroll,
                                        const std::string& clock) {
    return [&page, x, scroll, clock](ICanvas& c) {
        c.FillRect(TRect{0, 0, kW, kH}, 0x336699);
        c.DrawBitmap(page, x, -scroll);
        c.TextOut(2, 2, "url", 0xFFFF, 0x336699);
        c.TextOut(40, 38, clock, 0xFFFF, 0x336699);
    };
}

TEST(FrameRecord, ScrolledPictureGoesStraightWithoutWhatLiesOverIt) {
    TPixelCanvas canvas;
    const TPageBitmap page = Page(kW, 200, 1);
    const TFrame first = Record(canvas, nullptr, PagePaint(page, 0, 0, "12:00"));
    const TFrame second = Record(canvas, &first, PagePaint(page, 0, 16, "12:01"));
    const std::optional<TPictureUpdate> update = PictureUpdate(first, second);
    ASSERT_TRUE(update);
    ASSERT_EQ(update->Direct.size(), 1u);
    EXPECT_EQ(update->Direct[0].Step, 1u);
    // Both lines, each with a line's margin, are left out of the picture...
    const TRect url = second.Steps[2].Bounds;
    const TRect clock = second.Steps[3].Bounds;
    EXPECT_EQ(update->Direct[0].Excluded, (std::vector<TRect>{url, clock}));
    // ...and drawn through the buffer, the clock also as it changed.
    EXPECT_TRUE(std::count(update->Overlays.begin(), update->Overlays.end(), url) == 1);
    EXPECT_TRUE(std::count(update->Overlays.begin(), update->Overlays.end(), clock) >= 1);
    for (const TRect& r : update->Overlays)
        EXPECT_LE(r.Width() * r.Height(), kW * kH / 4) << "an overlay as large as the picture";
}

TEST(FrameRecord, OtherChangesThanAPictureInPlaceGoThroughTheBuffer) {
    TPixelCanvas canvas;
    const TPageBitmap page = Page(kW, 200, 1);
    const TFrame top = Record(canvas, nullptr, PagePaint(page, 0, 0, "12:00"));
    // Only the clock changed: nothing goes straight.
    EXPECT_FALSE(PictureUpdate(top, Record(canvas, &top, PagePaint(page, 0, 0, "12:01"))));
    // The last step of a scroll: the page ends above the bottom edge.
    EXPECT_FALSE(PictureUpdate(top, Record(canvas, &top, PagePaint(page, 0, 180, "12:00"))));
    // Moved sideways (a page narrower than the form, centred anew).
    EXPECT_FALSE(PictureUpdate(top, Record(canvas, &top, PagePaint(page, 3, 16, "12:00"))));
    // A frame of other steps: the loading text instead of the page.
    const TFrame loading = Record(canvas, &top, [](ICanvas& c) {
        c.FillRect(TRect{0, 0, kW, kH}, 0x336699);
        c.TextOut(10, 20, "...", 0xFFFF, 0x336699);
        c.TextOut(2, 2, "url", 0xFFFF, 0x336699);
        c.TextOut(40, 38, "12:00", 0xFFFF, 0x336699);
    });
    EXPECT_FALSE(PictureUpdate(top, loading));
    TFrame wider = Record(canvas, &top, PagePaint(page, 0, 16, "12:00"));
    wider.Width += 1;
    EXPECT_FALSE(PictureUpdate(top, wider));
}

// Random frames with one or two tall pictures (a form over two monitors)
// scrolled in place under random fills and texts: each picture drawn
// straight without its excluded parts, then the overlays drawn through a
// buffer that holds the whole second frame, gives the pixels of the second
// frame; and before the overlays come, what lies over a picture is still
// what the first frame showed (no line vanishes for a moment).
TEST(FrameRecord, ScrolledPicturesDrawnStraightGiveTheWholeFrame) {
    std::mt19937 random(20261208);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    const TPageBitmap pageA = Page(kW / 2, 300, 7);
    const TPageBitmap pageB = Page(kW, 300, 8);
    int straight = 0;
    TSparePictures spares;  // as the back buffer keeps them from frame to frame
    for (int round = 0; round < 300; ++round) {
        const bool two = pick(0, 1) == 1;
        struct TOver {
            int Kind, X, Y, C;
        };
        std::vector<TOver> over(pick(0, 5));
        for (TOver& o : over)
            o = {pick(0, 1), pick(-10, kW), pick(-10, kH), pick(0, 30)};
        const auto paintOf = [&](int scrollA, int scrollB, const std::vector<TOver>& list) {
            return [&, scrollA, scrollB, list](ICanvas& c) {
                c.FillRect(TRect{0, 0, kW, kH}, 0x654321);
                c.DrawBitmap(two ? pageA : pageB, 0, -scrollA);
                if (two)
                    c.DrawBitmap(pageA, kW / 2, -scrollB);
                for (const TOver& o : list) {
                    if (o.Kind == 0)
                        c.FillRect(TRect{o.X, o.Y, o.X + o.C, o.Y + o.C / 2}, o.C * 0x10101);
                    else
                        c.TextOut(o.X, o.Y,
                                  std::string(1 + o.C % 4, static_cast<char>('a' + o.C % 20)), o.C,
                                  0x99);
                }
            };
        };
        std::vector<TOver> next = over;
        for (TOver& o : next)
            o.C = pick(0, 3) == 0 ? pick(0, 30) : o.C;
        const int a = pick(0, 100);
        const int b = pick(0, 100);
        const int nextA = pick(0, 3) == 0 ? a : pick(0, 200);
        const int nextB = pick(0, 200);
        TPixelCanvas screen;
        TFrame first = Record(screen, nullptr, paintOf(a, b, over), &spares);
        ReplayFrame(first, screen);
        const TFrame second = Record(screen, &first, paintOf(nextA, nextB, next), &spares);
        KeepSparePictures(first, spares);
        const std::optional<TPictureUpdate> update = PictureUpdate(first, second);
        if (!update)
            continue;  // nothing scrolled: the buffer's path
        ++straight;
        const std::vector<TColor> before = screen.Pixels;
        for (const TPictureUpdate::TDirect& direct : update->Direct) {
            const TDrawStep& step = second.Steps[direct.Step];
            screen.Excluded = direct.Excluded;
            screen.DrawBitmap(*step.Picture, step.X, step.Y);
        }
        screen.Excluded.clear();
        // What the second frame draws over the pictures is as it was.
        for (std::size_t i = two ? 3 : 2; i < second.Steps.size(); ++i) {
            const TRect& r = second.Steps[i].Bounds;
            for (std::int32_t y = r.Top; y < r.Bottom; ++y)
                for (std::int32_t x = r.Left; x < r.Right; ++x)
                    ASSERT_EQ(screen.Pixels[y * kW + x], before[y * kW + x])
                        << "round " << round << " at " << x << "," << y;
        }
        TPixelCanvas buffer;
        ReplayFrame(second, buffer);
        for (std::int32_t y = 0; y < kH; ++y)
            for (std::int32_t x = 0; x < kW; ++x)
                if (InAny(update->Overlays, x, y))
                    screen.Pixels[y * kW + x] = buffer.Pixels[y * kW + x];
        ASSERT_EQ(screen.Pixels, buffer.Pixels) << "round " << round;
    }
    EXPECT_GT(straight, 200);
}

TEST(FrameRecord, ScrolledCopyTakesTheMemoryOfOneGone) {
    TPixelCanvas canvas;
    const TPageBitmap page = Page(kW, 200, 1);
    TSparePictures spares;
    TFrame first = Record(canvas, nullptr, PagePaint(page, 0, 0, "12:00"), &spares);
    TFrame second = Record(canvas, &first, PagePaint(page, 0, 16, "12:00"), &spares);
    const std::uint32_t* memory = first.Steps[1].Picture->Pixels();
    KeepSparePictures(first, spares);
    ASSERT_EQ(spares.size(), 1u);
    const TFrame third = Record(canvas, &second, PagePaint(page, 0, 32, "12:00"), &spares);
    EXPECT_TRUE(spares.empty());
    ASSERT_EQ(third.Steps[1].Picture->Pixels(), memory);
    EXPECT_EQ(third.Steps[1].Picture->Pixel(0, 0), page.Pixel(0, 32));
    EXPECT_EQ(third.Steps[1].Picture->Pixel(kW - 1, kH - 1), page.Pixel(kW - 1, 32 + kH - 1));
    // A copy that a later frame still shares is no spare.
    const TFrame fourth = Record(canvas, &third, PagePaint(page, 0, 32, "12:01"), &spares);
    TFrame gone = third;
    KeepSparePictures(gone, spares);
    EXPECT_TRUE(spares.empty());
    EXPECT_EQ(fourth.Steps[1].Picture, third.Steps[1].Picture);
}

}  // namespace
}  // namespace lum
