// What the display form draws at each repaint, as portable code over an
// ICanvas: the page (or the loading text, or the card of a page whose
// capture failed or whose picture cannot be held), the URL line and the clock in a
// full-screen run, the title in a preview. Painting never fails: a URL list
// without an entry for the page simply draws no URL line.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Canvas.h"
#include "platform/Clock.h"
#include "platform/Types.h"
#include "slideshow/SlideShow.h"

namespace lum {

inline constexpr const char* kLoadingText = "読み込み中です。しばらくおまちください";
inline constexpr const char* kNotFetchedText = "(未取得)";
// The card of a run without any page to show, and how to give it some.
inline constexpr const char* kNoPagesHeading = "表示するページがありません";
inline constexpr const char* kNoPagesHint =
    "設定ダイアログの URL 一覧に、表示するページのアドレスを一行に一つずつ入れてください";
// The card of a run whose settings file was refused (no list could be read):
// the heading, the file, why, and the form of the list.
inline constexpr const char* kSettingsRefusedHeading =
    "設定ファイルを読めないため、表示するページがありません";
inline constexpr const char* kURLListFormHint =
    "URL 一覧は [Lumenary\\URLList] の下に「1=https://example.com/」の形で一行に一つずつ書きます";
// The card of a time without any page: every page is outside its days or
// hours (the line under it says when the next one is).
inline constexpr const char* kNoPageNowHeading = "いまは表示する時間帯のページがありません";
inline constexpr const char* kNoPageNowHint = "URL 一覧の days= と hours= を見直してください";
// The card of a page whose picture is there but cannot be held for lack of
// memory: the heading, the URL and the failure's own words.
inline constexpr const char* kOutOfMemoryHeading =
    "メモリが足りないため、このページを表示できません";

// The mode the host selected, as far as painting cares.
enum class TDisplayMode { dmNormal, dmPreview, dmOther };

// Everything a repaint needs besides the slide-show state.
struct TPaintContext {
    TDisplayMode Mode = TDisplayMode::dmOther;
    std::int32_t Width = 0;   // W: the form's client width
    std::int32_t Height = 0;  // H: the form's client height
    TColor BackColor = 0;
    TColor ForeColor = 0;
    std::string Title;  // the application title, shown in a preview
    TLocalTime Now;     // local time for the clock
};

// (a div 2) - (b div 2), truncating: the offset that centres b inside a.
constexpr std::int32_t CenterOffset(std::int32_t a, std::int32_t b) {
    return a / 2 - b / 2;
}

// "AM hh:nn:ss" / "PM hh:nn:ss" on the 12-hour clock (0 shows as 12).
std::string FormatClock(std::int32_t hour,
                        std::int32_t minute,
                        std::int32_t second,
                        const std::string& separator);

// "date time" in the user's formats for a packed date above 0 (the time
// left out when it is 00:00:00); empty for no date.
std::string DateTimeText(std::int32_t packedDate, ILocale& locale);

// "(date time付)" for a packed file date above 0 (the time left out when it
// is 00:00:00), else "(未取得)".
std::string FileDateText(std::int32_t fileDate, ILocale& locale);

// The URL line of the page on screen; empty when the list has no such entry.
std::string URLLineText(const TSlideShow& show, ILocale& locale);

// Fills the canvas with the background and draws what the mode shows.
void PaintDisplay(ICanvas& canvas,
                  const TSlideShow& show,
                  const TPaintContext& context,
                  ILocale& locale);

}  // namespace lum
