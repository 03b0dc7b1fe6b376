#include "gtk/ProcessWebView.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "gtk/CaptureProtocol.h"

namespace lum::gtk {

namespace {

constexpr std::int64_t kMaxSide = 32767;

std::string SizeWords(const TSize& size) {
    return std::to_string(size.Width) + " " + std::to_string(size.Height);
}

}  // namespace

std::string DefaultCaptureHelperPath() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string self = length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : "";
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) +
           kCaptureHelperName;
}

TProcessWebView::TProcessWebView(std::string helperPath)
    : FHelperPath(helperPath.empty() ? DefaultCaptureHelperPath() : std::move(helperPath)) {}

TProcessWebView::~TProcessWebView() {
    *FAlive = false;
    Stop({});
}

void TProcessWebView::Start() {
    // A helper that has ended must show up as a failed write, not end this
    // program with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    gchar* argv[] = {const_cast<gchar*>(FHelperPath.c_str()), nullptr};
    GPid pid = 0;
    gint toHelper = -1;
    gint fromHelper = -1;
    GError* error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid, &toHelper, &fromHelper, nullptr, &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw Exception("the capture program \"" + FHelperPath +
                        "\" cannot be started: " + message);
    }
    // Reaped whenever it ends, whether or not this view still exists.
    g_child_watch_add(
        pid, [](GPid child, gint, gpointer) { g_spawn_close_pid(child); }, nullptr);
    ::fcntl(toHelper, F_SETFD, FD_CLOEXEC);
    ::fcntl(fromHelper, F_SETFD, FD_CLOEXEC);
    ::fcntl(fromHelper, F_SETFL, ::fcntl(fromHelper, F_GETFL) | O_NONBLOCK);
    FPid = pid;
    FToHelper = toHelper;
    FFromHelper = fromHelper;
    FInput.clear();
    FReadingPicture = false;
    FWatch = g_unix_fd_add(fromHelper, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                           reinterpret_cast<GUnixFDSourceFunc>(&OnReadable), this);
    Send("size " + SizeWords(FViewSize));
}

// Closes both pipes (the helper reads the end of its input and leaves) and
// asks it to end; nothing pending is called. reason, when given, fails what
// was pending first.
void TProcessWebView::Stop(const std::string& reason) {
    if (FWatch)
        g_source_remove(FWatch);
    FWatch = 0;
    if (FToHelper >= 0)
        ::close(FToHelper);
    if (FFromHelper >= 0)
        ::close(FFromHelper);
    FToHelper = FFromHelper = -1;
    if (FPid > 0)
        ::kill(FPid, SIGTERM);
    FPid = 0;
    FPicture.Clear();
    FReadingPicture = false;
    FInput.clear();
    FInput.shrink_to_fit();
    if (!reason.empty()) {
        FailAll(reason);
    } else {
        FSteps.clear();
        FPendingUrl.clear();
    }
}

void TProcessWebView::FailAll(const std::string& reason) {
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
    if (!url.empty() && OnDocumentFailed)
        OnDocumentFailed(url, TPageFailure{TPageFailureKind::pfOther, 0, reason});
}

void TProcessWebView::Send(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (FToHelper >= 0 && done < text.size()) {
        const ssize_t n = ::write(FToHelper, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            // Failed later, from the loop, like every answer of the helper;
            // only if this view still talks to that same helper then.
            struct TLateStop {
                std::shared_ptr<bool> Alive;
                TProcessWebView* View;
                pid_t Pid;
            };
            g_idle_add_full(
                G_PRIORITY_DEFAULT,
                [](gpointer data) -> gboolean {
                    const auto* late = static_cast<TLateStop*>(data);
                    if (*late->Alive && late->View->FPid == late->Pid)
                        late->View->Stop("the capture program has ended");
                    return G_SOURCE_REMOVE;
                },
                new TLateStop{FAlive, this, FPid},
                [](gpointer data) { delete static_cast<TLateStop*>(data); });
            return;
        }
    }
}

void TProcessWebView::Navigate(const std::string& url) {
    if (FPid <= 0)
        Start();
    FPendingUrl = url.empty() ? std::string("about:blank") : url;
    Send("navigate " + EscapeLineText(url));
}

void TProcessWebView::SetViewSize(const TSize& size) {
    if (size.Width < 1 || size.Height < 1 || size.Width > kMaxSide || size.Height > kMaxSide)
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
    FSteps[number] = TStep{std::move(done), nullptr, std::move(failed)};
    Send("measure " + std::to_string(number));
}

void TProcessWebView::TakePicture(const TSize& size,
                                  std::function<void(const TPageBitmap&)> done,
                                  TStepFailed failed) {
    if (FPid <= 0)
        throw Exception("no page is loaded");
    if (size.Width < 1 || size.Height < 1 || size.Width > kMaxSide || size.Height > kMaxSide)
        throw Exception("a picture of " + SizeWords(size) + " pixels cannot be taken");
    const std::uint32_t number = FNextStep++;
    FSteps[number] = TStep{nullptr, std::move(done), std::move(failed)};
    Send("picture " + std::to_string(number) + " " + SizeWords(size));
}

