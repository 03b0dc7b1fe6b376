#include "slideshow/PaintLayout.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/DosDate.h"
#include "slideshow/PageFailure.h"
#include "slideshow/PageSchedule.h"

namespace lum {

namespace {

constexpr std::int32_t kMargin = 5;
constexpr std::int32_t kCardLineGap = 8;

std::string TwoDigits(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(value));
    return text;
}

// Lines centred one under the other in the form's colours.
void PaintCard(ICanvas& canvas,
               const std::vector<std::string>& lines,
               const TPaintContext& context) {
    std::vector<TSize> extents;
    std::int32_t total = 0;
    for (const std::string& line : lines) {
        extents.push_back(canvas.TextExtent(line));
        total += extents.back().Height + kCardLineGap;
    }
    std::int32_t y = CenterOffset(context.Height, total - kCardLineGap);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        canvas.TextOut(std::max(CenterOffset(context.Width, extents[i].Width), kMargin), y,
                       lines[i], context.ForeColor, context.BackColor);
        y += extents[i].Height + kCardLineGap;
    }
}

// The card of a page whose capture failed: what it is, its URL, why, and
// when it was tried.
void PaintFailureCard(ICanvas& canvas,
                      const TSlideShow& show,
                      const TPaintContext& context,
                      ILocale& locale) {
    std::vector<std::string> lines{kFailedPageHeading};
    if (show.FPageIndex >= 0 && static_cast<std::size_t>(show.FPageIndex) < show.FURLs.size())
        lines.push_back(show.FURLs[static_cast<std::size_t>(show.FPageIndex)]);
    lines.push_back(FailureReasonText(show.FFailure));
    if (!show.FFailure.Detail.empty())
        lines.push_back("(" + show.FFailure.Detail + ")");
    const std::string when = DateTimeText(show.FFailureDate, locale);
    if (!when.empty())
        lines.push_back(when + " に取得を試みました");
    PaintCard(canvas, lines, context);
}

// The card of a page whose picture cannot be held: what it is, its URL, and
// the failure's words.
void PaintOutOfMemoryCard(ICanvas& canvas,
                          const TSlideShow& show,
                          const TPaintContext& context,
                          const std::string& detail) {
    std::vector<std::string> lines{kOutOfMemoryHeading};
    if (show.FPageIndex >= 0 && static_cast<std::size_t>(show.FPageIndex) < show.FURLs.size())
        lines.push_back(show.FURLs[static_cast<std::size_t>(show.FPageIndex)]);
    if (!detail.empty())
        lines.push_back("(" + detail + ")");
    PaintCard(canvas, lines, context);
}

// The picture at its place; a part that cannot be held to be drawn (the part
// scaled down, or cut to a monitor) leaves the memory card instead, as
// painting never fails.
void PaintPicture(ICanvas& canvas, const TSlideShow& show, const TPaintContext& context) {
    const std::int32_t w = context.Width;
    const std::int32_t h = context.Height;
    // A picture wider than its monitor is shown scaled down to its width.
    const TSize shown = show.ShownSize();
    const std::int32_t bw = shown.Width;
    const std::int32_t bh = shown.Height;
    const std::int32_t x = std::max(CenterOffset(w, bw), 0);
    const std::int32_t y = bh < h ? std::max(CenterOffset(h, bh), 0) : -show.FScrollPos;
    try {
        if (bw == show.FBitmap.Width() && bh == show.FBitmap.Height())
            canvas.DrawBitmap(show.FBitmap, x, y);
        else
            canvas.DrawBitmapScaled(show.FBitmap, x, y, shown);
    } catch (const OutOfMemory& e) {
        canvas.FillRect(TRect{0, 0, w, h}, context.BackColor);
        PaintOutOfMemoryCard(canvas, show, context, e.what());
    }
}

