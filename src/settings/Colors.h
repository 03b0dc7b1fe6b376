// Colours and their text form: the 52-entry colour table, ColorToText and
// TextToColor (which throws lum::Exception "'%s' は整数ではありません").
#pragma once

#include <span>
#include <string>

#include "platform/Types.h"

namespace lum {

struct TColorEntry {
    const char* Ident;        // "clBtnFace"
    TColor Value;             // 0x00BBGGRR, or 0xFF000000 + n for system colour n
    const char* ChooserName;  // name in the dialog's colour chooser; nullptr when not offered
};

// The 52 entries in table order.
std::span<const TColorEntry> ColorTable();

std::string ColorToText(TColor color);
TColor TextToColor(const std::string& text);

// The colour as 0x00RRGGBB for a platform without system colours of its own:
// a system colour takes its value in the classic Windows scheme (an unknown
// one is black); the top byte of an RGB colour is ignored.
std::uint32_t ColorToRgb(TColor color);

}  // namespace lum
