#include "common/FrameRecord.h"

#include <algorithm>
#include <cstring>

namespace lum {

namespace {

TRect Clip(const TRect& r, std::int32_t width, std::int32_t height) {
    TRect c{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, width),
            std::min(r.Bottom, height)};
    if (c.Right <= c.Left || c.Bottom <= c.Top)
        return TRect{};
    return c;
}

bool IsEmpty(const TRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

bool SamePixels(const TPageBitmap& a, const TPageBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Pixels(), b.Pixels(),
                       static_cast<std::size_t>(a.Width()) * a.Height() * sizeof(std::uint32_t)) ==
               0;
}

bool SameStep(const TDrawStep& a, const TDrawStep& b) {
    if (a.Kind != b.Kind || a.Bounds != b.Bounds || a.X != b.X || a.Y != b.Y || a.Fore != b.Fore ||
        a.Back != b.Back || a.Text != b.Text)
        return false;
    if (a.Picture == b.Picture)
        return true;
    return a.Picture && b.Picture && SamePixels(*a.Picture, *b.Picture);
}

// Whether the visible part of bitmap, placed at (x, y), has the pixels of picture.
bool VisiblePartIs(const TPageBitmap& bitmap,
                   std::int32_t x,
                   std::int32_t y,
                   const TRect& visible,
                   const TPageBitmap& picture) {
    const std::int32_t w = visible.Width();
    if (picture.Width() != w || picture.Height() != visible.Height())
        return false;
    for (std::int32_t row = 0; row < picture.Height(); ++row) {
        const std::uint32_t* source =
            bitmap.Pixels() + static_cast<std::size_t>(visible.Top - y + row) * bitmap.Width() +
            (visible.Left - x);
        if (std::memcmp(source, picture.Pixels() + static_cast<std::size_t>(row) * w,
                        static_cast<std::size_t>(w) * sizeof(std::uint32_t)) != 0)
            return false;
    }
    return true;
}

}  // namespace

TFrameRecorder::TFrameRecorder(ICanvas& measure, const TFrame* previous)
    : FMeasure(measure), FPrevious(previous) {
    FFrame.Width = measure.Width();
    FFrame.Height = measure.Height();
}

const TDrawStep* TFrameRecorder::PreviousStep() const {
    const std::size_t index = FFrame.Steps.size();
    if (!FPrevious || index >= FPrevious->Steps.size())
        return nullptr;
    return &FPrevious->Steps[index];
}

void TFrameRecorder::FillRect(const TRect& rect, TColor color) {
    const TRect bounds = Clip(rect, FFrame.Width, FFrame.Height);
    if (IsEmpty(bounds))
        return;
    TDrawStep step;
    step.Kind = TDrawStep::TKind::Fill;
    step.Bounds = bounds;
    step.Fore = color;
    FFrame.Steps.push_back(std::move(step));
}

void TFrameRecorder::TextOut(std::int32_t x,
                             std::int32_t y,
                             const std::string& text,
                             TColor fore,
                             TColor back) {
    const TSize extent = FMeasure.TextExtent(text);
    const std::int32_t margin = std::max(extent.Height, 1);
    const std::int64_t right = std::int64_t{x} + extent.Width + margin;
    const std::int64_t bottom = std::int64_t{y} + extent.Height + margin;
    const TRect bounds =
        Clip(TRect{static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{x} - margin, 0)),
                   static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{y} - margin, 0)),
                   static_cast<std::int32_t>(std::min<std::int64_t>(right, FFrame.Width)),
                   static_cast<std::int32_t>(std::min<std::int64_t>(bottom, FFrame.Height))},
             FFrame.Width, FFrame.Height);
    TDrawStep step;
    step.Kind = TDrawStep::TKind::Text;
    step.Bounds = bounds;
    step.X = x;
    step.Y = y;
    step.Fore = fore;
    step.Back = back;
    step.Text = text;
    FFrame.Steps.push_back(std::move(step));
}

void TFrameRecorder::DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) {
    if (bitmap.Empty())
        return;
    // The visible part, in 64 bits so that far-off positions cannot overflow.
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right =
        std::min<std::int64_t>(std::int64_t{x} + bitmap.Width(), FFrame.Width);
    const std::int64_t bottom =
        std::min<std::int64_t>(std::int64_t{y} + bitmap.Height(), FFrame.Height);
    if (right <= left || bottom <= top)
        return;
    TDrawStep step;
    step.Kind = TDrawStep::TKind::Picture;
    step.Bounds = TRect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                        static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    step.X = step.Bounds.Left;
    step.Y = step.Bounds.Top;
    const TDrawStep* previous = PreviousStep();
    if (previous && previous->Kind == step.Kind && previous->Bounds == step.Bounds &&
        previous->Picture && VisiblePartIs(bitmap, x, y, step.Bounds, *previous->Picture)) {
        step.Picture = previous->Picture;
    } else {
        auto picture = std::make_shared<TPageBitmap>(step.Bounds.Width(), step.Bounds.Height());
        const auto w = static_cast<std::size_t>(step.Bounds.Width());
        for (std::int32_t row = 0; row < picture->Height(); ++row) {
            const std::uint32_t* source =
                bitmap.Pixels() +
                static_cast<std::size_t>(step.Bounds.Top - y + row) * bitmap.Width() +
                (step.Bounds.Left - x);
            std::memcpy(picture->Pixels() + row * w, source, w * sizeof(std::uint32_t));
        }
        step.Picture = std::move(picture);
    }
    FFrame.Steps.push_back(std::move(step));
}

std::vector<TRect> FrameDamage(const TFrame& before, const TFrame& after) {
    if (before.Width != after.Width || before.Height != after.Height) {
        if (after.Width <= 0 || after.Height <= 0)
            return {};
        return {TRect{0, 0, after.Width, after.Height}};
    }
    std::vector<TRect> damage;
    const auto add = [&](const TDrawStep* step) {
        if (step && !IsEmpty(step->Bounds))
            damage.push_back(step->Bounds);
    };
    const std::size_t n = std::max(before.Steps.size(), after.Steps.size());
    for (std::size_t i = 0; i < n; ++i) {
        const TDrawStep* a = i < before.Steps.size() ? &before.Steps[i] : nullptr;
        const TDrawStep* b = i < after.Steps.size() ? &after.Steps[i] : nullptr;
        if (a && b && SameStep(*a, *b))
            continue;
        add(a);
        if (!(a && b && a->Bounds == b->Bounds))
            add(b);
    }
    return damage;
}

void ReplayFrame(const TFrame& frame, ICanvas& canvas) {
    for (const TDrawStep& step : frame.Steps) {
        switch (step.Kind) {
            case TDrawStep::TKind::Fill:
                canvas.FillRect(step.Bounds, step.Fore);
                break;
            case TDrawStep::TKind::Text:
                canvas.TextOut(step.X, step.Y, step.Text, step.Fore, step.Back);
                break;
            case TDrawStep::TKind::Picture:
                if (step.Picture)
                    canvas.DrawBitmap(*step.Picture, step.X, step.Y);
                break;
        }
    }
}

}  // namespace lum
