// The options a line of the URL list may carry after its URL, separated by
// white space: name=value, a value with spaces in double quotes (a quote or
// a backslash inside written after a backslash). The options begin at the
// first word after the line's first that starts with an option's name and
// "=": a line without one is its URL as it always was, blanks and all (a
// data: URL may hold them). An option
// that cannot be read (an unknown name, a value out of its range, an
// unbalanced quote) is left out and named in Problems, never silently
// dropped; the page itself stays. Reading never throws beyond out-of-memory.
// Problems never quote a header's value (a header may carry a secret).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lum {

// A range of local times in minutes from midnight; From > To runs over
// midnight (22:00-06:00).
struct TTimeRange {
    std::int32_t From = 0;
    std::int32_t To = 0;
    bool operator==(const TTimeRange&) const = default;
};

struct THeader {
    std::string Name;
    std::string Value;
    bool operator==(const THeader&) const = default;
};

struct TPageOptions {
    std::optional<std::int32_t> ShowSeconds;     // show=S, 1-3600
    std::optional<std::int32_t> RefreshMinutes;  // refresh=M, 0-1440
    std::optional<std::int32_t> ZoomPercent;     // zoom=P%, 25-400
    std::optional<std::int32_t> WaitSeconds;     // wait=S, 0-60
    std::string Hide;                            // hide="selectors"
    std::string Crop;                            // crop="selector"
    std::vector<THeader> Headers;                // header="Name: value", may repeat
    std::vector<TTimeRange> Hours;               // hours=HH:MM-HH:MM, may repeat
    std::uint8_t Days = 0x7F;                    // days=: bit 0 Monday ... bit 6 Sunday
    std::optional<bool> Scroll;                  // scroll=on/off
    bool operator==(const TPageOptions&) const = default;
};

struct TURLLine {
    std::string URL;  // what comes before the options (the whole line without any)
    TPageOptions Options;
    // One text per option that could not be read: "<name>: <why>".
    std::vector<std::string> Problems;
};

// Reads a line of the URL list: its URL, then its options.
TURLLine ParseURLLine(const std::string& line);

// The line that ParseURLLine reads back as url with options (values quoted
// where they must be); the options in a fixed order.
std::string FormatURLLine(const std::string& url, const TPageOptions& options);

}  // namespace lum
