// A page that an engine measures in CSS pixels but draws scaled to the
// screen (the WebBrowser control of a DPI-aware host draws one CSS pixel as
// 1/96 inch: 1.5 device pixels at 150 %), in the device pixels of its
// picture and back. Never throws: a scale a document cannot state sensibly
// counts as 1:1.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace lum {

// The dots per inch a document reports for one axis: the device's, which it
// draws at, and the logical ones, one CSS pixel each (96 as a rule).
struct TAxisDpi {
    std::int32_t Device = 96;
    std::int32_t Logical = 96;
    friend bool operator==(const TAxisDpi&, const TAxisDpi&) = default;
};

// Both axes of a document's scale.
struct TPageDpi {
    TAxisDpi Across;
    TAxisDpi Down;
};

// The dots per inch a document is taken at its word for: 24 to 1920, from a
// quarter of 96 to twenty times it, more than any display scaling or zoom a
// browser offers.
inline constexpr std::int32_t kMinPageDpi = 24;
inline constexpr std::int32_t kMaxPageDpi = 1920;

// The scale itself, or 1:1 (96 : 96) when either figure lies outside
// [kMinPageDpi, kMaxPageDpi].
TAxisDpi SaneDpi(TAxisDpi dpi);

// length CSS pixels in device pixels, rounded up: the last CSS pixel of a
// page 683 wide at 150 % covers part of device column 1025, which the
// picture keeps. 0 for a negative length; at most INT32_MAX.
std::int32_t DevicePixels(std::int32_t length, TAxisDpi dpi);
TSize DevicePixels(TSize size, const TPageDpi& dpi);

// length device pixels in the CSS pixels they show whole, rounded down (a
// view 1024 device pixels wide shows 682 whole CSS pixels at 150 %). 0 for
// a negative length.
std::int32_t CssPixels(std::int32_t length, TAxisDpi dpi);

}  // namespace lum
