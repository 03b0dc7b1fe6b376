// The rules of the settings dialog's controls, apart from any window: the
// spin buttons' positions, the URL box's lines and their length limit, the
// colours the choosers offer, the centred position. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Types.h"
#include "settings/Colors.h"

namespace lum {

inline constexpr std::int32_t kSpinMin = 0;
inline constexpr std::int32_t kSpinMax = 60;
// The URL box hands out at most this many characters (UTF-16 units) a line.
inline constexpr std::size_t kMaxURLLineChars = 4096;

// The 50 colours the choosers offer: the colour table without clDefault and
// clNone, in table order.
const std::vector<TColorEntry>& OfferedColors();
// The index of the first offered entry of that value, or kNoColorSelection.
std::int32_t ColorSelectionOf(TColor color);

// A loaded setting as a spin position: its low 16 bits as a signed number,
// then the nearest bound when it lies outside 0..60.
std::int32_t SpinPositionFromValue(std::int32_t value);
// The position a spin control reports: the typed text when the whole text is
// a whole number from 0 to 60, else its last valid position.
std::int32_t SpinPositionFromText(std::string_view text, std::int32_t lastValid);

// The first maxChars characters (UTF-16 units, never splitting a character).
std::string CutLine(std::string_view line, std::size_t maxChars);
// The lines of the URL box: split at CR LF, lone CR or lone LF; a last line
// that is empty is not counted; each line cut to kMaxURLLineChars.
std::vector<std::string> SplitURLLines(std::string_view text);
// The box text of lines: each line followed by CR LF.
std::string JoinURLLines(const std::vector<std::string>& lines);

// The length of a UTF-8 text in UTF-16 units, as the URL box counts it.
std::size_t UTF16Length(std::string_view text);

// The top-left corner that centres a dialog on a screen, never negative.
TPoint ScreenCenteredPosition(TSize screen, TSize dialog);

}  // namespace lum
