#include "settings/PageOptions.h"

#include <array>
#include <charconv>

namespace lum {

namespace {

constexpr std::array<const char*, 7> kDayNames = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
// A word quoted in a problem is cut to this many bytes.
constexpr std::size_t kShownWord = 40;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Controls other than the tab have no place in any value.
bool HasControl(const std::string& text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F)
            return true;
    }
    return false;
}

std::string Shown(const std::string& word) {
    return word.size() <= kShownWord ? word : word.substr(0, kShownWord) + "…";
}

bool ReadInt(const std::string& text, std::int32_t low, std::int32_t high, std::int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && text[0] != '-' && error == std::errc() && stop == end && value >= low &&
           value <= high;
}

// "HH:MM" as minutes from midnight.
bool ReadClock(const std::string& text, std::int32_t& minutes) {
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    if (text.size() != 5 || text[2] != ':' || !ReadInt(text.substr(0, 2), 0, 23, hour) ||
        !ReadInt(text.substr(3, 2), 0, 59, minute))
        return false;
    minutes = hour * 60 + minute;
    return true;
}

bool ReadHours(const std::string& text, TTimeRange& range) {
    return text.size() == 11 && text[5] == '-' && ReadClock(text.substr(0, 5), range.From) &&
           ReadClock(text.substr(6), range.To) && range.From != range.To;
}

int DayOf(std::string name) {
    for (char& c : name)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    for (std::size_t d = 0; d < kDayNames.size(); ++d) {
        if (name == kDayNames[d])
            return static_cast<int>(d);
    }
    return -1;
}

// "mon-fri", "sat,sun", "fri-mon" (a range over the week's end).
bool ReadDays(const std::string& text, std::uint8_t& days) {
    days = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        const std::size_t dash = part.find('-');
        const int first = DayOf(part.substr(0, dash));
        const int last = dash == std::string::npos ? first : DayOf(part.substr(dash + 1));
        if (first < 0 || last < 0)
            return false;
        for (int d = first;; d = (d + 1) % 7) {
            days = static_cast<std::uint8_t>(days | (1u << d));
            if (d == last)
                break;
        }
        start = comma + 1;
    }
    return days != 0;
}

bool IsTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// "Name: value", the name a token of HTTP, the value without controls.
bool ReadHeader(const std::string& text, THeader& header) {
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string::npos)
        return false;
    header.Name = text.substr(0, colon);
    for (const char c : header.Name) {
        if (!IsTokenChar(c))
            return false;
    }
    std::size_t from = colon + 1;
    while (from < text.size() && IsBlank(text[from]))
        ++from;
    std::size_t to = text.size();
    while (to > from && IsBlank(text[to - 1]))
        --to;
    header.Value = text.substr(from, to - from);
    return !HasControl(header.Value);
}

class TOptionReader {
  public:
    explicit TOptionReader(TURLLine& line) : FLine(line) {}

    void Take(const std::string& name, const std::string& value) {
        TPageOptions& o = FLine.Options;
        if (name == "show")
            return Number(name, value, 1, 3600, o.ShowSeconds);
        if (name == "refresh")
            return Number(name, value, 0, 1440, o.RefreshMinutes);
        if (name == "wait")
            return Number(name, value, 0, 60, o.WaitSeconds);
        if (name == "zoom") {
            const bool percent = !value.empty() && value.back() == '%';
            return Number(name, percent ? value.substr(0, value.size() - 1) : value, 25, 400,
                          o.ZoomPercent, "%");
        }
        if (name == "hide" || name == "crop")
            return Selector(name, value, name == "hide" ? o.Hide : o.Crop);
        if (name == "header")
            return Header(value);
        if (name == "hours")
            return Hours(value);
        if (name == "days")
            return Days(value);
        if (name == "scroll")
            return Scroll(value);
        Problem(Shown(name) + ": 知らないオプションです");
    }
    void Problem(const std::string& text) { FLine.Problems.push_back(text); }

  private:
    bool Once(const std::string& name) {
        if (FSeen.find("|" + name + "|") != std::string::npos) {
            Problem(name + ": 二つ目は読みません (一つだけ書けます)");
            return false;
        }
        FSeen += "|" + name + "|";
        return true;
    }
    void Number(const std::string& name,
                const std::string& value,
                std::int32_t low,
                std::int32_t high,
                std::optional<std::int32_t>& field,
                const char* unit = "") {
        std::int32_t number = 0;
        if (!ReadInt(value, low, high, number)) {
            Problem(name + "=" + Shown(value) + ": " + std::to_string(low) + " から " +
                    std::to_string(high) + unit + " の整数です");
        } else if (Once(name)) {
            field = number;
        }
    }
    void Selector(const std::string& name, const std::string& value, std::string& field) {
        if (value.empty() || HasControl(value))
            Problem(name + ": CSS セレクターがありません");
        else if (Once(name))
            field = value;
    }
    void Header(const std::string& value) {
        THeader header;
        if (ReadHeader(value, header))
            FLine.Options.Headers.push_back(header);
        else  // (never its value: it may be a secret)
            Problem("header: 「名前: 値」の形ではありません");
    }
    void Hours(const std::string& value) {
        TTimeRange range;
        if (ReadHours(value, range))
            FLine.Options.Hours.push_back(range);
        else
            Problem("hours=" + Shown(value) + ": HH:MM-HH:MM の形です (00:00 から 23:59)");
    }
    void Days(const std::string& value) {
        std::uint8_t days = 0;
        if (!ReadDays(value, days))
            Problem("days=" + Shown(value) + ": mon-fri や sat,sun の形です");
        else if (Once("days"))
            FLine.Options.Days = days;
    }
    void Scroll(const std::string& value) {
        if (value != "on" && value != "off")
            Problem("scroll=" + Shown(value) + ": on か off です");
        else if (Once("scroll"))
            FLine.Options.Scroll = value == "on";
    }

