#include "slideshow/PaintLayout.h"

#include <algorithm>
#include <cstdio>

#include "common/DosDate.h"

namespace lum {

namespace {

constexpr std::int32_t kMargin = 5;

std::string TwoDigits(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(value));
    return text;
}

void PaintPage(ICanvas& canvas, const TSlideShow& show, const TPaintContext& context) {
    const std::int32_t w = context.Width;
    const std::int32_t h = context.Height;
    if (show.FBitmap.Empty()) {
        const TSize extent = canvas.TextExtent(kLoadingText);
        canvas.TextOut(CenterOffset(w, extent.Width), CenterOffset(h, extent.Height), kLoadingText,
                       context.ForeColor, context.BackColor);
        return;
    }
    const std::int32_t bw = show.FBitmap.Width();
    const std::int32_t bh = show.FBitmap.Height();
    const std::int32_t x = std::max(CenterOffset(w, bw), 0);
    const std::int32_t y = bh < h ? std::max(CenterOffset(h, bh), 0) : -show.FScrollPos;
    canvas.DrawBitmap(show.FBitmap, x, y);
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

std::string FileDateText(std::int32_t fileDate, ILocale& locale) {
    TDosDateTime fields;
    // A date whose fields cannot be a time (no file system writes one) reads
    // like a page without a date.
    if (fileDate <= 0 || !UnpackDosDateTime(fileDate, fields))
        return kNotFetchedText;
    const TLocalTime time{fields.Year, fields.Month,  fields.Day,
                          fields.Hour, fields.Minute, fields.Second};
    std::string text = locale.FormatShortDate(time);
    if (time.Hour != 0 || time.Minute != 0 || time.Second != 0) {
        text += ' ';
        text += locale.FormatLongTime(time);
    }
    return "(" + text + "付)";
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

    PaintPage(canvas, show, context);
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
