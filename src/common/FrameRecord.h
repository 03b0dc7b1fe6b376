// One painted frame kept as its drawing steps, so that the next frame can be
// compared with it: two frames can only differ inside the bounds of the steps
// that differ, and only that part needs to be drawn and shown again.
// Nothing here throws but std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "platform/Canvas.h"

namespace lum {

struct TDrawStep {
    enum class TKind { Fill, Text, Picture };
    TKind Kind = TKind::Fill;
    TRect Bounds;  // the pixels the step may change, within the surface
    // Text: where it starts; Picture: where its visible part goes.
    std::int32_t X = 0;
    std::int32_t Y = 0;
    TColor Fore = 0;  // Fill: the colour
    TColor Back = 0;
    std::string Text;
    // Picture: a copy of the part of the page bitmap inside the surface.
    std::shared_ptr<const TPageBitmap> Picture;
};

struct TFrame {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<TDrawStep> Steps;
};

// The copies of pictures of frames gone, whose memory the copies of the
// frames to come use again (a scrolled page is copied anew each second).
using TSparePictures = std::vector<std::shared_ptr<TPageBitmap>>;

// Moves the copies that only frame holds into spares (a few at most).
void KeepSparePictures(TFrame& frame, TSparePictures& spares);

// A canvas that records what is painted on it. Text is measured by measure
// (the canvas the frame is replayed on); a text step's bounds reach one line
// height beyond its extent on every side, for glyphs that stand out of their
// cell. A picture whose visible part is that of the same step of previous
// shares that step's copy instead of taking a new one; a new copy takes the
// memory of one of spares (not owned, may be null) when there is one.
class TFrameRecorder : public ICanvas {
  public:
    TFrameRecorder(ICanvas& measure, const TFrame* previous, TSparePictures* spares = nullptr);
    TFrame Take() { return std::move(FFrame); }

    std::int32_t Width() const override { return FFrame.Width; }
    std::int32_t Height() const override { return FFrame.Height; }
    void FillRect(const TRect& rect, TColor color) override;
    TSize TextExtent(const std::string& text) override { return FMeasure.TextExtent(text); }
    void TextOut(std::int32_t x,
                 std::int32_t y,
                 const std::string& text,
                 TColor fore,
                 TColor back) override;
    void DrawBitmap(const TPageBitmap& bitmap, std::int32_t x, std::int32_t y) override;

  private:
    const TDrawStep* PreviousStep() const;
    std::shared_ptr<TPageBitmap> NewPicture(std::int32_t width, std::int32_t height);

    ICanvas& FMeasure;
    const TFrame* FPrevious;
    TSparePictures* FSpares;
    TFrame FFrame;
};

// The rectangles outside which before and after paint the same pixels: the
// bounds, in both frames, of every step that differs from the step at the
// same place of the other frame (a step missing there differs); the whole
// surface when the sizes differ. Empty when the frames paint alike. A frame
// drawn only inside these over the one before then shows what it shows drawn
// whole, as long as frames paint every pixel (the display's start with the
// background).
std::vector<TRect> FrameDamage(const TFrame& before, const TFrame& after);

// How a frame whose pictures changed in place (a page scrolled: the same
// bounds, other pixels) can be shown without drawing it whole: each such
// picture goes straight to the screen without the parts that later steps
// paint over it, and everything else that changed, with those parts, is
// drawn as a whole frame would draw it (through the back buffer).
struct TPictureUpdate {
    struct TDirect {
        std::size_t Step = 0;         // the picture step of the frame after
        std::vector<TRect> Excluded;  // the parts of its bounds that later steps cover
    };
    std::vector<TDirect> Direct;
    // The rest of the damage and every part left out of a direct picture,
    // but for those another direct picture draws.
    std::vector<TRect> Overlays;
};

// The update of after over before, when their only differing pictures are
// ones that changed in place: none for frames of other sizes or other
// steps, a picture moved, grown or cut otherwise (the last step of a scroll,
// where background shows below the page), or no picture changed.
std::optional<TPictureUpdate> PictureUpdate(const TFrame& before, const TFrame& after);

// Paints the steps of frame on canvas, in order.
void ReplayFrame(const TFrame& frame, ICanvas& canvas);

}  // namespace lum
