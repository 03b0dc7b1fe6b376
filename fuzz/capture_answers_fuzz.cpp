// Fuzzes the showing program's side of the capture protocol: the answers of
// the capture program as bytes, read in one piece and in pieces of sizes
// taken from the input. Both readings must give the same answers and end the
// same way; sizes and steps stay within the protocol's limits, a picture
// comes only as the reader agreed to and with all its pixels, nothing is
// read once the stream is out of frame, and each answer written again as
// the capture program writes it reads back the same. Anything else aborts.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "linux/capture/CaptureProtocol.h"

namespace {

using lum::fuzz::Check;
using lum::gtk::TCaptureAnswer;
using lum::gtk::TCaptureAnswerKind;
using lum::gtk::TCaptureAnswerReader;
using Result = TCaptureAnswerReader::TResult;

// The pictures this reader expects: odd steps, at most 64 x 64.
bool Expected(std::uint32_t step, lum::TSize size) {
    return step % 2 == 1 && size.Width <= 64 && size.Height <= 64;
}

bool Same(const TCaptureAnswer& a, const TCaptureAnswer& b) {
    return a.Kind == b.Kind && a.Url == b.Url && a.Failure.Kind == b.Failure.Kind &&
           a.Failure.Status == b.Failure.Status && a.Failure.Detail == b.Failure.Detail &&
           a.Step == b.Step && a.Size == b.Size && a.Message == b.Message && a.Settled == b.Settled;
}

struct TReading {
    std::vector<TCaptureAnswer> Answers;
    std::vector<std::vector<std::uint32_t>> Pictures;
    bool OutOfFrame = false;
    std::string Error;
};

// Reads everything there is after a piece has come in.
void Drain(TCaptureAnswerReader& reader, TReading& reading) {
    for (;;) {
        TCaptureAnswer answer;
        lum::TPageBitmap picture;
        const Result result = reader.Next(answer, picture);
        if (result == Result::crNeedMore)
            return;
        if (result == Result::crOutOfFrame) {
            Check(reader.OutOfFrame() && !reader.Error().empty());
            Check(reader.Next(answer, picture) == Result::crOutOfFrame);
            Check(reader.Pending() == 0);
            reading.OutOfFrame = true;
            reading.Error = reader.Error();
            return;
        }
        Check(!reader.OutOfFrame());
        const std::int64_t most = answer.Kind == TCaptureAnswerKind::caMeasured
                                      ? lum::gtk::kCaptureMaxMeasure
                                      : lum::gtk::kCaptureMaxSide;
        Check(answer.Size.Width >= 0 && answer.Size.Width <= most);
        Check(answer.Size.Height >= 0 && answer.Size.Height <= most);
        Check(answer.Failure.Status >= 0 && answer.Failure.Status <= 999);
        const bool stepped = answer.Kind == TCaptureAnswerKind::caSettled ||
                             answer.Kind == TCaptureAnswerKind::caMeasured ||
                             answer.Kind == TCaptureAnswerKind::caPicture ||
                             answer.Kind == TCaptureAnswerKind::caStepFailed;
        Check(stepped == (answer.Step > 0));
        std::vector<std::uint32_t> pixels;
        if (answer.Kind == TCaptureAnswerKind::caPicture) {
            Check(Expected(answer.Step, answer.Size));
            Check(picture.Width() == answer.Size.Width && picture.Height() == answer.Size.Height);
            pixels.assign(picture.Pixels(),
                          picture.Pixels() + std::size_t(picture.Width()) * picture.Height());
        } else {
            Check(picture.Empty());
        }
        reading.Answers.push_back(answer);
        reading.Pictures.push_back(std::move(pixels));
    }
}

// An answer written as the capture program writes it reads back the same.
void CheckWrittenAgain(const TCaptureAnswer& answer) {
    std::string line;
    switch (answer.Kind) {
        case TCaptureAnswerKind::caComplete:
            line = lum::gtk::CompleteAnswer(answer.Url);
            break;
        case TCaptureAnswerKind::caFailed:
            line = lum::gtk::FailedAnswer(answer.Url, answer.Failure);
            break;
        case TCaptureAnswerKind::caSettled:
            line = lum::gtk::SettledAnswer(answer.Step, answer.Settled);
            break;
        case TCaptureAnswerKind::caMeasured:
            line = lum::gtk::MeasuredAnswer(answer.Step, answer.Size);
            break;
        case TCaptureAnswerKind::caPicture:
            line = lum::gtk::PictureAnswer(answer.Step, answer.Size) + "\n" +
                   std::string(std::size_t(answer.Size.Width) * answer.Size.Height * 4, 'p');
            break;
        case TCaptureAnswerKind::caStepFailed:
            line = lum::gtk::StepFailedAnswer(answer.Step, answer.Message);
            break;
    }
    if (answer.Kind != TCaptureAnswerKind::caPicture)
        line += "\n";
    TCaptureAnswerReader reader(&Expected);
    reader.Feed(line.data(), line.size());
    TCaptureAnswer again;
    lum::TPageBitmap picture;
    Check(reader.Next(again, picture) == Result::crAnswer);
    Check(Same(again, answer));
    Check(reader.Next(again, picture) == Result::crNeedMore && reader.Pending() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first bytes give the sizes of the pieces, the rest is the stream.
    const std::size_t head = size < 8 ? size : 8;
    const std::uint8_t* pieces = data;
    const char* stream = reinterpret_cast<const char*>(data + head);
    const std::size_t length = size - head;

    TReading whole;
    TCaptureAnswerReader one(&Expected);
    one.Feed(stream, length);
    Drain(one, whole);

    TReading split;
    TCaptureAnswerReader many(&Expected);
    std::size_t done = 0;
    for (std::size_t i = 0; done < length; ++i) {
        const std::size_t piece = head ? 1 + pieces[i % head] % 97 : length;
        const std::size_t take = piece < length - done ? piece : length - done;
        many.Feed(stream + done, take);
        done += take;
        Drain(many, split);
    }

    Check(whole.Answers.size() == split.Answers.size());
    for (std::size_t i = 0; i < whole.Answers.size(); ++i) {
        Check(Same(whole.Answers[i], split.Answers[i]));
        Check(whole.Pictures[i] == split.Pictures[i]);
        CheckWrittenAgain(whole.Answers[i]);
    }
    Check(whole.OutOfFrame == split.OutOfFrame);
    Check(whole.Error == split.Error);
    return 0;
}
