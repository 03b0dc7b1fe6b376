#include "settings/ConfigDlgRules.h"

#include <algorithm>
#include <utility>

#include "settings/ConfigDialogView.h"

namespace lum {

namespace {

// Byte length of the UTF-8 sequence that starts with lead, and its size in
// UTF-16 units. Stray continuation bytes count as one character each.
std::pair<std::size_t, std::size_t> CharSize(unsigned char lead) {
    if (lead >= 0xF0)
        return {4, 2};
    if (lead >= 0xE0)
        return {3, 1};
    if (lead >= 0xC0)
        return {2, 1};
    return {1, 1};
}

}  // namespace

std::size_t UTF16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto [bytes, width] = CharSize(static_cast<unsigned char>(text[i]));
        i += bytes;
        units += width;
    }
    return units;
}

const std::vector<TColorEntry>& OfferedColors() {
    static const std::vector<TColorEntry> offered = [] {
        std::vector<TColorEntry> result;
        for (const TColorEntry& entry : ColorTable()) {
            if (entry.ChooserName)
                result.push_back(entry);
        }
        return result;
    }();
    return offered;
}

std::int32_t ColorSelectionOf(TColor color) {
    const auto& offered = OfferedColors();
    for (std::size_t i = 0; i < offered.size(); ++i) {
        if (offered[i].Value == color)
            return static_cast<std::int32_t>(i);
    }
    return kNoColorSelection;
}

std::int32_t SpinPositionFromValue(std::int32_t value) {
    // The control keeps a 16-bit signed position: 65541 arrives as 5.
    const auto position = static_cast<std::int16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
    return std::clamp<std::int32_t>(position, kSpinMin, kSpinMax);
}

std::int32_t SpinPositionFromText(std::string_view text, std::int32_t lastValid) {
    if (text.empty() || text.size() > 9)
        return lastValid;
    std::int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return lastValid;
        value = value * 10 + (c - '0');
    }
    return value <= kSpinMax ? value : lastValid;
}

std::string CutLine(std::string_view line, std::size_t maxChars) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto [bytes, width] = CharSize(static_cast<unsigned char>(line[i]));
        if (units + width > maxChars)
            break;
        units += width;
        i = std::min(line.size(), i + bytes);
    }
    return std::string(line.substr(0, i));
}

std::vector<std::string> SplitURLLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(CutLine(text.substr(start, i - start), kMaxURLLineChars));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    // The text after the last break is the last line; when it is empty
    // (an empty box, or a text ending in a break) it is not a line.
    if (start < text.size()) {
        lines.push_back(CutLine(text.substr(start), kMaxURLLineChars));
    }
    return lines;
}

std::string JoinURLLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TPoint ScreenCenteredPosition(TSize screen, TSize dialog) {
    return TPoint{std::max(0, (screen.Width - dialog.Width) / 2),
                  std::max(0, (screen.Height - dialog.Height) / 2)};
}

}  // namespace lum