void PaintPage(ICanvas& canvas,
               const TSlideShow& show,
               const TPaintContext& context,
               ILocale& locale) {
    const std::int32_t w = context.Width;
    const std::int32_t h = context.Height;
    // Nothing would ever load: say so, and how to mend it.
    if (show.FURLs.empty() && !show.FRefusedSettingsPath.empty()) {
        return PaintCard(canvas,
                         {kSettingsRefusedHeading, show.FRefusedSettingsPath,
                          "(" + show.FRefusedSettingsReason + ")", kURLListFormHint},
                         context);
    }
    if (show.FURLs.empty())
        return PaintCard(canvas, {kNoPagesHeading, kNoPagesHint}, context);
    if (show.FNoPageNow) {
        return PaintCard(
            canvas,
            {kNoPageNowHeading,
             show.FNextShown ? "次のページは " + NextShownText(*show.FNextShown) + " から表示します"
                             : std::string(kNoPageNowHint)},
            context);
    }
    if (show.FBitmap.Empty() && show.FOutOfMemory)
        return PaintOutOfMemoryCard(canvas, show, context, show.FOutOfMemoryDetail);
    if (show.FBitmap.Empty() && show.FFailed)
        return PaintFailureCard(canvas, show, context, locale);
    if (show.FBitmap.Empty()) {
        const TSize extent = canvas.TextExtent(kLoadingText);
        canvas.TextOut(CenterOffset(w, extent.Width), CenterOffset(h, extent.Height), kLoadingText,
                       context.ForeColor, context.BackColor);
        return;
    }
    PaintPicture(canvas, show, context);
}

void PaintClock(ICanvas& canvas, const TPaintContext& context, ILocale& locale) {
    const TLocalTime& now = context.Now;
    const std::string text = FormatClock(now.Hour, now.Minute, now.Second, locale.TimeSeparator());
    const TSize extent = canvas.TextExtent(text);
    canvas.TextOut(context.Width - extent.Width - kMargin, context.Height - extent.Height - kMargin,
                   text, context.ForeColor, context.BackColor);
}

}  // namespace

std::string FormatClock(std::int32_t hour,
                        std::int32_t minute,
                        std::int32_t second,
                        const std::string& separator) {
    const std::int32_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return std::string(hour < 12 ? "AM " : "PM ") + TwoDigits(hour12) + separator +
           TwoDigits(minute) + separator + TwoDigits(second);
}

std::string DateTimeText(std::int32_t packedDate, ILocale& locale) {
    TDosDateTime fields;
    // A date whose fields cannot be a time (no file system writes one) reads
    // like no date at all.
    if (packedDate <= 0 || !UnpackDosDateTime(packedDate, fields))
        return std::string();
    const TLocalTime time{fields.Year, fields.Month,  fields.Day,
                          fields.Hour, fields.Minute, fields.Second};
    std::string text = locale.FormatShortDate(time);
    if (time.Hour != 0 || time.Minute != 0 || time.Second != 0) {
        text += ' ';
        text += locale.FormatLongTime(time);
    }
    return text;
}

std::string FileDateText(std::int32_t fileDate, ILocale& locale) {
    const std::string text = DateTimeText(fileDate, locale);
    return text.empty() ? kNotFetchedText : "(" + text + "付)";
}

std::string URLLineText(const TSlideShow& show, ILocale& locale) {
    if (show.FPageIndex < 0 || static_cast<std::size_t>(show.FPageIndex) >= show.FURLs.size()) {
        return std::string();
    }
    return show.FURLs[static_cast<std::size_t>(show.FPageIndex)] +
           FileDateText(show.FFileDate, locale);
}

void PaintDisplay(ICanvas& canvas,
                  const TSlideShow& show,
                  const TPaintContext& context,
                  ILocale& locale) {
    canvas.FillRect(TRect{0, 0, context.Width, context.Height}, context.BackColor);
    if (context.Mode == TDisplayMode::dmPreview) {
        canvas.TextOut(kMargin, kMargin, context.Title, context.ForeColor, context.BackColor);
        return;
    }
    if (context.Mode != TDisplayMode::dmNormal)
        return;

    PaintPage(canvas, show, context, locale);
    if (show.FShowURL) {
        const std::string line = URLLineText(show, locale);
        if (!line.empty()) {
            canvas.TextOut(kMargin, kMargin, line, context.ForeColor, context.BackColor);
        }
    }
    if (show.FShowClock)
        PaintClock(canvas, context, locale);
}

}  // namespace lum
