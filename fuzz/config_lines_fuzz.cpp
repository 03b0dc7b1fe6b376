// Fuzzes the settings file and the lines of the dialog's URL box. The file:
// a text is either refused with a message naming its line, or read, and
// then what was read is written and read again to the same groups, names
// and values. The lines of the URL box: the text is split at CR LF, CR
// or LF, a final empty line is not counted, and each line is cut to 4096
// UTF-16 units without splitting a character. Checked against a plain
// reading of that rule: joining the lines reproduces the text up to the
// line breaks, the final-line rule and the cut; splitting the joined lines
// again changes nothing; the cut is the longest prefix that fits. The
// first byte of the input can put a long run in front so that lines reach
// the limit. Any other outcome aborts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "linux/IniFile.h"
#include "settings/ConfigDlg.h"

namespace {

using lum::fuzz::Check;

// The lines before any cut, and whether the text ended in a line break.
std::vector<std::string> PlainLines(std::string_view text, bool& endsInBreak) {
    std::vector<std::string> lines(1);
    endsInBreak = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            lines.back() += c;
            endsInBreak = false;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.emplace_back();
        endsInBreak = true;
    }
    if (lines.back().empty())
        lines.pop_back();  // the final empty line
    return lines;
}

// A cut line is a prefix of its line that fits the limit; valid text is
// cut at the longest such prefix, and a line that fits stays whole.
void CheckCut(const std::string& original, const std::string& cut, std::size_t limit) {
    Check(original.compare(0, cut.size(), cut) == 0);
    const auto units = lum::fuzz::Utf16Length(original);
    if (!units)
        return;
    Check(cut == lum::fuzz::Utf16Prefix(original, limit));
    if (*units <= limit)
        Check(cut == original);
    Check(lum::fuzz::Utf16Length(cut).value_or(limit + 1) <= limit);
}

void CheckLines(std::string_view text) {
    bool endsInBreak = false;
    const std::vector<std::string> plain = PlainLines(text, endsInBreak);
    const std::vector<std::string> lines = lum::SplitURLLines(text);
    Check(lines.size() == plain.size());
    std::string normalised;  // the text with every break as "\n"
    bool cutAny = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Check(lines[i].find_first_of("\r\n") == std::string::npos);
        CheckCut(plain[i], lines[i], lum::kMaxURLLineChars);
        cutAny = cutAny || lines[i] != plain[i];
        normalised += (i ? "\n" : "") + lines[i];
    }
    if (!cutAny) {
        // Joined with "\n" and with the dropped final break restored, the
        // text comes back with its breaks normalised.
        std::string expected;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            expected += text[i] == '\r' ? '\n' : text[i];
        }
        if (endsInBreak)
            normalised += "\n";
        Check(normalised == expected);
    }
    // The box text of the lines splits into the same lines.
    Check(lum::SplitURLLines(lum::JoinURLLines(lines)) == lines);
}

// Every group, value name and value of doc.
std::string Dump(GKeyFile* doc) {
    std::string dump;
    g_auto(GStrv) groups = g_key_file_get_groups(doc, nullptr);
    for (gchar** group = groups; *group; ++group) {
        dump += std::string("[") + *group + "]\n";
        g_auto(GStrv) keys = g_key_file_get_keys(doc, *group, nullptr, nullptr);
        for (gchar** key = keys; *key; ++key) {
            g_autofree gchar* text = g_key_file_get_string(doc, *group, *key, nullptr);
            Check(text != nullptr);
            dump += std::string(*key) + "=" + (text ? text : "") + "\n";
        }
    }
    return dump;
}

void CheckSettingsFile(std::string_view text) {
    std::string error;
    lum::gtk::TKeyFilePtr doc = lum::gtk::ParseIni(text, error);
    if (!doc) {
        Check(error.find(" 行目: ") != std::string::npos);
        return;
    }
    std::string written;
    if (!lum::gtk::FormatIni(doc.get(), written))
        return;  // over the limits: never written
    lum::gtk::TKeyFilePtr again = lum::gtk::ParseIni(written, error);
    Check(again != nullptr);
    if (again)
        Check(Dump(again.get()) == Dump(doc.get()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        CheckLines("");
        return 0;
    }
    CheckSettingsFile(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string text;
    // 0..63: the text as it is; above: a run of "a" near the limit first.
    if (data[0] >= 64)
        text.assign(lum::kMaxURLLineChars - 128 + (data[0] - 64) * 2, 'a');
    text.append(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckLines(text);
    // CutLine at any small limit.
    const std::size_t limit = data[0] % 24;
    CheckCut(text, lum::CutLine(text, limit), limit);
    return 0;
}
