// What the settings dialog checks when OK is pressed, before it saves: a
// time box whose text is no position of its spin control, and URL box lines
// that do not read as URLs; with the Japanese texts the dialog shows about
// them. The checks only warn: what is saved stays as typed. Nothing here
// throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ConfigDialogView.h"

namespace lum {

// Why a line of the URL box is not taken for a URL, or a page's options on
// it cannot all be read.
enum class TURLLineFault { None, NoScheme, WhiteSpace, Option };

// At most this many flagged lines are listed in the question; the rest are
// counted.
inline constexpr std::size_t kMaxListedURLLines = 10;

// A line is flagged when it holds white space (blanks, tabs, the
// ideographic space of Japanese input, ...), or when it does not begin with
// a scheme: a letter, then letters, digits, "+", "-" or ".", then ":"
// ("http:", "file:", "about:"). A host with a port ("example.com:8080/")
// has the shape of a scheme but is not one. An empty line is not flagged:
// the list keeps it as a gap, and it shows nothing to correct.
TURLLineFault URLLineFault(std::string_view line);

struct TFlaggedURLLine {
    std::size_t Line = 0;  // 0-based among the box's lines
    std::string
        Text;  // the line, or only its URL when it has options (a header's value is a secret)
    TURLLineFault Fault = TURLLineFault::None;
    std::vector<std::string> Problems;  // Option: each option that cannot be read, and why
};

// The lines that are not URLs, or whose options cannot all be read (the
// URL is the part before them: "https://a/ show=10" is a URL with an
// option), in order; a line that the box showed when the dialog opened was
// saved so before and is not flagged again.
std::vector<TFlaggedURLLine> FlaggedURLLines(const std::vector<std::string>& lines,
                                             const std::vector<std::string>& loaded);

// The question about flagged lines: each with its line number (from 1), its
// text in brackets (so that blanks at its ends show) and the reason, the
// first kMaxListedURLLines of them, then whether to save as typed.
std::string FlaggedURLLinesQuestion(const std::vector<TFlaggedURLLine>& flagged);

// The name of a time box's field as its label shows it, without access key.
std::string SpinFieldName(TConfigSpin spin);
// The warning about a time box whose text is not a whole number from 0 to
// 60, naming the field, the text and the range; empty for a valid text.
std::string SpinTextWarning(TConfigSpin spin, std::string_view text);

}  // namespace lum
