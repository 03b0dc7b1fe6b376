// Fuzzes the colour text form. Any 32-bit colour written by ColorToText
// reads back as the same colour; any text either fails with the "is not an
// integer" error naming it or gives a colour that is the first identifier
// it matches (letter case ignored) or its value by the settings' integer
// rule, and whose own text reads back the same. Any other outcome aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/IntText.h"
#include "settings/Colors.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// ColorToText writes the first identifier of the colour, else "$" and
// exactly eight uppercase digits; either way the text reads back.
void CheckColor(lum::TColor color) {
    const std::string text = lum::ColorToText(color);
    Check(lum::TextToColor(text) == color);
    const lum::TColorEntry* first = nullptr;
    for (const lum::TColorEntry& entry : lum::ColorTable()) {
        if (entry.Value == color) {
            first = &entry;
            break;
        }
    }
    if (first) {
        Check(text == first->Ident);
        return;
    }
    Check(text.size() == 9 && text[0] == '$');
    for (std::size_t i = 1; i < text.size(); ++i)
        Check(IsUpperHexDigit(text[i]));
}

void CheckText(const std::string& text) {
    const lum::TColorEntry* match = nullptr;
    for (const lum::TColorEntry& entry : lum::ColorTable()) {
        if (SameText(text, entry.Ident)) {
            match = &entry;
            break;
        }
    }
    std::int32_t number = 0;
    const bool isNumber = lum::TryStrToInt(text, number, lum::THexPrefixes::DollarOr0x);
    lum::TColor color = 0;
    try {
        color = lum::TextToColor(text);
    } catch (const lum::Exception& error) {
        Check(!match && !isNumber);
        // what() ends at a NUL, as any C string does; stored texts hold none.
        const std::string message = "'" + text + "' は整数ではありません";
        Check(std::strcmp(error.what(), message.c_str()) == 0);
        return;
    }
    Check(match ? color == match->Value : isNumber && color == number);
    CheckColor(color);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckText(text);
    if (size >= 4) {
        std::uint32_t bits;
        std::memcpy(&bits, data, 4);
        CheckColor(static_cast<lum::TColor>(bits));
        // The system colours and the table's neighbourhood, which random
        // words seldom hit.
        CheckColor(static_cast<lum::TColor>(0xFF000000u | (bits & 0x3F)));
        const auto& table = lum::ColorTable();
        const lum::TColorEntry& entry = table[bits % table.size()];
        CheckColor(
            static_cast<lum::TColor>(static_cast<std::uint32_t>(entry.Value) + data[0] % 3 - 1));
        // An identifier in any letter case reads as its first entry.
        std::string ident = entry.Ident;
        for (std::size_t i = 0; i < ident.size(); ++i) {
            if ((data[(i + 4) % size] & 1) && ident[i] >= 'a' && ident[i] <= 'z')
                ident[i] = static_cast<char>(ident[i] - 'a' + 'A');
        }
        CheckText(ident);
    }
    return 0;
}
