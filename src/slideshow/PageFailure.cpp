#include "slideshow/PageFailure.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace lum {

namespace {

// The record is two lines: "<kind> <status>", then the detail. Kinds are
// stored by name, so that a record outlives a change of the enumeration.
struct TKindName {
    TPageFailureKind Kind;
    const char* Name;
};
constexpr TKindName kKindNames[] = {
    {TPageFailureKind::pfOther, "other"},
    {TPageFailureKind::pfNoAnswer, "no-answer"},
    {TPageFailureKind::pfRefused, "refused"},
    {TPageFailureKind::pfNameNotFound, "name-not-found"},
    {TPageFailureKind::pfHttpStatus, "http-status"},
    {TPageFailureKind::pfDownload, "download"},
    {TPageFailureKind::pfCertificate, "certificate"},
    {TPageFailureKind::pfBlank, "blank"},
    {TPageFailureKind::pfOutOfMemory, "out-of-memory"},
};

// A record is a few hundred bytes; more is not ours, and is not read.
constexpr std::size_t kMaxRecord = 4096;
// The detail as shown on a card or kept in a record: one line, not too long.
constexpr std::size_t kMaxDetail = 300;

std::string OneLine(const std::string& text) {
    std::string line = text.substr(0, kMaxDetail);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }, ' ');
    return line;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// The length of the UTF-8 sequence at text[i] (RFC 3629: no overlong form,
// no surrogate, nothing above U+10FFFF); 0 when it is none.
std::size_t SequenceAt(const std::string& text, std::size_t i, std::uint32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// A record is a file anybody could have put there: its detail is shown only
// as text, every byte that is not UTF-8 as U+FFFD, every control character
// (and the marks that turn the direction of text) as a blank.
std::string ShownText(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = SequenceAt(text, i, code);
        if (length == 0) {
            shown += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const bool control = code < 0x20 || (code >= 0x7F && code < 0xA0) ||
                             (code >= 0x202A && code <= 0x202E) ||
                             (code >= 0x2066 && code <= 0x2069);
        shown += control ? std::string(" ") : text.substr(i, length);
        i += length;
    }
    return shown;
}

}  // namespace

std::string FailureKindName(TPageFailureKind kind) {
    for (const TKindName& entry : kKindNames) {
        if (entry.Kind == kind)
            return entry.Name;
    }
    return kKindNames[0].Name;
}

bool FailureKindOfName(const std::string& name, TPageFailureKind& kind) {
    for (const TKindName& entry : kKindNames) {
        if (name == entry.Name) {
            kind = entry.Kind;
            return true;
        }
    }
    return false;
}

std::string FailureReasonText(const TPageFailure& failure) {
    switch (failure.Kind) {
        case TPageFailureKind::pfNoAnswer:
            return "時間内に応答がありませんでした";
        case TPageFailureKind::pfRefused:
            return "サーバーに接続できませんでした (接続が拒否されました)";
        case TPageFailureKind::pfNameNotFound:
            return "サーバーが見つかりませんでした (ホスト名が不明です)";
        case TPageFailureKind::pfHttpStatus:
            return "サーバーがエラーを返しました (HTTP " + std::to_string(failure.Status) + ")";
        case TPageFailureKind::pfDownload:
            return "ページではなく、ダウンロードするファイルです";
        case TPageFailureKind::pfCertificate:
            return "サーバーの証明書が信頼されていません";
        case TPageFailureKind::pfBlank:
            return "空白のページです (取り込むものがありません)";
        case TPageFailureKind::pfOutOfMemory:
            return "メモリが足りないため、ページを取り込めませんでした";
        case TPageFailureKind::pfOther:
            break;
    }
    return "ページを取り込めませんでした";
}

std::string FailureLogText(const std::string& url, const TPageFailure& failure) {
    std::string text = "\"" + url + "\": " + FailureReasonText(failure);
    if (!failure.Detail.empty())
        text += " (" + OneLine(failure.Detail) + ")";
    return text;
}

std::string GetFailureFileName(const std::string& cacheDir, std::int32_t index) {
    return cacheDir + std::to_string(index) + ".failed";
}

bool WriteFailureRecord(IFileSystem& files,
                        const std::string& cacheDir,
                        std::int32_t index,
                        const TPageFailure& failure) {
    const std::string text = FailureKindName(failure.Kind) + " " + std::to_string(failure.Status) +
                             "\n" + OneLine(failure.Detail) + "\n";
    const std::unique_ptr<IFileWriter> writer =
        files.CreateReplacing(GetFailureFileName(cacheDir, index));
    return writer && writer->Write(text.data(), text.size()) && writer->Commit();
}

bool ReadFailureRecord(IFileSystem& files, const std::string& path, TPageFailure& failure) {
    const std::unique_ptr<IFileReader> reader = files.OpenRead(path);
    if (!reader)
        return false;
    std::string text(kMaxRecord, '\0');
    text.resize(reader->Read(text.data(), text.size()));

    failure = TPageFailure();
    const std::size_t firstEnd = std::min(text.find('\n'), text.size());
    const std::string head = Trimmed(text.substr(0, firstEnd));
    const std::size_t blank = head.find(' ');
    FailureKindOfName(head.substr(0, blank), failure.Kind);
    if (blank != std::string::npos) {
        const std::string status = head.substr(blank + 1);
        std::int32_t value = 0;
        const auto [end, error] =
            std::from_chars(status.data(), status.data() + status.size(), value);
        if (error == std::errc() && end == status.data() + status.size() && value >= 0 &&
            value <= 999)
            failure.Status = value;
    }
    if (failure.Kind == TPageFailureKind::pfHttpStatus && failure.Status == 0)
        failure.Kind = TPageFailureKind::pfOther;
    if (firstEnd < text.size()) {
        const std::string rest = text.substr(firstEnd + 1);
        failure.Detail =
            ShownText(OneLine(Trimmed(rest.substr(0, std::min(rest.find('\n'), rest.size())))));
    }
    return true;
}

}  // namespace lum
