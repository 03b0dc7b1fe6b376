#include "slideshow/PageFailure.h"

#include <algorithm>
#include <charconv>

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
    const std::string text = FailureKindName(failure.Kind) + " " + std::to_string(failure.Status) + "\n" +
                             OneLine(failure.Detail) + "\n";
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
        const auto [end, error] = std::from_chars(status.data(), status.data() + status.size(), value);
        if (error == std::errc() && end == status.data() + status.size() && value >= 0 &&
            value <= 999)
            failure.Status = value;
    }
    if (failure.Kind == TPageFailureKind::pfHttpStatus && failure.Status == 0)
        failure.Kind = TPageFailureKind::pfOther;
    if (firstEnd < text.size()) {
        const std::string rest = text.substr(firstEnd + 1);
        failure.Detail = OneLine(Trimmed(rest.substr(0, std::min(rest.find('\n'), rest.size()))));
    }
    return true;
}

}  // namespace lum