    TURLLine& FLine;
    std::string FSeen;  // "|name|" of each option read once
};

// A value in double quotes from text[at] (the opening quote): its text, and
// at past the closing quote; false when it never closes.
bool ReadQuoted(const std::string& text, std::size_t& at, std::string& value) {
    for (++at; at < text.size(); ++at) {
        if (text[at] == '"') {
            ++at;
            return true;
        }
        if (text[at] == '\\' && at + 1 < text.size() &&
            (text[at + 1] == '"' || text[at + 1] == '\\'))
            ++at;
        value += text[at];
    }
    return false;
}

bool MustQuote(const std::string& value) {
    if (value.empty())
        return true;
    for (const char c : value) {
        if (IsBlank(c) || c == '"' || c == '\\')
            return true;
    }
    return false;
}

std::string Quoted(const std::string& value) {
    if (!MustQuote(value))
        return value;
    std::string text = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            text += '\\';
        text += c;
    }
    return text + "\"";
}

std::string ClockText(std::int32_t minutes) {
    const auto two = [](std::int32_t n) {
        return std::string(n < 10 ? "0" : "") + std::to_string(n);
    };
    return two(minutes / 60) + ":" + two(minutes % 60);
}

constexpr std::array<const char*, 10> kOptionNames = {"show", "refresh", "zoom",  "wait", "hide",
                                                      "crop", "header",  "hours", "days", "scroll"};

// Where the options begin: the first word after the line's first that
// starts with an option's name and "="; npos when there is none.
std::size_t OptionsStart(const std::string& line) {
    std::size_t at = 0;
    bool first = true;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        const std::size_t word = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        if (word == at)
            break;
        if (!first) {
            for (const char* name : kOptionNames) {
                const std::size_t length = std::char_traits<char>::length(name);
                if (line.compare(word, length, name) == 0 && word + length < line.size() &&
                    line[word + length] == '=')
                    return word;
            }
        }
        first = false;
    }
    return std::string::npos;
}

// Reads the options of line from at on into result.
void ReadOptions(const std::string& line, std::size_t at, TURLLine& result) {
    TOptionReader reader(result);
    int words = 1;  // the URL is the first
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size())
            break;
        const std::size_t wordStart = at;
        while (at < line.size() && !IsBlank(line[at]) && line[at] != '=')
            ++at;
        if (at >= line.size() || line[at] != '=') {
            // Not quoted back: it may be the rest of a header's value that
            // was written without its quotes.
            reader.Problem(std::to_string(++words) + " 語目 (" + std::to_string(at - wordStart) +
                           " 文字): 名前=値 の形ではありません");
            continue;
        }
        ++words;
        const std::string name = line.substr(wordStart, at - wordStart);
        std::string value;
        ++at;
        if (at < line.size() && line[at] == '"') {
            if (!ReadQuoted(line, at, value)) {
                reader.Problem(Shown(name) + ": 引用符 \" が閉じていません");
                break;
            }
            if (at < line.size() && !IsBlank(line[at])) {
                reader.Problem(Shown(name) + ": 閉じた引用符のあとに空白がありません");
                while (at < line.size() && !IsBlank(line[at]))
                    ++at;
                continue;
            }
        } else {
            const std::size_t valueStart = at;
            while (at < line.size() && !IsBlank(line[at]))
                ++at;
            value = line.substr(valueStart, at - valueStart);
        }
        reader.Take(name, value);
    }
}

}  // namespace

TURLLine ParseURLLine(const std::string& line) {
    TURLLine result;
    const std::size_t options = OptionsStart(line);
    if (options == std::string::npos) {
        // No option: the line is its URL, as it always was (a data: URL may
        // hold blanks).
        result.URL = line;
        return result;
    }
    std::size_t from = 0;
    while (from < options && IsBlank(line[from]))
        ++from;
    std::size_t to = options;
    while (to > from && IsBlank(line[to - 1]))
        --to;
    result.URL = line.substr(from, to - from);
    ReadOptions(line, options, result);
    return result;
}

std::string FormatURLLine(const std::string& url, const TPageOptions& options) {
    std::string line = url;
    const auto add = [&line](const char* name, const std::string& value) {
        line += std::string(" ") + name + "=" + Quoted(value);
    };
    if (options.ShowSeconds)
        add("show", std::to_string(*options.ShowSeconds));
    if (options.RefreshMinutes)
        add("refresh", std::to_string(*options.RefreshMinutes));
    if (options.ZoomPercent)
        add("zoom", std::to_string(*options.ZoomPercent) + "%");
    if (options.WaitSeconds)
        add("wait", std::to_string(*options.WaitSeconds));
    if (!options.Hide.empty())
        add("hide", options.Hide);
    if (!options.Crop.empty())
        add("crop", options.Crop);
    for (const THeader& header : options.Headers)
        add("header", header.Name + ": " + header.Value);
    for (const TTimeRange& range : options.Hours)
        add("hours", ClockText(range.From) + "-" + ClockText(range.To));
    if (options.Days != 0x7F) {
        std::string days;
        for (std::size_t d = 0; d < kDayNames.size(); ++d) {
            if (!(options.Days & (1u << d)))
                continue;
            if (!days.empty())
                days += ',';
            days += kDayNames[d];
        }
        add("days", days);
    }
    if (options.Scroll)
        add("scroll", *options.Scroll ? "on" : "off");
    return line;
}

}  // namespace lum
