// The capture view's reading of the channel: the helper's answers, each
// checked against what is pending and handed to its step or to the page.
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "linux/capture/ProcessWebView.h"

namespace lum::gtk {

// Reads what the helper wrote; false at the end of the channel. Every
// handled answer may call back into the core, which may end or destroy this
// view. Bytes out of place end the helper and fail what was pending.
bool TProcessWebView::ReadSome() {
    const std::shared_ptr<bool> alive = FAlive;
    const unsigned watch = FWatch;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(FChannel, buffer, sizeof buffer);
        if (n == 0)
            return false;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN;
        FReader->Feed(buffer, static_cast<std::size_t>(n));
        for (;;) {
            TCaptureAnswer answer;
            TPageBitmap picture;
            TCaptureAnswerReader::TResult result;
            try {
                result = FReader->Next(answer, picture);
            } catch (const std::exception& e) {
                Stop(e.what(), TPageFailureKind::pfOther, true);  // no memory for the picture
                return true;
            }
            if (result == TCaptureAnswerReader::TResult::crNeedMore)
                break;
            if (result == TCaptureAnswerReader::TResult::crOutOfFrame || !Expected(answer)) {
                const std::string why =
                    FReader->OutOfFrame()
                        ? FReader->Error()
                        : "an answer for step " + std::to_string(answer.Step) + " is out of place";
                Stop("the capture program's answers make no sense: " + why,
                     TPageFailureKind::pfOther, true);
                return true;
            }
            Handle(answer, picture);
            if (!*alive || FWatch != watch)
                return true;
        }
    }
}

// A step's answer must be of that step's kind; a picture's was checked
// when its header came.
bool TProcessWebView::Expected(const TCaptureAnswer& answer) const {
    const auto step = FSteps.find(answer.Step);
    switch (answer.Kind) {
        case TCaptureAnswerKind::caSettled:
            return step != FSteps.end() && step->second.Settled;
        case TCaptureAnswerKind::caMeasured:
            return step != FSteps.end() && step->second.Measured;
        case TCaptureAnswerKind::caStepFailed:
        case TCaptureAnswerKind::caPicture:
            return step != FSteps.end();
        default:
            return true;
    }
}

void TProcessWebView::Handle(TCaptureAnswer& answer, TPageBitmap& picture) {
    if (answer.Kind == TCaptureAnswerKind::caComplete && answer.Url == kBlankUrl &&
        !FPendingUrl.empty() && FPendingUrl != kBlankUrl) {
        // The engine stayed on the blank page instead of loading the address
        // (it refuses ports that browsers may not use, such as 1 or 9,
        // without a word): that address could not be loaded.
        answer.Kind = TCaptureAnswerKind::caFailed;
        answer.Url = FPendingUrl;
        answer.Failure = TPageFailure{TPageFailureKind::pfRefused, 0,
                                      "the browser engine did not load the address"};
    }
    if (answer.Kind == TCaptureAnswerKind::caComplete ||
        answer.Kind == TCaptureAnswerKind::caFailed) {
        FPendingUrl.clear();
        if (FLoadTimer)
            g_source_remove(FLoadTimer);
        FLoadTimer = 0;
        if (answer.Kind == TCaptureAnswerKind::caComplete && OnDocumentComplete)
            OnDocumentComplete(answer.Url);
        else if (answer.Kind == TCaptureAnswerKind::caFailed && OnDocumentFailed)
            OnDocumentFailed(answer.Url, answer.Failure);
        return;
    }
    const auto step = FSteps.find(answer.Step);
    TStep pending = std::move(step->second);
    FSteps.erase(step);
    if (pending.Timer)
        g_source_remove(pending.Timer);
    if (answer.Kind == TCaptureAnswerKind::caStepFailed) {
        if (pending.Failed)
            pending.Failed(answer.Message.empty() ? std::string("the step failed")
                                                  : answer.Message);
    } else if (answer.Kind == TCaptureAnswerKind::caSettled) {
        pending.Settled(answer.Settled);
    } else if (answer.Kind == TCaptureAnswerKind::caMeasured) {
        pending.Measured(answer.Size);
    } else if (pending.Pictured) {
        pending.Pictured(picture);
    }
}

}  // namespace lum::gtk
