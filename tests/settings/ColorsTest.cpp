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

// The whole table, entry by entry, as the settings and the colour choosers
// know it: identifier, value (system colour n as 0xFF000000 + n) and the
// chooser's name (none for the two entries that are not offered).
TEST(Colors, EveryEntryHasItsIdentifierValueAndChooserNameInTableOrder) {
    struct TExpected {
        const char* Ident;
        std::uint32_t Value;
        const char* ChooserName;
    };
    const TExpected expected[] = {
        {"clBlack", 0x00000000u, "黒"},
        {"clMaroon", 0x00000080u, "茶色"},
        {"clGreen", 0x00008000u, "緑"},
        {"clOlive", 0x00008080u, "オリーブ"},
        {"clNavy", 0x00800000u, "紺"},
        {"clPurple", 0x00800080u, "紫"},
        {"clTeal", 0x00808000u, "青緑"},
        {"clGray", 0x00808080u, "灰色"},
        {"clSilver", 0x00C0C0C0u, "銀色"},
        {"clRed", 0x000000FFu, "赤"},
        {"clLime", 0x0000FF00u, "ライム"},
        {"clYellow", 0x0000FFFFu, "黄色"},
        {"clBlue", 0x00FF0000u, "青"},
        {"clFuchsia", 0x00FF00FFu, "赤紫"},
        {"clAqua", 0x00FFFF00u, "水色"},
        {"clWhite", 0x00FFFFFFu, "白"},
        {"clMoneyGreen", 0x00C0DCC0u, "緑"},
        {"clSkyBlue", 0x00F0CAA6u, "空色"},
        {"clCream", 0x00F0FBFFu, "クリーム色"},
        {"clMedGray", 0x00A4A0A0u, "ミディアムグレー"},
        {"clActiveBorder", 0xFF00000Au, "アクティブボーダー"},
        {"clActiveCaption", 0xFF000002u, "アクティブキャプション"},
        {"clAppWorkSpace", 0xFF00000Cu, "アプリケーションワークスペース"},
        {"clBackground", 0xFF000001u, "背景色"},
        {"clBtnFace", 0xFF00000Fu, "ボタンの表面"},
        {"clBtnHighlight", 0xFF000014u, "ボタンの強調表示"},
        {"clBtnShadow", 0xFF000010u, "ボタンの影"},
        {"clBtnText", 0xFF000012u, "ボタンの文字"},
        {"clCaptionText", 0xFF000009u, "キャプションの文字"},
        {"clDefault", 0x20000000u, nullptr},
        {"clGradientActiveCaption", 0xFF00001Bu, "Gradient Active Caption"},
        {"clGradientInactiveCaption", 0xFF00001Cu, "Gradient Inactive Caption"},
        {"clGrayText", 0xFF000011u, "グレーテキスト"},
        {"clHighlight", 0xFF00000Du, "背景の強調表示"},
        {"clHighlightText", 0xFF00000Eu, "テキストの強調表示"},
        {"clHotLight", 0xFF00001Au, "Hot Light"},
        {"clInactiveBorder", 0xFF00000Bu, "インアクティブボーダー"},
        {"clInactiveCaption", 0xFF000003u, "非アクティブキャプション"},
        {"clInactiveCaptionText", 0xFF000013u, "非アクティブキャプションテキスト"},
        {"clInfoBk", 0xFF000018u, "情報の背景"},
        {"clInfoText", 0xFF000017u, "情報テキスト"},
        {"clMenu", 0xFF000004u, "メニューの背景"},
        {"clMenuBar", 0xFF00001Eu, "Menu Bar"},
        {"clMenuHighlight", 0xFF00001Du, "Menu Highlight"},
        {"clMenuText", 0xFF000007u, "メニューテキスト"},
        {"clNone", 0x1FFFFFFFu, nullptr},
        {"clScrollBar", 0xFF000000u, "スクロールバー"},
        {"cl3DDkShadow", 0xFF000015u, "3 次元の濃い影"},
        {"cl3DLight", 0xFF000016u, "3 次元の薄い影"},
        {"clWindow", 0xFF000005u, "ウィンドウの背景"},
        {"clWindowFrame", 0xFF000006u, "ウィンドウのフレーム"},
        {"clWindowText", 0xFF000008u, "ウィンドウのテキスト"},
    };
    const auto table = ColorTable();
    ASSERT_EQ(table.size(), std::size(expected));
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(expected[i].Ident);
        EXPECT_STREQ(table[i].Ident, expected[i].Ident);
        EXPECT_EQ(static_cast<std::uint32_t>(table[i].Value), expected[i].Value);
        if (expected[i].ChooserName)
            EXPECT_STREQ(table[i].ChooserName, expected[i].ChooserName);
        else
            EXPECT_EQ(table[i].ChooserName, nullptr);
    }
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
