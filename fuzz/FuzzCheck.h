// Small helpers shared by the fuzz targets: a check that aborts (so libFuzzer
// keeps the input as a crash) and an independent reading of UTF-8 text as
// UTF-16 units, for the URL box's per-line limit.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace lum::fuzz {

inline void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The UTF-16 length of valid UTF-8 text (shortest forms, no surrogates, at
// most U+10FFFF); nullopt for anything else.
inline std::optional<std::size_t> Utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size())
            return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < minimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        units += code >= 0x10000 ? 2 : 1;
        i += length;
    }
    return units;
}

// The longest prefix of valid UTF-8 text that fits in maxUnits UTF-16
// units without splitting a character.
inline std::string_view Utf16Prefix(std::string_view text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t width = length == 4 ? 2 : 1;
        if (units + width > maxUnits)
            break;
        units += width;
        i += length;
    }
    return text.substr(0, i);
}

}  // namespace lum::fuzz
