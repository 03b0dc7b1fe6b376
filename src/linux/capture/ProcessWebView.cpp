#include "linux/capture/ProcessWebView.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "linux/GtkApplication.h"

namespace lum::gtk {

namespace {

const std::string kBlankUrl = "about:blank";

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

std::string DefaultCaptureHelperPath() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string self = length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : "";
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) +
           kCaptureHelperName;
}

TProcessWebView::TProcessWebView(std::string helperPath, TCaptureLimits limits)
    : FHelperPath(helperPath.empty() ? DefaultCaptureHelperPath() : std::move(helperPath)),
      FLimits(limits) {}

TProcessWebView::~TProcessWebView() {
    *FAlive = false;
    Stop({}, TPageFailureKind::pfOther, false);
}

void TProcessWebView::Start() {
    auto cannot = [this](const std::string& why) {
        return Exception("the capture program \"" + FHelperPath + "\" cannot be started: " + why);
    };
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw cannot(std::strerror(errno));
    // The helper's end, never already at the number it gets in the helper
    // (the spawn then hands it on as it is, close-on-exec and all).
    const int helperEnd = ::fcntl(pair[1], F_DUPFD_CLOEXEC, kCaptureChannelFd + 1);
    ::close(pair[1]);
    if (helperEnd < 0) {
        ::close(pair[0]);
        throw cannot(std::strerror(errno));
    }
    const std::string channel = std::to_string(kCaptureChannelFd);
    gchar* argv[] = {const_cast<gchar*>(FHelperPath.c_str()),
                     const_cast<gchar*>(kCaptureChannelOption), const_cast<gchar*>(channel.c_str()),
                     nullptr};
    const gint sources[] = {helperEnd};
    const gint targets[] = {kCaptureChannelFd};
    GPid pid = 0;
    GError* error = nullptr;
    // Standard input from /dev/null; standard output, which the engine's
    // helper processes inherit, to this program's standard error. GLib
    // closes the descriptor it is given for standard output in the child
    // once it has put it in place: given descriptor 2 itself, the child's
    // standard error would be closed, and the next file the child opens
    // (an X connection, a socket of the engine) would get its messages.
    // A copy of it is given instead.
    const int output = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, kCaptureChannelFd + 1);
    const gboolean started = g_spawn_async_with_pipes_and_fds(
        nullptr, argv, nullptr,
        static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL), nullptr,
        nullptr, -1, output >= 0 ? output : STDERR_FILENO, -1, sources, targets, 1, &pid, nullptr,
        nullptr, nullptr, &error);
    if (output >= 0)
        ::close(output);
    ::close(helperEnd);
    if (!started) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        ::close(pair[0]);
        throw cannot(message);
    }
    // Reaped whenever it ends, whether or not this view still exists.
    g_child_watch_add(
        pid, [](GPid child, gint, gpointer) { g_spawn_close_pid(child); }, nullptr);
    ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
    FPid = pid;
    FChannel = pair[0];
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
        ms = pending->second.Pictured ? FLimits.PictureMs : FLimits.MeasureMs;
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
    if (!repeated)
        Send("navigate " + EscapeLineText(url));
}

void TProcessWebView::SetViewSize(const TSize& size) {
    if (!ValidSize(size))
        throw Exception("the view cannot take the size " + std::to_string(size.Width) + " x " +
                        std::to_string(size.Height));
    FViewSize = size;
    if (FPid > 0)
        Send("size " + SizeWords(size));
}

void TProcessWebView::MeasurePage(std::function<void(TSize)> done, TStepFailed failed) {
    if (FPid <= 0)
        throw Exception("no page is loaded");
    const std::uint32_t number = FNextStep++;
    FSteps[number] = TStep{std::move(done), nullptr, std::move(failed), TSize{},
                           StartTimer(number, FLimits.MeasureMs)};
    Send("measure " + std::to_string(number));
}

void TProcessWebView::TakePicture(const TSize& size,
                                  std::function<void(const TPageBitmap&)> done,
                                  TStepFailed failed) {
    if (FPid <= 0)
        throw Exception("no page is loaded");
    if (!ValidSize(size))
        throw Exception("a picture of " + SizeWords(size) + " pixels cannot be taken");
    const std::uint32_t number = FNextStep++;
    FSteps[number] = TStep{nullptr, std::move(done), std::move(failed), size,
                           StartTimer(number, FLimits.PictureMs)};
    Send("picture " + std::to_string(number) + " " + SizeWords(size));
}

void TProcessWebView::PassEnded() {
    Stop({}, TPageFailureKind::pfOther, false);
}

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
        case TCaptureAnswerKind::caMeasured:
            return step != FSteps.end() && step->second.Measured;
        case TCaptureAnswerKind::caStepFailed:
        case TCaptureAnswerKind::caPicture:
            return step != FSteps.end();
        default:
            return true;
    }
}

void TProcessWebView::Handle(TCaptureAnswer& answer, const TPageBitmap& picture) {
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
    } else if (answer.Kind == TCaptureAnswerKind::caMeasured) {
        pending.Measured(answer.Size);
    } else if (pending.Pictured) {
        pending.Pictured(picture);
    }
}

}  // namespace lum::gtk
