// Folder src/linux/capture (lum_linux_capture): the channel between lumenary
// and lumenary-capture: the protocol both sides speak, the parent's process
// view, the capture lock. It includes src/linux and the core.
//
// The lines the program and its capture process exchange over a channel of
// their own: one request or answer a line, words separated by one blank,
// texts (URLs, messages) last and escaped so that a line never holds a
// newline. A picture's answer line is followed by its pixels, width x height
// 32-bit values (0x00RRGGBB, top-down rows, host byte order). Nothing here
// throws but the reader, which throws only when memory runs out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "platform/WebView.h"

namespace lum::gtk {

// "\" as "\\", newline as "\n", carriage return as "\r", NUL as "\0".
std::string EscapeLineText(const std::string& text);
std::string UnescapeLineText(const std::string& text);

// The words of a line: the first count - 1 words split at blanks, then the
// rest of the line as the last word; fewer words when the line
// has fewer.
std::vector<std::string> SplitLine(const std::string& line, std::size_t count);

// A whole number from 0 to limit, or -1.
std::int64_t ParseCount(const std::string& word, std::int64_t limit);

// Requests, program to capture process:
//   "size W H"          the view's size            (no answer)
//   "options Z W", "hide TEXT", "crop TEXT", "header NAME VALUE"
//                       the options of the next navigate (CaptureRequests.h; no answer)
//   "navigate URL"      load URL                   (later "complete" or "failed")
//   "settle N"          let the page settle, step N ("settled N S" or "stepfailed N MSG")
//   "measure N"         measure the page, step N   ("measured N W H" or "stepfailed N MSG")
//   "picture N W H"     take a picture, step N     ("picture N W H" + pixels, or "stepfailed")
// Answers, capture process to program:
//   "complete URL", "failed KIND STATUS URL<TAB>MESSAGE" (KIND a name of
//   FailureKindName, as in the failure records; STATUS the HTTP status or
//   0; both texts escaped, the tab outside them), "settled N S" (S 1 when
//   the page settled, 0 when it was taken as it stood at the settle limit),
//   "measured N W H", "picture N W H", "stepfailed N MESSAGE".
inline constexpr const char* kCaptureHelperName = "lumenary-capture";
// The capture program's argument that names the channel's descriptor:
// "--channel N". Its standard input and output are not the channel.
inline constexpr const char* kCaptureChannelOption = "--channel";
// The descriptor the program hands the channel on as.
inline constexpr int kCaptureChannelFd = 3;
// Largest side of a view or a picture.
inline constexpr std::int64_t kCaptureMaxSide = 32767;
// Largest side of a measured page: a page may be far taller than any picture
// (an endless feed); the capture form cuts the picture down to its height cap.
inline constexpr std::int64_t kCaptureMaxMeasure = 2147483647;
// Longest answer line (without its newline).
inline constexpr std::size_t kMaxAnswerLine = 256 * 1024;


// The answer lines as the capture process writes them (without the newline).
std::string CompleteAnswer(const std::string& url);
std::string FailedAnswer(const std::string& url, const TPageFailure& failure);
std::string SettledAnswer(std::uint32_t step, bool settled);
std::string MeasuredAnswer(std::uint32_t step, const TSize& size);
std::string PictureAnswer(std::uint32_t step, const TSize& size);
std::string StepFailedAnswer(std::uint32_t step, const std::string& message);

enum class TCaptureAnswerKind {
    caComplete,
    caFailed,
    caSettled,
    caMeasured,
    caPicture,
    caStepFailed
};

struct TCaptureAnswer {
    TCaptureAnswerKind Kind = TCaptureAnswerKind::caComplete;
    std::string Url;       // complete, failed
    TPageFailure Failure;  // failed
    std::uint32_t Step = 0;
    bool Settled = false;  // settled
    TSize Size{0, 0};     // measured, picture
    std::string Message;  // stepfailed
};

// Reads the answers from the bytes as they arrive, in any pieces. Bytes out
// of place (a line that is no answer, a line too long, a picture its reader
// does not expect) put the stream out of frame for good: what follows is
// never read as answers, since no one can tell where they would start.
class TCaptureAnswerReader {
  public:
    enum class TResult { crAnswer, crNeedMore, crOutOfFrame };
    // Whether a picture of size for step is expected; only an expected
    // picture's pixels are taken in (and memory for them given).
    using TPictureCheck = std::function<bool(std::uint32_t step, TSize size)>;

    explicit TCaptureAnswerReader(TPictureCheck expectPicture)
        : FExpectPicture(std::move(expectPicture)) {}

    void Feed(const char* data, std::size_t size);
    // The next whole answer, a picture's with its pixels in picture.
    TResult Next(TCaptureAnswer& answer, TPageBitmap& picture);
    bool OutOfFrame() const { return !FError.empty(); }
    // Why the stream is out of frame; empty while it is not.
    const std::string& Error() const { return FError; }
    // Bytes held, not yet read as answers.
    std::size_t Pending() const { return FInput.size() - FStart; }

  private:
    TResult Fail(const std::string& error);
    // The next whole line; false with crNeedMore or crOutOfFrame instead.
    bool TakeLine(std::string& line, TResult& result);
    bool ParseLine(const std::string& line, TCaptureAnswer& answer);
    // Starts reading the pixels of the picture parsed announces.
    void BeginPicture(TCaptureAnswer parsed);
    // The pixels of the picture being read; crAnswer once all have come.
    TResult ReadPicture(TCaptureAnswer& answer, TPageBitmap& picture);

    TPictureCheck FExpectPicture;
    std::string FInput;
    std::size_t FStart = 0;  // of the unread bytes in FInput
    std::string FError;
    bool FReadingPicture = false;
    TCaptureAnswer FPictureAnswer;
    TPageBitmap FPicture;
    std::size_t FPictureBytes = 0;  // of FPicture's pixels already read
};

}  // namespace lum::gtk
