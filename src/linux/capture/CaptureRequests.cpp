#include "linux/capture/CaptureRequests.h"

#include <algorithm>
#include <cstring>

#include "linux/capture/CaptureProtocol.h"

namespace lum::gtk {

namespace {

// A header's value goes into the request as it is: no line breaks, no NUL,
// no other control character but a tab (libsoup refuses them too).
bool IsHeaderValue(const std::string& value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

bool ReadNumbers(const std::vector<std::string>& words,
                 TCaptureOptions& options,
                 std::string& why) {
    const std::int64_t zoom = words.size() == 3 ? ParseCount(words[1], kMostZoomPercent) : -1;
    const std::int64_t wait = words.size() == 3 ? ParseCount(words[2], kMostWaitSeconds) : -1;
    if (zoom < kLeastZoomPercent || wait < 0) {
        why = "\"options\" needs a zoom of " + std::to_string(kLeastZoomPercent) + " to " +
              std::to_string(kMostZoomPercent) + " and a wait of 0 to " +
              std::to_string(kMostWaitSeconds);
        return false;
    }
    options.ZoomPercent = static_cast<std::int32_t>(zoom);
    options.WaitSeconds = static_cast<std::int32_t>(wait);
    return true;
}

// "header NAME VALUE": the value is never part of why.
bool ReadHeader(const std::string& line, TCaptureOptions& options, std::string& why) {
    const std::vector<std::string> words = SplitLine(line, 3);
    if (words.size() != 3) {
        why = "\"header\" needs a name and a value";
        return false;
    }
    std::string name = UnescapeLineText(words[1]);
    std::string value = UnescapeLineText(words[2]);
    if (!IsHeaderName(name)) {
        why = "a header's name must be a token of letters, digits and !#$%&'*+-.^_`|~";
        return false;
    }
    if (!IsHeaderValue(value)) {
        why = "the value of the header " + name + " holds a control character";
        return false;
    }
    options.Headers.emplace_back(std::move(name), std::move(value));
    return true;
}

}  // namespace

std::vector<std::string> CaptureOptionLines(const TCaptureOptions& options) {
    const std::int32_t zoom = std::clamp(options.ZoomPercent, kLeastZoomPercent, kMostZoomPercent);
    const std::int32_t wait = std::clamp(options.WaitSeconds, 0, kMostWaitSeconds);
    std::vector<std::string> lines{"options " + std::to_string(zoom) + " " + std::to_string(wait)};
    if (!options.Hide.empty())
        lines.push_back("hide " + EscapeLineText(options.Hide));
    if (!options.Crop.empty())
        lines.push_back("crop " + EscapeLineText(options.Crop));
    for (const auto& [name, value] : options.Headers)
        lines.push_back("header " + EscapeLineText(name) + " " + EscapeLineText(value));
    return lines;
}

bool IsCaptureOptionLine(const std::string& line) {
    const std::string kind = SplitLine(line, 2).at(0);
    return kind == "options" || kind == "hide" || kind == "crop" || kind == "header";
}

bool ReadCaptureOptionLine(const std::string& line, TCaptureOptions& options, std::string& why) {
    const std::vector<std::string> words = SplitLine(line, 2);
    const std::string& kind = words.at(0);
    if (kind == "options") {
        options = TCaptureOptions{};
        return ReadNumbers(SplitLine(line, 4), options, why);
    }
    if (kind == "header")
        return ReadHeader(line, options, why);
    if ((kind != "hide" && kind != "crop") || words.size() != 2) {
        why = kind == "hide" || kind == "crop" ? "\"" + kind + "\" needs a selector"
                                               : "not an option line";
        return false;
    }
    (kind == "hide" ? options.Hide : options.Crop) = UnescapeLineText(words[1]);
    return true;
}

bool IsHeaderName(const std::string& name) {
    static const char* const kSymbols = "!#$%&'*+-.^_`|~";
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               (c != '\0' && std::strchr(kSymbols, c) != nullptr);
    });
}

}  // namespace lum::gtk
