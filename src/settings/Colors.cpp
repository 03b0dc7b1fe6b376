#include "settings/Colors.h"

#include <array>
#include <cstdio>

#include "common/AsciiText.h"
#include "common/IntText.h"

namespace lum {

namespace {

constexpr TColor Sys(int index) {
    return static_cast<TColor>(0xFF000000u + index);
}

// The five system colours without a Japanese chooser name are offered under
// their identifier, "cl" dropped and a blank before each inner capital.
constexpr std::array<TColorEntry, 52> kColorTable = {{
    {"clBlack", 0x00000000, "黒"},
    {"clMaroon", 0x00000080, "茶色"},
    {"clGreen", 0x00008000, "緑"},
    {"clOlive", 0x00008080, "オリーブ"},
    {"clNavy", 0x00800000, "紺"},
    {"clPurple", 0x00800080, "紫"},
    {"clTeal", 0x00808000, "青緑"},
    {"clGray", 0x00808080, "灰色"},
    {"clSilver", 0x00C0C0C0, "銀色"},
    {"clRed", 0x000000FF, "赤"},
    {"clLime", 0x0000FF00, "ライム"},
    {"clYellow", 0x0000FFFF, "黄色"},
    {"clBlue", 0x00FF0000, "青"},
    {"clFuchsia", 0x00FF00FF, "赤紫"},
    {"clAqua", 0x00FFFF00, "水色"},
    {"clWhite", 0x00FFFFFF, "白"},
    {"clMoneyGreen", 0x00C0DCC0, "緑"},
    {"clSkyBlue", 0x00F0CAA6, "空色"},
    {"clCream", 0x00F0FBFF, "クリーム色"},
    {"clMedGray", 0x00A4A0A0, "ミディアムグレー"},
    {"clActiveBorder", Sys(10), "アクティブボーダー"},
    {"clActiveCaption", Sys(2), "アクティブキャプション"},
    {"clAppWorkSpace", Sys(12), "アプリケーションワークスペース"},
    {"clBackground", Sys(1), "背景色"},
    {"clBtnFace", Sys(15), "ボタンの表面"},
    {"clBtnHighlight", Sys(20), "ボタンの強調表示"},
    {"clBtnShadow", Sys(16), "ボタンの影"},
    {"clBtnText", Sys(18), "ボタンの文字"},
    {"clCaptionText", Sys(9), "キャプションの文字"},
    {"clDefault", 0x20000000, nullptr},
    {"clGradientActiveCaption", Sys(27), "Gradient Active Caption"},
    {"clGradientInactiveCaption", Sys(28), "Gradient Inactive Caption"},
    {"clGrayText", Sys(17), "グレーテキスト"},
    {"clHighlight", Sys(13), "背景の強調表示"},
    {"clHighlightText", Sys(14), "テキストの強調表示"},
    {"clHotLight", Sys(26), "Hot Light"},
    {"clInactiveBorder", Sys(11), "インアクティブボーダー"},
    {"clInactiveCaption", Sys(3), "非アクティブキャプション"},
    {"clInactiveCaptionText", Sys(19), "非アクティブキャプションテキスト"},
    {"clInfoBk", Sys(24), "情報の背景"},
    {"clInfoText", Sys(23), "情報テキスト"},
    {"clMenu", Sys(4), "メニューの背景"},
    {"clMenuBar", Sys(30), "Menu Bar"},
    {"clMenuHighlight", Sys(29), "Menu Highlight"},
    {"clMenuText", Sys(7), "メニューテキスト"},
    {"clNone", 0x1FFFFFFF, nullptr},
    {"clScrollBar", Sys(0), "スクロールバー"},
    {"cl3DDkShadow", Sys(21), "3 次元の濃い影"},
    {"cl3DLight", Sys(22), "3 次元の薄い影"},
    {"clWindow", Sys(5), "ウィンドウの背景"},
    {"clWindowFrame", Sys(6), "ウィンドウのフレーム"},
    {"clWindowText", Sys(8), "ウィンドウのテキスト"},
}};

}  // namespace

std::span<const TColorEntry> ColorTable() {
    return kColorTable;
}

std::string ColorToText(TColor color) {
    for (const TColorEntry& entry : kColorTable) {
        if (entry.Value == color)
            return entry.Ident;
    }
    char text[16];
    std::snprintf(text, sizeof text, "$%08X",
                  static_cast<unsigned>(static_cast<std::uint32_t>(color)));
    return text;
}

TColor TextToColor(const std::string& text) {
    for (const TColorEntry& entry : kColorTable) {
        if (SameTextIgnoringCase(text, entry.Ident))
            return entry.Value;
    }
    std::int32_t value = 0;
    if (!TryStrToInt(text, value, THexPrefixes::DollarOr0x)) {
        throw Exception("'" + text + "' は整数ではありません");
    }
    return value;
}

namespace {

// The system colours 0 to 30 in the classic Windows scheme.
constexpr std::array<std::uint32_t, 31> kClassicSystemColors = {
    0xD4D0C8,  // 0 scroll bar
    0x3A6EA5,  // 1 desktop
    0x0A246A,  // 2 active caption
    0x808080,  // 3 inactive caption
    0xD4D0C8,  // 4 menu
    0xFFFFFF,  // 5 window
    0x000000,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0xFFFFFF,  // 9 caption text
    0xD4D0C8,  // 10 active border
    0xD4D0C8,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x0A246A,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xD4D0C8,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xD4D0C8,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3-D dark shadow
    0xD4D0C8,  // 22 3-D light
    0x000000,  // 23 info text
    0xFFFFE1,  // 24 info background
    0xB5B5B5,  // 25 (unused)
    0x000080,  // 26 hot light
    0xA6CAF0,  // 27 gradient active caption
    0xC0C0C0,  // 28 gradient inactive caption
    0x316AC5,  // 29 menu highlight
    0xD4D0C8,  // 30 menu bar
};

}  // namespace

std::uint32_t ColorToRgb(TColor color) {
    if (IsSystemColor(color)) {
        const int index = SystemColorIndex(color);
        return index >= 0 && index < static_cast<int>(kClassicSystemColors.size())
                   ? kClassicSystemColors[static_cast<std::size_t>(index)]
                   : 0;
    }
    // 0x00BBGGRR to 0x00RRGGBB.
    const auto bgr = static_cast<std::uint32_t>(color);
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

}  // namespace lum
