#include "linux/capture/CaptureProtocol.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "slideshow/PageFailure.h"

namespace lum::gtk {

std::string EscapeLineText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeLineText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            default:
                out += text[i];  // "\\" and anything else: the character itself
        }
    }
    return out;
}

std::vector<std::string> SplitLine(const std::string& line, std::size_t count) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (count > 0 && words.size() + 1 < count) {
        const std::size_t blank = line.find(' ', start);
        if (blank == std::string::npos)
            break;
        words.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    if (count > 0 && start <= line.size())
        words.push_back(line.substr(start));
    return words;
}

std::int64_t ParseCount(const std::string& word, std::int64_t limit) {
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < 0 || value > limit)
        return -1;
    return value;
}

namespace {

std::string SizeWords(const TSize& size) {
    return std::to_string(size.Width) + " " + std::to_string(size.Height);
}

// A step number of an answer: 1 to 2^32 - 1.
bool ParseStep(const std::string& word, std::uint32_t& step) {
    const std::int64_t value = ParseCount(word, 0xFFFFFFFF);
    step = static_cast<std::uint32_t>(value);
    return value > 0;
}

bool ParseSide(const std::string& word, std::int32_t& side, std::int64_t least, std::int64_t most) {
    const std::int64_t value = ParseCount(word, most);
    side = static_cast<std::int32_t>(value);
    return value >= least;
}

// "settled N S": S is 1 when the page settled, 0 when it was taken at the
// settle limit.
bool ParseSettled(const std::string& line, TCaptureAnswer& answer) {
    const std::vector<std::string> words = SplitLine(line, 4);
    answer.Kind = TCaptureAnswerKind::caSettled;
    if (words.size() != 3 || !ParseStep(words[1], answer.Step) ||
        (words[2] != "0" && words[2] != "1"))
        return false;
    answer.Settled = words[2] == "1";
    return true;
}

}  // namespace

std::string CompleteAnswer(const std::string& url) {
    return "complete " + EscapeLineText(url);
}

std::string FailedAnswer(const std::string& url, const TPageFailure& failure) {
    const std::int32_t status = std::clamp<std::int32_t>(failure.Status, 0, 999);
    return "failed " + FailureKindName(failure.Kind) + " " + std::to_string(status) + " " +
           EscapeLineText(url) + "\t" + EscapeLineText(failure.Detail);
}

std::string SettledAnswer(std::uint32_t step, bool settled) {
    return "settled " + std::to_string(step) + (settled ? " 1" : " 0");
}

std::string MeasuredAnswer(std::uint32_t step, const TSize& size) {
    return "measured " + std::to_string(step) + " " + SizeWords(size);
}

std::string PictureAnswer(std::uint32_t step, const TSize& size) {
    return "picture " + std::to_string(step) + " " + SizeWords(size);
}

std::string StepFailedAnswer(std::uint32_t step, const std::string& message) {
    return "stepfailed " + std::to_string(step) + " " + EscapeLineText(message);
}

void TCaptureAnswerReader::Feed(const char* data, std::size_t size) {
    if (OutOfFrame() || size == 0)
        return;
    // Bytes already read go first, so the buffer holds only what is unread.
    if (FStart > 0) {
        FInput.erase(0, FStart);
        FStart = 0;
    }
    FInput.append(data, size);
}

TCaptureAnswerReader::TResult TCaptureAnswerReader::Fail(const std::string& error) {
    FError = error;
    FInput.clear();
    FInput.shrink_to_fit();
    FStart = 0;
    FPicture.Clear();
    FReadingPicture = false;
    return TResult::crOutOfFrame;
}

TCaptureAnswerReader::TResult TCaptureAnswerReader::Next(TCaptureAnswer& answer,
                                                         TPageBitmap& picture) {
    if (OutOfFrame())
        return TResult::crOutOfFrame;
    for (;;) {
        if (FReadingPicture)
            return ReadPicture(answer, picture);
        std::string line;
        TResult result;
        if (!TakeLine(line, result))
            return result;
        TCaptureAnswer parsed;
        if (!ParseLine(line, parsed))
            return Fail("the answer \"" + EscapeLineText(line.substr(0, 80)) +
                        "\" is out of place");
        if (parsed.Kind != TCaptureAnswerKind::caPicture) {
            answer = std::move(parsed);
            return TResult::crAnswer;
        }
        if (!FExpectPicture || !FExpectPicture(parsed.Step, parsed.Size))
            return Fail("a picture of " + SizeWords(parsed.Size) + " pixels for step " +
                        std::to_string(parsed.Step) + " is out of place");
        BeginPicture(std::move(parsed));
    }
}

