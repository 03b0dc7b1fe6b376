// The capture options as request lines, program to capture process. Before
// a navigate, "options ZOOM WAIT" starts them anew (nothing hidden, no crop,
// no headers), and "hide TEXT", "crop TEXT" and "header NAME VALUE" lines add
// to them (texts escaped as EscapeLineText does). A line that cannot be read
// is refused with a reason that never quotes a header's value (a header may
// carry a secret); nothing here throws but for memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WebView.h"

namespace lum::gtk {

// The protocol's bounds of a page's zoom (percent) and wait (seconds).
inline constexpr std::int32_t kLeastZoomPercent = 25;
inline constexpr std::int32_t kMostZoomPercent = 400;
inline constexpr std::int32_t kMostWaitSeconds = 60;

// The lines that give the capture process options, the first one
// "options ...". Zoom and wait are brought within the bounds.
std::vector<std::string> CaptureOptionLines(const TCaptureOptions& options);

// Whether the request line is one of the option lines (by its first word).
bool IsCaptureOptionLine(const std::string& line);

// Applies an option line to options. An "options" line starts them anew,
// even when its numbers are refused. false, with why, for a line that cannot
// be read: options then stand as they were.
bool ReadCaptureOptionLine(const std::string& line, TCaptureOptions& options, std::string& why);

// Whether name is a header's name as HTTP allows it (an RFC 7230 token).
bool IsHeaderName(const std::string& name);

}  // namespace lum::gtk
