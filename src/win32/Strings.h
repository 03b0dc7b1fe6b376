// UTF-8 <-> UTF-16 at the edge of the Win32 layer. Invalid input never
// throws: unpaired or malformed sequences become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace lum::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace lum::win32
