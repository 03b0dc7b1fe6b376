// The lines the program and its capture process exchange over a pair of
// pipes: one request or answer a line, words separated by one blank, texts
// (URLs, messages) last and escaped so that a line never holds a newline. A
// picture's answer line is followed by its pixels, width x height 32-bit
// values (0x00RRGGBB, top-down rows, host byte order). Nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lum::gtk {

// "\" as "\\", newline as "\n", carriage return as "\r", NUL as "\0".
std::string EscapeLineText(const std::string& text);
std::string UnescapeLineText(const std::string& text);

// The words of a line: the first count - 1 words split at blanks, then the
// rest of the line as the last word; fewer words when the line
// has fewer.
std::vector<std::string> SplitLine(const std::string& line, std::size_t count);

// A whole number from 0 to limit, or -1.
std::int64_t ParseCount(const std::string& word, std::int64_t limit);

// Requests, program to capture process:
//   "size W H"          the view's size            (no answer)
//   "navigate URL"      load URL                   (later "complete" or "failed")
//   "measure N"         measure the page, step N   ("measured N W H" or "stepfailed N MSG")
//   "picture N W H"     take a picture, step N     ("picture N W H" + pixels, or "stepfailed")
// Answers, capture process to program:
//   "complete URL", "failed URL<TAB>MESSAGE" (both texts escaped, the tab
//   outside them), "measured N W H", "picture N W H", "stepfailed N MESSAGE".
inline constexpr const char* kCaptureHelperName = "lumenary-capture";

}  // namespace lum::gtk
