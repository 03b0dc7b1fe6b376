#include "linux/capture/ProcessWebView.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/Forms.h"
#include "linux/GtkApplication.h"
#include "linux/capture/CaptureRequests.h"

namespace lum::gtk {

namespace {

std::string SizeWords(const TSize& size) {
    return std::to_string(size.Width) + " " + std::to_string(size.Height);
}

bool ValidSize(const TSize& size) {
    return size.Width >= 1 && size.Height >= 1 && size.Width <= kCaptureMaxSide &&
           size.Height <= kCaptureMaxSide;
}

std::string Seconds(std::uint32_t ms) {
    return std::to_string(ms / 1000) + (ms % 1000 ? "." + std::to_string(ms % 1000 / 100) : "") +
           " s";
}

// A step's time limit: the view and the step it is for (0: the page's load).
struct TTimeout {
    TProcessWebView* View;
    std::uint32_t Step;
};

}  // namespace

// The GLib callbacks of the view, each behind the callback guard.
struct TProcessWebViewEvents {
    static gboolean OnReadable(gint, GIOCondition, gpointer data) {
        return Guarded<gboolean>(G_SOURCE_REMOVE, [&]() -> gboolean {
            auto* self = static_cast<TProcessWebView*>(data);
            const std::shared_ptr<bool> alive = self->FAlive;
            const unsigned watch = self->FWatch;
            const bool open = self->ReadSome();
            if (!*alive || self->FWatch != watch)
                return G_SOURCE_REMOVE;  // destroyed, or stopped (and perhaps started again)
            if (!open) {
                self->FWatch = 0;
                self->Stop("the capture program has ended", TPageFailureKind::pfOther, false);
                return G_SOURCE_REMOVE;
            }
            return G_SOURCE_CONTINUE;
        });
    }

    static gboolean OnTimeout(gpointer data) {
        const auto* timeout = static_cast<TTimeout*>(data);
        Guarded([&] { timeout->View->Expired(timeout->Step); });
        return G_SOURCE_REMOVE;
    }

