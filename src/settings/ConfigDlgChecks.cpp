#include "settings/ConfigDlgChecks.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "settings/ConfigDlgRules.h"
#include "settings/PageOptions.h"

namespace lum {

namespace {

// How much of a flagged line the question shows (UTF-16 units).
constexpr std::size_t kListedChars = 60;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The code point that starts at text[i] and its length in bytes; a byte
// that starts no whole sequence is one replacement character.
std::pair<std::uint32_t, std::size_t> DecodeAt(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || i + length > text.size())
        return {lead < 0x80 ? lead : 0xFFFDu, 1};
    std::uint32_t code = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    return {code, length};
}

// Unicode's White_Space characters, and the other ASCII control characters,
// which no URL holds as they are.
bool IsWhiteSpace(std::uint32_t c) {
    return c <= 0x20 || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool HoldsWhiteSpace(std::string_view line) {
    for (std::size_t i = 0; i < line.size();) {
        const auto [code, length] = DecodeAt(line, i);
        if (IsWhiteSpace(code))
            return true;
        i += length;
    }
    return false;
}

// "scheme:" at the start, where what follows the colon is not a port (digits
// up to the end, a "/", "?" or "#").
bool StartsWithScheme(std::string_view line) {
    if (line.empty() || !IsAsciiLetter(line[0]))
        return false;
    std::size_t i = 1;
    while (i < line.size() && (IsAsciiLetter(line[i]) || IsAsciiDigit(line[i]) || line[i] == '+' ||
                               line[i] == '-' || line[i] == '.'))
        ++i;
    if (i >= line.size() || line[i] != ':')
        return false;
    std::size_t digits = i + 1;
    while (digits < line.size() && IsAsciiDigit(line[digits]))
        ++digits;
    const bool port = digits > i + 1 && (digits == line.size() || line[digits] == '/' ||
                                         line[digits] == '?' || line[digits] == '#');
    return !port;
}

std::string FaultText(const TFlaggedURLLine& line) {
    switch (line.Fault) {
        case TURLLineFault::WhiteSpace:
            return "空白が入っています";
        case TURLLineFault::Option: {
            std::string text = "オプションを読めません (";
            for (std::size_t i = 0; i < line.Problems.size(); ++i)
                text.append(i ? "、" : "").append(line.Problems[i]);
            return text + ")";
        }
        default:
            return "「http://」などのスキームがありません";
    }
}

}  // namespace

TURLLineFault URLLineFault(std::string_view line) {
    if (line.empty())
        return TURLLineFault::None;
    if (HoldsWhiteSpace(line))
        return TURLLineFault::WhiteSpace;
    return StartsWithScheme(line) ? TURLLineFault::None : TURLLineFault::NoScheme;
}

std::vector<TFlaggedURLLine> FlaggedURLLines(const std::vector<std::string>& lines,
                                             const std::vector<std::string>& loaded) {
    std::vector<TFlaggedURLLine> flagged;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (std::find(loaded.begin(), loaded.end(), lines[i]) != loaded.end())
            continue;
        TURLLine read = ParseURLLine(lines[i]);
        const bool options = read.URL.size() < lines[i].size();
        TURLLineFault fault = URLLineFault(read.URL);
        if (fault == TURLLineFault::None && !read.Problems.empty())
            fault = TURLLineFault::Option;
        if (fault == TURLLineFault::None)
            continue;
        flagged.push_back(
            {i, options ? read.URL + " …" : lines[i], fault, std::move(read.Problems)});
    }
    return flagged;
}

std::string FlaggedURLLinesQuestion(const std::vector<TFlaggedURLLine>& flagged) {
    std::string text = "次の行はURLとして読めません。\n";
    const std::size_t listed = std::min(flagged.size(), kMaxListedURLLines);
    for (std::size_t i = 0; i < listed; ++i) {
        const TFlaggedURLLine& line = flagged[i];
        std::string shown = CutLine(line.Text, kListedChars);
        if (shown.size() < line.Text.size())
            shown += "…";
        // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about
        // a literal + std::to_string chain here.
        text.append("\n").append(std::to_string(line.Line + 1)).append("行目: 「");
        text.append(shown).append("」 ").append(FaultText(line));
    }
    if (flagged.size() > listed)
        text.append("\nほか ").append(std::to_string(flagged.size() - listed)).append(" 行");
    text += "\n\n入力したとおりに保存しますか？\n(「いいえ」で編集に戻ります)";
    return text;
}

std::string SpinFieldName(TConfigSpin spin) {
    return spin == TConfigSpin::ReloadTime ? "再読込までの時間(分)" : "1ページの表示時間(秒)";
}

std::string SpinTextWarning(TConfigSpin spin, std::string_view text) {
    if (SpinPositionFromText(text, kSpinMin - 1) >= kSpinMin)
        return "";
    const std::string field = "「" + SpinFieldName(spin) + "」";
    const std::string range = std::to_string(kSpinMin) + "から" + std::to_string(kSpinMax) +
                              "までの整数を入力してください。";
    if (text.empty())
        return field + "が空です。\n" + range;
    std::string shown = CutLine(text, kListedChars);
    if (shown.size() < text.size())
        shown += "…";
    return field + "の「" + shown + "」は使えません。\n" + range;
}

}  // namespace lum
