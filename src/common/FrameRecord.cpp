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

bool Intersect(const TRect& a, const TRect& b, TRect& common) {
    common = TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                   std::min(a.Bottom, b.Bottom)};
    return !IsEmpty(common);
}

bool ChangedInPlace(const TDrawStep& a, const TDrawStep& b) {
    return a.Kind == TDrawStep::TKind::Picture && b.Kind == a.Kind && a.Bounds == b.Bounds &&
           a.X == b.X && a.Y == b.Y;
}

// What later steps of frame paint over the direct picture at step: left
// out of it, and drawn through the buffer unless a direct picture draws it.
void ExcludeLaterSteps(const TFrame& frame,
                       const std::vector<bool>& direct,
                       TPictureUpdate::TDirect& picture,
                       std::vector<TRect>& overlays) {
    const TRect& bounds = frame.Steps[picture.Step].Bounds;
    for (std::size_t j = picture.Step + 1; j < frame.Steps.size(); ++j) {
        TRect covered;
        if (!Intersect(bounds, frame.Steps[j].Bounds, covered))
            continue;
        picture.Excluded.push_back(covered);
        if (!direct[j])
            overlays.push_back(covered);
    }
}

}  // namespace

void KeepSparePictures(TFrame& frame, TSparePictures& spares) {
    constexpr std::size_t kMaxSpares = 4;
    for (TDrawStep& step : frame.Steps) {
        if (spares.size() >= kMaxSpares)
            return;
        // Held by this frame alone: nothing reads it any more.
        if (step.Picture && step.Picture.use_count() == 1)
            spares.push_back(std::const_pointer_cast<TPageBitmap>(std::move(step.Picture)));
    }
}

TFrameRecorder::TFrameRecorder(ICanvas& measure, const TFrame* previous, TSparePictures* spares)
    : FMeasure(measure), FPrevious(previous), FSpares(spares) {
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
        std::shared_ptr<TPageBitmap> picture =
            NewPicture(step.Bounds.Width(), step.Bounds.Height());
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

std::shared_ptr<TPageBitmap> TFrameRecorder::NewPicture(std::int32_t width, std::int32_t height) {
    if (!FSpares || FSpares->empty())
        return std::make_shared<TPageBitmap>(width, height);
    std::shared_ptr<TPageBitmap> picture = std::move(FSpares->back());
    FSpares->pop_back();
    // Its memory when large enough, and its pixels all written over below.
    picture->Resize(width, height);
    return picture;
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

std::optional<TPictureUpdate> PictureUpdate(const TFrame& before, const TFrame& after) {
    if (before.Width != after.Width || before.Height != after.Height ||
        before.Steps.size() != after.Steps.size())
        return std::nullopt;
    TPictureUpdate update;
    std::vector<bool> direct(after.Steps.size(), false);
    for (std::size_t i = 0; i < after.Steps.size(); ++i) {
        const TDrawStep& a = before.Steps[i];
        const TDrawStep& b = after.Steps[i];
        if (a.Kind != b.Kind)
            return std::nullopt;
        if (SameStep(a, b))
            continue;
        if (b.Kind == TDrawStep::TKind::Picture && !ChangedInPlace(a, b))
            return std::nullopt;
        if (b.Kind == TDrawStep::TKind::Picture) {
            direct[i] = true;
            update.Direct.push_back(TPictureUpdate::TDirect{i, {}});
            continue;
        }
        for (const TRect* r : {&a.Bounds, &b.Bounds}) {
            if (!IsEmpty(*r))
                update.Overlays.push_back(*r);
        }
    }
    if (update.Direct.empty())
        return std::nullopt;
    for (TPictureUpdate::TDirect& picture : update.Direct)
        ExcludeLaterSteps(after, direct, picture, update.Overlays);
    return update;
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