bool TCaptureAnswerReader::TakeLine(std::string& line, TResult& result) {
    const std::size_t end = FInput.find('\n', FStart);
    if (end == std::string::npos) {
        if (FInput.size() - FStart > kMaxAnswerLine)
            result = Fail("an answer line is too long");
        else
            result = TResult::crNeedMore;
        return false;
    }
    if (end - FStart > kMaxAnswerLine) {
        result = Fail("an answer line is too long");
        return false;
    }
    line = FInput.substr(FStart, end - FStart);
    FStart = end + 1;
    return true;
}

void TCaptureAnswerReader::BeginPicture(TCaptureAnswer parsed) {
    try {
        FPicture.Resize(parsed.Size.Width, parsed.Size.Height);
    } catch (...) {
        Fail("no memory for a picture of " + SizeWords(parsed.Size) + " pixels");
        throw;
    }
    FPictureAnswer = std::move(parsed);
    FPictureBytes = 0;
    FReadingPicture = true;
}

TCaptureAnswerReader::TResult TCaptureAnswerReader::ReadPicture(TCaptureAnswer& answer,
                                                                TPageBitmap& picture) {
    const std::size_t total = std::size_t(FPicture.Width()) * FPicture.Height() * 4;
    const std::size_t take = std::min(total - FPictureBytes, FInput.size() - FStart);
    std::memcpy(reinterpret_cast<char*>(FPicture.Pixels()) + FPictureBytes, FInput.data() + FStart,
                take);
    FStart += take;
    FPictureBytes += take;
    if (FPictureBytes < total)
        return TResult::crNeedMore;
    FReadingPicture = false;
    answer = std::move(FPictureAnswer);
    picture = std::move(FPicture);
    FPicture = TPageBitmap();
    return TResult::crAnswer;
}

bool TCaptureAnswerReader::ParseLine(const std::string& line, TCaptureAnswer& answer) {
    const std::vector<std::string> head = SplitLine(line, 2);
    const std::string& kind = head.at(0);
    if (kind == "complete") {
        answer.Kind = TCaptureAnswerKind::caComplete;
        answer.Url = head.size() > 1 ? UnescapeLineText(head[1]) : std::string();
        return head.size() > 1;
    }
    if (kind == "failed") {
        const std::vector<std::string> words = SplitLine(line, 4);
        if (words.size() < 4)
            return false;
        answer.Kind = TCaptureAnswerKind::caFailed;
        const std::int64_t status = ParseCount(words[2], 999);
        const std::size_t tab = words[3].find('\t');
        if (!FailureKindOfName(words[1], answer.Failure.Kind) || status < 0 ||
            tab == std::string::npos)
            return false;
        answer.Failure.Status = static_cast<std::int32_t>(status);
        answer.Url = UnescapeLineText(words[3].substr(0, tab));
        answer.Failure.Detail = UnescapeLineText(words[3].substr(tab + 1));
        return true;
    }
    if (kind == "stepfailed") {
        const std::vector<std::string> words = SplitLine(line, 3);
        answer.Kind = TCaptureAnswerKind::caStepFailed;
        if (words.size() < 3 || !ParseStep(words[1], answer.Step))
            return false;
        answer.Message = UnescapeLineText(words[2]);
        return true;
    }
    if (kind == "settled")
        return ParseSettled(line, answer);
    const std::vector<std::string> words = SplitLine(line, 5);
    if (words.size() != 4 || (kind != "measured" && kind != "picture"))
        return false;
    const bool picture = kind == "picture";
    answer.Kind = picture ? TCaptureAnswerKind::caPicture : TCaptureAnswerKind::caMeasured;
    const std::int64_t least = picture ? 1 : 0;
    const std::int64_t most = picture ? kCaptureMaxSide : kCaptureMaxMeasure;
    return ParseStep(words[1], answer.Step) &&
           ParseSide(words[2], answer.Size.Width, least, most) &&
           ParseSide(words[3], answer.Size.Height, least, most);
}

}  // namespace lum::gtk