void TProcessWebView::PassEnded() {
    Stop({});
}

int TProcessWebView::OnReadable(int, unsigned, void* data) {
    auto* self = static_cast<TProcessWebView*>(data);
    const std::shared_ptr<bool> alive = self->FAlive;
    const unsigned watch = self->FWatch;
    const bool open = self->ReadSome();
    if (!*alive)
        return G_SOURCE_REMOVE;  // destroyed by a callback: its watch went with it
    if (self->FWatch != watch)
        return G_SOURCE_REMOVE;  // stopped (and perhaps started again) by a callback
    if (!open) {
        self->FWatch = 0;
        self->Stop("the capture program has ended");
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

// Reads what the helper wrote; false at the end of its output. Every handled
// answer may call back into the core, which may end or destroy this view.
bool TProcessWebView::ReadSome() {
    const std::shared_ptr<bool> alive = FAlive;
    const unsigned watch = FWatch;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(FFromHelper, buffer, sizeof buffer);
        if (n == 0)
            return false;
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        FInput.append(buffer, static_cast<std::size_t>(n));
        while (!FInput.empty()) {
            if (FReadingPicture) {
                const std::size_t total = std::size_t(FPicture.Width()) * FPicture.Height() * 4;
                const std::size_t take = std::min(total - FPictureBytes, FInput.size());
                std::memcpy(reinterpret_cast<char*>(FPicture.Pixels()) + FPictureBytes,
                            FInput.data(), take);
                FInput.erase(0, take);
                FPictureBytes += take;
                if (FPictureBytes == total)
                    PictureArrived();
            } else {
                const std::size_t end = FInput.find('\n');
                if (end == std::string::npos)
                    break;
                const std::string line = FInput.substr(0, end);
                FInput.erase(0, end + 1);
                try {
                    HandleLine(line);
                } catch (const std::exception& e) {
                    // A picture too large for memory: the helper is ended and
                    // what was pending fails.
                    Stop(e.what());
                    return true;
                }
            }
            if (!*alive || FWatch != watch)
                return true;
        }
    }
}

void TProcessWebView::HandleLine(const std::string& line) {
    const std::vector<std::string> head = SplitLine(line, 2);
    const std::string& kind = head.at(0);
    const std::string rest = head.size() > 1 ? head[1] : std::string();
    if (kind == "complete" || kind == "failed") {
        const std::size_t tab = rest.find('\t');
        const std::string url = UnescapeLineText(rest.substr(0, tab));
        const std::string message =
            tab == std::string::npos ? std::string() : UnescapeLineText(rest.substr(tab + 1));
        FPendingUrl.clear();
        if (kind == "complete" && OnDocumentComplete)
            OnDocumentComplete(url);
        else if (kind == "failed" && OnDocumentFailed)
            OnDocumentFailed(url, TPageFailure{TPageFailureKind::pfOther, 0, message});
        return;
    }
    const std::vector<std::string> words = SplitLine(line, 4);
    const std::int64_t number = words.size() > 1 ? ParseCount(words[1], 0xFFFFFFFF) : -1;
    const auto step = FSteps.find(static_cast<std::uint32_t>(number));
    if (number < 0 || step == FSteps.end())
        return;  // an answer to nothing pending: ignored
    if (kind == "stepfailed") {
        TStep pending = std::move(step->second);
        FSteps.erase(step);
        const std::vector<std::string> failure = SplitLine(line, 3);
        if (pending.Failed)
            pending.Failed(failure.size() > 2 ? UnescapeLineText(failure[2])
                                              : std::string("the step failed"));
        return;
    }
    const std::int64_t width = words.size() > 3 ? ParseCount(words[2], kMaxSide) : -1;
    const std::int64_t height = words.size() > 3 ? ParseCount(words[3], kMaxSide) : -1;
    if (kind == "measured" && width >= 0 && height >= 0) {
        TStep pending = std::move(step->second);
        FSteps.erase(step);
        if (pending.Measured)
            pending.Measured(
                TSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)});
    } else if (kind == "picture" && width > 0 && height > 0) {
        FPicture.Resize(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
        FPictureStep = static_cast<std::uint32_t>(number);
        FPictureBytes = 0;
        FReadingPicture = true;
    }
}

void TProcessWebView::PictureArrived() {
    FReadingPicture = false;
    const auto step = FSteps.find(FPictureStep);
    TPageBitmap picture = std::move(FPicture);
    FPicture = TPageBitmap();
    if (step == FSteps.end())
        return;
    TStep pending = std::move(step->second);
    FSteps.erase(step);
    if (pending.Pictured)
        pending.Pictured(picture);
}

}  // namespace lum::gtk
