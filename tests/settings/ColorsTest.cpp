#include "settings/Colors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

namespace lum {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsAscii(const char* text) {
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    }
    return true;
}

// "clGradientActiveCaption" -> "Gradient Active Caption".
std::string NameFromIdent(const std::string& ident) {
    std::string name;
    for (char c : ident.substr(2)) {
        if (!name.empty() && c >= 'A' && c <= 'Z')
            name += ' ';
        name += c;
    }
    return name;
}

TEST(Colors, TableHoldsFiftyTwoEntriesFiftyOffered) {
    const auto table = ColorTable();
    ASSERT_EQ(table.size(), 52u);
    std::set<std::string> idents;
    std::set<TColor> values;
    int offered = 0;
    for (const TColorEntry& entry : table) {
        idents.insert(Upper(entry.Ident));
        values.insert(entry.Value);
        if (entry.ChooserName)
            ++offered;
    }
    EXPECT_EQ(idents.size(), 52u);
    EXPECT_EQ(values.size(), 52u);
    EXPECT_EQ(offered, 50);
    EXPECT_STREQ(table[0].Ident, "clBlack");
    EXPECT_EQ(table[24].Value, SystemColor(15));
    EXPECT_STREQ(table[24].ChooserName, "ボタンの表面");
    EXPECT_STREQ(table[16].ChooserName, "緑");
    EXPECT_EQ(table[29].Value, clDefault);
    EXPECT_EQ(table[29].ChooserName, nullptr);
    EXPECT_EQ(table[45].Value, clNone);
    EXPECT_EQ(table[45].ChooserName, nullptr);
    EXPECT_STREQ(table[47].ChooserName, "3 次元の濃い影");
    EXPECT_EQ(table[51].Value, SystemColor(8));
}

TEST(Colors, UntranslatedChooserNamesComeFromTheIdentifier) {
    std::set<std::string> formed;
    for (const TColorEntry& entry : ColorTable()) {
        if (entry.ChooserName && IsAscii(entry.ChooserName) && entry.ChooserName[0] != '3') {
            EXPECT_EQ(entry.ChooserName, NameFromIdent(entry.Ident));
            formed.insert(entry.ChooserName);
        }
    }
    EXPECT_EQ(formed, (std::set<std::string>{"Gradient Active Caption", "Gradient Inactive Caption",
                                             "Hot Light", "Menu Bar", "Menu Highlight"}));
}

TEST(Colors, EveryTableEntryRoundTripsThroughItsIdentifier) {
    for (const TColorEntry& entry : ColorTable()) {
        EXPECT_EQ(ColorToText(entry.Value), entry.Ident);
        EXPECT_EQ(TextToColor(entry.Ident), entry.Value);
        EXPECT_EQ(TextToColor(Upper(entry.Ident)), entry.Value) << entry.Ident;
    }
    EXPECT_EQ(TextToColor("CLBTNFACE"), SystemColor(15));
    EXPECT_EQ(TextToColor("clwindowtext"), SystemColor(8));
}

TEST(Colors, OtherColoursAreDollarAndEightUppercaseHexDigits) {
    EXPECT_EQ(ColorToText(0x00123456), "$00123456");
    EXPECT_EQ(ColorToText(0x00ABCDEF), "$00ABCDEF");
    EXPECT_EQ(ColorToText(SystemColor(99)), "$FF000063");
    EXPECT_EQ(ColorToText(-1), "$FFFFFFFF");
    std::uint32_t seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const TColor color = static_cast<TColor>(seed);
        EXPECT_EQ(TextToColor(ColorToText(color)), color);
    }
}

TEST(Colors, IntegerTextsReadAsColours) {
    EXPECT_EQ(TextToColor("$000000FF"), 0x000000FF);
    EXPECT_EQ(ColorToText(TextToColor("$000000FF")), "clRed");
    EXPECT_EQ(TextToColor("255"), 255);
    EXPECT_EQ(TextToColor(" 0x00FF0000"), 0x00FF0000);
    EXPECT_EQ(TextToColor("-16777201"), SystemColor(15));
}

TEST(Colors, TextThatIsNeitherIdentifierNorIntegerFails) {
    try {
        TextToColor("blue");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'blue' は整数ではありません");
    }
    EXPECT_THROW(TextToColor(""), Exception);
    EXPECT_THROW(TextToColor("x10"), Exception);
    EXPECT_THROW(TextToColor("clBtnFace "), Exception);
    EXPECT_THROW(TextToColor("cl"), Exception);
    EXPECT_THROW(TextToColor("$1FFFFFFFF"), Exception);
}

}  // namespace
}  // namespace lum
