// The picture step of the capture window. The control draws only what it
// has laid out in its own window: it takes the picture's size for the
// drawing, and the display's size again once the picture is whole (or the
// step failed or was dropped). It draws with OleDraw into a bitmap
// compatible with the screen, white where it draws nothing, one band of
// rows at a time: the page's bounds are given from the band's top upwards
// (negative), and the control paints only what falls within the bitmap.
// Drawing and reading a page of tens of thousands of rows in one go holds
// the message loop for a second or more, and a same-size system bitmap
// besides the picture; a band of kBandBytes holds it for milliseconds.
#include "win32/browser/Win32WebView.h"

#include <algorithm>

#include "win32/browser/Win32CaptureBitmap.h"

namespace lum::win32 {

namespace {

constexpr std::uint32_t kDrawAspectDocPrint = 8;  // DVASPECT_DOCPRINT
constexpr std::int64_t kBandBytes = 16 * 1024 * 1024;

}  // namespace

void TWin32WebView::TakePicture(const TSize& size,
                                std::function<void(TPageBitmap&)> done,
                                TStepFailed failed) {
    DropPicture();
    auto step = std::make_unique<TPictureStep>();
    step->Done = std::move(done);
    step->Failed = std::move(failed);
    step->Start = std::chrono::steady_clock::now();
    step->View = FViewSize;
    step->BandRows = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        kBandBytes / (4 * std::max(size.Width, 1)), 1, std::max(size.Height, 1)));
    // A cropped box is drawn from the page laid out at the view's size, made
    // tall and wide enough to hold it; the whole page at the picture's.
    step->Layout = size;
    if (FCrop) {
        step->Origin = TPoint{FCrop->Left, FCrop->Top};
        step->Layout = TSize{std::max(FViewSize.Width, FCrop->Right),
                             std::max(FViewSize.Height, FCrop->Bottom)};
    }
    try {
        SetViewSize(step->Layout);
        step->Picture.Resize(size.Width, size.Height);
        step->Band = CreateCaptureBitmap();
        step->Band->SetWidth(size.Width);
        step->Band->SetHeight(step->BandRows);
    } catch (...) {
        if (step->View.Width > 0 && step->View.Height > 0)
            SetViewSize(step->View);
        throw;
    }
    FPicture = std::move(step);
    if (FPicture->BandRows >= size.Height) {
        DrawBand();  // one band: at once, as the other steps
        return;
    }
    ::PostMessageW(FWnd, kPictureBand, 0, 0);
}

// Draws the next band; then the next through the message loop, or the end.
// A failure ends the step through its failure continuation.
void TWin32WebView::DrawBand() {
    if (!FPicture)
        return;  // dropped since
    TPictureStep& step = *FPicture;
    const TSize size{step.Picture.Width(), step.Picture.Height()};
    try {
        const std::int32_t top = step.Next;
        const std::int32_t rows = std::min(step.BandRows, size.Height - top);
        if (rows != step.Band->Height())
            step.Band->SetHeight(rows);  // the last band: white
        else
            step.Band->Clear();
        const TPoint at{step.Origin.X, step.Origin.Y + top};
        step.Band->DrawView(kDrawAspectDocPrint, TRect{-at.X, -at.Y, step.Layout.Width - at.X,
                                                       step.Layout.Height - at.Y});
        step.Band->ReadRowsInto(step.Picture, top);
        step.Next = top + rows;
    } catch (const std::exception& e) {
        const std::unique_ptr<TPictureStep> over = std::move(FPicture);
        if (over->View.Width > 0 && over->View.Height > 0)
            SetViewSize(over->View);
        if (over->Failed)
            over->Failed(e.what());
        return;
    }
    const bool whole = step.Next >= size.Height;
    if (whole || std::chrono::steady_clock::now() - step.Start > FStepLimits.Picture)
        return FinishPicture();
    ::PostMessageW(FWnd, kPictureBand, 0, 0);
}

// The picture is whole, or its time is up: the view gets its size back, and
// the picture goes to the step's continuation unless the limit has passed.
void TWin32WebView::FinishPicture() {
    const std::unique_ptr<TPictureStep> over = std::move(FPicture);
    over->Band.reset();
    try {
        if (over->View.Width > 0 && over->View.Height > 0)
            SetViewSize(over->View);
    } catch (const std::exception& e) {
        if (over->Failed)
            over->Failed(e.what());
        return;
    }
    if (StepOverdue(over->Start, FStepLimits.Picture, "taking the page's picture", over->Failed))
        return;
    over->Done(over->Picture);
}

void TWin32WebView::DropPicture() noexcept {
    if (!FPicture)
        return;
    const std::unique_ptr<TPictureStep> over = std::move(FPicture);
    if (over->View.Width > 0 && over->View.Height > 0 && FHost) {
        try {
            SetViewSize(over->View);
        } catch (...) {
            // A control that cannot be sized is closed next anyway.
        }
    }
}

}  // namespace lum::win32
