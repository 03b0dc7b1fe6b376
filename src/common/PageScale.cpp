#include "common/PageScale.h"

#include <algorithm>
#include <limits>

namespace lum {

namespace {

bool InRange(std::int32_t dpi) {
    return dpi >= kMinPageDpi && dpi <= kMaxPageDpi;
}

std::int32_t Clamped(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TAxisDpi SaneDpi(TAxisDpi dpi) {
    if (!InRange(dpi.Device) || !InRange(dpi.Logical))
        return TAxisDpi{};
    return dpi;
}

std::int32_t DevicePixels(std::int32_t length, TAxisDpi dpi) {
    if (length <= 0)
        return 0;
    dpi = SaneDpi(dpi);
    const std::int64_t scaled = static_cast<std::int64_t>(length) * dpi.Device;
    return Clamped((scaled + dpi.Logical - 1) / dpi.Logical);
}

TSize DevicePixels(TSize size, const TPageDpi& dpi) {
    return TSize{DevicePixels(size.Width, dpi.Across), DevicePixels(size.Height, dpi.Down)};
}

std::int32_t CssPixels(std::int32_t length, TAxisDpi dpi) {
    if (length <= 0)
        return 0;
    dpi = SaneDpi(dpi);
    return Clamped(static_cast<std::int64_t>(length) * dpi.Logical / dpi.Device);
}

}  // namespace lum
