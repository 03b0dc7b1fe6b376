// Folder src/platform (headers only, in every program): the interfaces of
// every operating-system service. It includes the C++ library only.
//
// Plain types shared by the portable code and every platform: opaque window
// handles, rectangles, messages with the Windows numeric values, colours.
// Nothing here includes an operating-system header.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

namespace lum {

// A window, module or kernel object handle of the platform, as an integer.
using THandle = std::uintptr_t;

// A signed 32-bit integer as a handle (the command line gives handles as such).
inline THandle HandleFromInt(std::int32_t value) {
    return static_cast<THandle>(static_cast<std::intptr_t>(value));
}

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// A window message with the platform's numeric values; Result is what the
// window procedure returns.
struct TMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// Window message numbers (the Windows values; names kept free of the
// platform's macros).
namespace Msg {
constexpr std::uint32_t Destroy = 0x0002;
constexpr std::uint32_t Paint = 0x000F;
constexpr std::uint32_t Close = 0x0010;
constexpr std::uint32_t EraseBkgnd = 0x0014;
constexpr std::uint32_t DisplayChange = 0x007E;  // the monitors or their modes changed
constexpr std::uint32_t KeyDown = 0x0100;
constexpr std::uint32_t KeyUp = 0x0101;
constexpr std::uint32_t Char = 0x0102;
constexpr std::uint32_t SysKeyDown = 0x0104;
constexpr std::uint32_t SysKeyUp = 0x0105;
constexpr std::uint32_t SysCommand = 0x0112;
constexpr std::uint32_t Timer = 0x0113;
constexpr std::uint32_t MouseMove = 0x0200;
constexpr std::uint32_t LButtonDown = 0x0201;
constexpr std::uint32_t RButtonDown = 0x0204;
constexpr std::uint32_t MButtonDown = 0x0207;
constexpr std::uint32_t ImeControl = 0x0283;
// The window's monitor has another scale now, or the window moved to a
// monitor of another scale; LParam points to the platform's suggested
// window rectangle.
constexpr std::uint32_t DpiChanged = 0x02E0;
}  // namespace Msg

namespace Vk {
constexpr std::uint32_t Tab = 0x09;
constexpr std::uint32_t Menu = 0x12;  // Alt
constexpr std::uint32_t Escape = 0x1B;
constexpr std::uint32_t Snapshot = 0x2C;  // PrintScreen
constexpr std::uint32_t X = 0x58;
constexpr std::uint32_t Z = 0x5A;
}  // namespace Vk

constexpr std::uintptr_t kScScreenSave = 0xF140;

// A colour: 0x00BBGGRR for RGB, 0xFF000000 + n for the system colour n,
// 0x1FFFFFFF for none and 0x20000000 for the default colour.
using TColor = std::int32_t;
constexpr TColor kSystemColorBase = static_cast<TColor>(0xFF000000u);
inline TColor SystemColor(int index) {
    return static_cast<TColor>(0xFF000000u + index);
}
inline bool IsSystemColor(TColor c) {
    return (static_cast<std::uint32_t>(c) >> 24) == 0xFF;
}
inline int SystemColorIndex(TColor c) {
    return static_cast<int>(static_cast<std::uint32_t>(c) & 0xFF);
}
constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The failures of the system: a UTF-8 message, shown by the standard error
// report of the application (a message box with the title as caption).
class Exception : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failure for lack of memory (a picture's pixels could not be allocated):
// it says so in its message, and a caller that can do without the picture
// (the display, the capture pass) tells it apart from other failures.
class OutOfMemory : public Exception {
  public:
    using Exception::Exception;
};

// Whether e is a failure for lack of memory: OutOfMemory or std::bad_alloc.
inline bool IsOutOfMemory(const std::exception& e) {
    return dynamic_cast<const OutOfMemory*>(&e) != nullptr ||
           dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
}

}  // namespace lum