    // A request that found the helper gone: failed later, from the loop,
    // like every answer of the helper; only if this view still talks to
    // that same helper then.
    struct TLateStop {
        std::shared_ptr<bool> Alive;
        TProcessWebView* View;
        pid_t Pid;
    };
    static gboolean OnLateStop(gpointer data) {
        const auto* late = static_cast<TLateStop*>(data);
        Guarded([&] {
            if (*late->Alive && late->View->FPid == late->Pid)
                late->View->Stop("the capture program has ended", TPageFailureKind::pfOther, true);
        });
        return G_SOURCE_REMOVE;
    }
};

TProcessWebView::TProcessWebView(std::string helperPath, TCaptureLimits limits, TCaptureLock* lock)
    : FHelperPath(helperPath.empty() ? DefaultCaptureHelperPath() : std::move(helperPath)),
      FLimits(limits),
      FLock(lock) {}

TProcessWebView::~TProcessWebView() {
    *FAlive = false;
    Stop({}, TPageFailureKind::pfOther, false);
    if (FLock)
        FLock->Release();
}

bool TProcessWebView::BeginPass() {
    if (!FLock || FLock->Held() || FLock->TryAcquire())
        return true;
    if (!FLock->Error().empty() && !FLockErrorSaid) {
        FLockErrorSaid = true;
        Application().Log(FLock->Error() + "; showing the cached pages only");
    }
    return false;
}

void TProcessWebView::Start() {
    const TCaptureProgram program = StartCaptureProgram(FHelperPath);
    FPid = program.Pid;
    FChannel = program.Channel;
    FReader = std::make_unique<TCaptureAnswerReader>([this](std::uint32_t step, TSize size) {
        const auto pending = FSteps.find(step);
        return pending != FSteps.end() && pending->second.Pictured &&
               pending->second.PictureSize == size;
    });
    FWatch = g_unix_fd_add(FChannel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                           &TProcessWebViewEvents::OnReadable, this);
    Send("size " + SizeWords(FViewSize));
}

// Closes the channel (the helper reads its end and leaves) and asks the
// helper to end, at once when kill; nothing pending is called. reason, when
// given, fails what was pending first, the page with kind.
void TProcessWebView::Stop(const std::string& reason, TPageFailureKind kind, bool kill) {
    if (FWatch)
        g_source_remove(FWatch);
    FWatch = 0;
    if (FLoadTimer)
        g_source_remove(FLoadTimer);
    FLoadTimer = 0;
    for (auto& [number, step] : FSteps) {
        if (step.Timer)
            g_source_remove(step.Timer);
        step.Timer = 0;
    }
    if (FChannel >= 0)
        ::close(FChannel);
    FChannel = -1;
    if (FPid > 0)
        ::kill(FPid, kill ? SIGKILL : SIGTERM);
    FPid = 0;
    FReader.reset();
    if (!reason.empty()) {
        FailAll(reason, kind);
    } else {
        FSteps.clear();
        FPendingUrl.clear();
    }
}

void TProcessWebView::FailAll(const std::string& reason, TPageFailureKind kind) {
    std::map<std::uint32_t, TStep> steps;
    steps.swap(FSteps);
    const std::string url = std::exchange(FPendingUrl, std::string());
    const std::shared_ptr<bool> alive = FAlive;
    for (auto& [number, step] : steps) {
        if (step.Failed)
            step.Failed(reason);
        if (!*alive)
            return;
    }
    // A page navigated to since, by a failure's continuation, is not the one
    // that failed.
    if (!url.empty() && FPendingUrl.empty() && OnDocumentFailed)
        OnDocumentFailed(url, TPageFailure{kind, 0, reason});
}

void TProcessWebView::Send(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (FChannel >= 0 && done < text.size()) {
        const ssize_t n = ::send(FChannel, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A helper that reads nothing for a second has stopped reading.
        pollfd writable{FChannel, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&writable, 1, 1000) > 0)
            continue;
        using TLateStop = TProcessWebViewEvents::TLateStop;
        g_idle_add_full(G_PRIORITY_DEFAULT, &TProcessWebViewEvents::OnLateStop,
                        new TLateStop{FAlive, this, FPid},
                        [](gpointer data) { delete static_cast<TLateStop*>(data); });
        return;
    }
}

unsigned TProcessWebView::StartTimer(std::uint32_t step, std::uint32_t ms) {
    return g_timeout_add_full(G_PRIORITY_DEFAULT, ms, &TProcessWebViewEvents::OnTimeout,
                              new TTimeout{this, step},
                              [](gpointer data) { delete static_cast<TTimeout*>(data); });
}

// A step, or the page's load (step 0), got no answer in time: the helper
// hangs, and is ended at once.
void TProcessWebView::Expired(std::uint32_t step) {
    std::uint32_t ms = FLimits.LoadMs;
    if (step == 0) {
        FLoadTimer = 0;
    } else if (const auto pending = FSteps.find(step); pending != FSteps.end()) {
        pending->second.Timer = 0;
        ms = pending->second.LimitMs;
    }
    Stop("the capture program gave no answer within " + Seconds(ms), TPageFailureKind::pfNoAnswer,
         true);
}

void TProcessWebView::Navigate(const std::string& url) {
    if (FPid <= 0)
        Start();
    const std::string address = url.empty() ? kBlankUrl : url;
    // The address asked for again before it completed (a pass started anew
    // while its blank page loads) is not sent twice: the engine would load
    // both and report both, and the second report would count against the
    // address that comes next. Its time limit starts again.
    const bool repeated = address == FPendingUrl;
    FPendingUrl = address;
    if (FLoadTimer)
        g_source_remove(FLoadTimer);
    FLoadTimer = StartTimer(0, FLimits.LoadMs);
    if (repeated)
        return;
    // The page's options go just before it, each time: a new capture
    // program, or one that refused a line, starts every page from them.
    for (const std::string& line : CaptureOptionLines(FOptions))
        Send(line);
    FPageWaitMs =
        static_cast<std::uint32_t>(std::clamp(FOptions.WaitSeconds, 0, kMostWaitSeconds)) * 1000;
    Send("navigate " + EscapeLineText(url));
}

void TProcessWebView::SetCaptureOptions(const TCaptureOptions& options) {
    FOptions = options;
}

void TProcessWebView::SetViewSize(const TSize& size) {
    if (!ValidSize(size))
        throw Exception("the view cannot take the size " + std::to_string(size.Width) + " x " +
                        std::to_string(size.Height));
    FViewSize = size;
    if (FPid > 0)
        Send("size " + SizeWords(size));
}

void TProcessWebView::BeginStep(TStep step,
                                std::uint32_t limitMs,
                                const std::string& kind,
                                const std::string& rest) {
    if (FPid <= 0)
        throw Exception("no page is loaded");
    const std::uint32_t number = FNextStep++;
    step.LimitMs = limitMs;
    step.Timer = StartTimer(number, limitMs);
    FSteps[number] = std::move(step);
    Send(kind + " " + std::to_string(number) + rest);
}

// The page's wait comes after it has settled, within the same step.
void TProcessWebView::SettlePage(std::function<void(bool)> done, TStepFailed failed) {
    TStep step;
    step.Settled = std::move(done);
    step.Failed = std::move(failed);
    BeginStep(std::move(step), FLimits.SettleMs + FPageWaitMs, "settle", {});
}

void TProcessWebView::MeasurePage(std::function<void(TSize)> done, TStepFailed failed) {
    TStep step;
    step.Measured = std::move(done);
    step.Failed = std::move(failed);
    BeginStep(std::move(step), FLimits.MeasureMs, "measure", {});
}

void TProcessWebView::TakePicture(const TSize& size,
                                  std::function<void(TPageBitmap&)> done,
                                  TStepFailed failed) {
    if (FPid <= 0)
        throw Exception("no page is loaded");
    if (!ValidSize(size))
        throw Exception("a picture of " + SizeWords(size) + " pixels cannot be taken");
    TStep step;
    step.Pictured = std::move(done);
    step.Failed = std::move(failed);
    step.PictureSize = size;
    BeginStep(std::move(step), FLimits.PictureMs, "picture", " " + SizeWords(size));
}

void TProcessWebView::PassEnded() {
    Stop({}, TPageFailureKind::pfOther, false);
    if (FLock)
        FLock->Release();
}

}  // namespace lum::gtk
