// The capture program "lumenary-capture": runs the browser engine for
// lumenary in a process of its own, one pass at a time. It reads requests and
// writes answers (and pictures) on the channel lumenary hands it ("--channel
// N"), as the lines of the capture protocol say, and ends at the end of the
// channel or on SIGTERM. The channel is closed on exec at once, so that none
// of the engine's helper processes holds it; what anyone writes on standard
// output reaches lumenary's standard error, never the channel. Its own
// errors go to standard error. Its web views run on a display of its own
// (a private Xvfb), never on the user's: without it (Xvfb missing, or the
// page sandbox unable to start) every page fails with the reason, which is
// said once on standard error.
#include <fcntl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/WebKitWebView.h"
#include "linux/GtkApplication.h"
#include "linux/capture/CaptureProgram.h"
#include "linux/capture/CaptureProtocol.h"
#include "linux/capture/CaptureRequests.h"
#include "linux/capture/PrivateDisplay.h"
#include "linux/session/WebDataFolder.h"

namespace {

using namespace lum;
using namespace lum::gtk;

int gChannel = -1;

void WriteAll(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(gChannel, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The program that reads the answers is gone: so is the pass.
            QuitMainLoop();
            return;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

void Answer(const std::string& line) {
    const std::string text = line + "\n";
    WriteAll(text.data(), text.size());
}

class TCaptureServer {
  public:
    TCaptureServer() {
        FView.OnDocumentComplete = [](const std::string& url) { Answer(CompleteAnswer(url)); };
        FView.OnDocumentFailed = [](const std::string& url, const TPageFailure& failure) {
            Answer(FailedAnswer(url, failure));
        };
    }

    void Handle(const std::string& line) {
        const std::vector<std::string> words = SplitLine(line, 4);
        const std::string& kind = words.at(0);
        try {
            if (IsCaptureOptionLine(line)) {
                TakeOption(kind, line);
            } else if (kind == "navigate") {
                const std::vector<std::string> request = SplitLine(line, 2);
                Navigate(request.size() > 1 ? UnescapeLineText(request[1]) : std::string());
            } else if (kind == "size" && words.size() >= 3) {
                FView.SetViewSize(TSize{Number(words[1]), Number(words[2])});
            } else if (kind == "settle" && words.size() >= 2 && Step(words[1]) > 0) {
                Settle(Step(words[1]));
            } else if (kind == "measure" && words.size() >= 2 && Step(words[1]) > 0) {
                Measure(Step(words[1]));
            } else if (kind == "picture" && words.size() >= 4 && Step(words[1]) > 0) {
                Picture(Step(words[1]), TSize{Number(words[2]), Number(words[3])});
            } else {
                std::fprintf(stderr, "lumenary-capture: unknown request \"%s\"\n", line.c_str());
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "lumenary-capture: %s\n", e.what());
        }
    }

  private:
    static std::int32_t Number(const std::string& word) {
        return static_cast<std::int32_t>(ParseCount(word, kCaptureMaxSide));
    }
    static std::uint32_t Step(const std::string& word) {
        return static_cast<std::uint32_t>(std::max<std::int64_t>(ParseCount(word, 0xFFFFFFFF), 0));
    }

    // The options of the next pages; a line refused is said without its
    // text, which may hold a header's value.
    void TakeOption(const std::string& kind, const std::string& line) {
        std::string why;
        if (!ReadCaptureOptionLine(line, FOptions, why))
            std::fprintf(stderr, "lumenary-capture: a \"%s\" request is refused: %s\n",
                         kind.c_str(), why.c_str());
        FView.SetCaptureOptions(FOptions);
    }

    void Navigate(const std::string& url) {
        try {
            FView.Navigate(url);
        } catch (const std::exception& e) {
            Answer(FailedAnswer(url, TPageFailure{TPageFailureKind::pfOther, 0, e.what()}));
        }
    }

    void Settle(std::uint32_t step) {
        try {
            FView.SettlePage([step](bool settled) { Answer(SettledAnswer(step, settled)); },
                             [step](const std::string& message) { Failed(step, message); });
        } catch (const std::exception& e) {
            Failed(step, e.what());
        }
    }

    void Measure(std::uint32_t step) {
        try {
            FView.MeasurePage([step](TSize size) { Answer(MeasuredAnswer(step, size)); },
                              [step](const std::string& message) { Failed(step, message); });
        } catch (const std::exception& e) {
            Failed(step, e.what());
        }
    }

    void Picture(std::uint32_t step, const TSize& size) {
        try {
            FView.TakePicture(
                size,
                [step](const TPageBitmap& picture) {
                    Answer(PictureAnswer(step, TSize{picture.Width(), picture.Height()}));
                    WriteAll(picture.Pixels(), std::size_t(picture.Width()) * picture.Height() * 4);
                },
                [step](const std::string& message) { Failed(step, message); });
        } catch (const std::exception& e) {
            Failed(step, e.what());
        }
    }

    static void Failed(std::uint32_t step, const std::string& message) {
        Answer(StepFailedAnswer(step, message));
    }

    // In the kept web session: every capture is signed in where the user
    // signed in with "lumenary --sign-in". Only one capture program runs at
    // a time (the capture lock of lumenary), so the store is never opened
    // twice.
    TWebKitWebView FView{TWebKitLimits{}, TSandboxTools{}, true};
    TCaptureOptions FOptions;
};

struct TInput {
    TCaptureServer* Server = nullptr;
    std::string Pending;
    bool Closed = false;
};

gboolean ReadInput(gint fd, TInput* input) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            QuitMainLoop();  // the end of the pass
            input->Closed = true;
            return G_SOURCE_REMOVE;
        }
        if (n < 0)
            return G_SOURCE_CONTINUE;
        input->Pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = input->Pending.find('\n')) != std::string::npos) {
            const std::string line = input->Pending.substr(0, end);
            input->Pending.erase(0, end + 1);
            input->Server->Handle(line);
        }
    }
}

gboolean OnInput(gint fd, GIOCondition, gpointer data) {
    return Guarded<gboolean>(G_SOURCE_CONTINUE,
                             [&] { return ReadInput(fd, static_cast<TInput*>(data)); });
}

// The channel's descriptor from "--channel N"; -1 without one.
int ChannelOf(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == kCaptureChannelOption)
            return static_cast<int>(ParseCount(argv[i + 1], 1 << 20));
    }
    return -1;
}

// The views' size from the first request, which lumenary sends as it starts
// this program ("size W H"), read without taking it: the private display's
// screen is made that size, as a page would find the monitor's.
TSize FirstViewSize() {
    pollfd wait{gChannel, POLLIN, 0};
    char buffer[64] = {};
    if (::poll(&wait, 1, 5000) != 1 ||
        ::recv(gChannel, buffer, sizeof buffer - 1, MSG_PEEK | MSG_DONTWAIT) <= 0)
        return TSize{1024, 768};
    const std::string text = buffer;
    const std::vector<std::string> words = SplitLine(text.substr(0, text.find('\n')), 3);
    if (text.find('\n') == std::string::npos || words.size() != 3 || words[0] != "size")
        return TSize{1024, 768};
    return TSize{static_cast<std::int32_t>(ParseCount(words[1], kCaptureMaxSide)),
                 static_cast<std::int32_t>(ParseCount(words[2], kCaptureMaxSide))};
}

// Starts the display of this program's own and GTK on it; the reason when
// it cannot (never falling back to the user's display).
std::string OpenPrivateDisplay(TPrivateDisplay& display, int& argc, char**& argv) {
    try {
        TPrivateDisplayOptions options;
        options.Size = FirstViewSize();
        display.Start(options);
        display.UseForThisProcess();
    } catch (const std::exception& e) {
        return e.what();
    }
    if (!gtk_init_check(&argc, &argv))
        return "cannot open the private display " + display.Name();
    return {};
}

// What answers a request when no page can be captured; empty for none.
std::string FailureAnswer(const std::string& line, const std::string& reason) {
    const std::vector<std::string> words = SplitLine(line, 4);
    if (words.at(0) == "navigate") {
        const std::vector<std::string> request = SplitLine(line, 2);
        const std::string url = request.size() > 1 ? UnescapeLineText(request[1]) : "";
        return FailedAnswer(url, TPageFailure{TPageFailureKind::pfOther, 0, reason});
    }
    const bool step = words[0] == "settle" || words[0] == "measure" || words[0] == "picture";
    if (step && words.size() >= 2 && ParseCount(words[1], 0xFFFFFFFF) > 0)
        return StepFailedAnswer(static_cast<std::uint32_t>(ParseCount(words[1], 0xFFFFFFFF)),
                                reason);
    return {};
}

// Fails every page and step with reason until the channel ends.
int AnswerFailures(const std::string& reason) {
    std::fprintf(stderr, "lumenary-capture: %s\n", reason.c_str());
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(gChannel, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 1;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string answer = FailureAnswer(pending.substr(0, end), reason);
            pending.erase(0, end + 1);
            if (!answer.empty())
                Answer(answer);
        }
    }
}

// Whether a process this one started, other than except, still runs.
bool ChildrenRun(pid_t except) {
    const std::string self = std::to_string(::getpid());
    GDir* proc = g_dir_open("/proc", 0, nullptr);
    bool found = false;
    while (const char* name = !found && proc ? g_dir_read_name(proc) : nullptr) {
        gchar* stat = nullptr;
        if (std::atol(name) <= 0 || std::atol(name) == except ||
            !g_file_get_contents((std::string("/proc/") + name + "/stat").c_str(), &stat, nullptr,
                                 nullptr))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const char* end = std::strrchr(stat, ')');
        char state = 0;
        long parent = 0;
        found = end && std::sscanf(end + 1, " %c %ld", &state, &parent) == 2 && state != 'Z' &&
                std::to_string(parent) == self;
        g_free(stat);
    }
    if (proc)
        g_dir_close(proc);
    return found;
}

// WebKit ends its processes a moment after their view and context are gone.
// The display goes only after them (up to 3 s): a page process still
// starting would otherwise find it gone and say so.
void WaitForEngineProcesses(pid_t display) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (ChildrenRun(display) && std::chrono::steady_clock::now() < end) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(20000);
    }
}

// Runs the capture server until the end of the channel or SIGTERM.
int Serve() {
    std::unique_ptr<TCaptureServer> server;
    try {
        server = std::make_unique<TCaptureServer>();
    } catch (const std::exception& e) {
        return AnswerFailures(e.what());  // the page sandbox cannot start
    }
    // Only now: SIGTERM ends the loop, which answering failures does not run.
    InstallQuitSignals();
    TInput input{server.get(), {}, false};
    const guint watch = g_unix_fd_add(
        gChannel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), &OnInput, &input);
    RunMainLoop();
    if (!input.Closed)
        g_source_remove(watch);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything can start a process: the channel is this program's alone.
    gChannel = ChannelOf(argc, argv);
    if (gChannel < 0 || ::fcntl(gChannel, F_SETFD, FD_CLOEXEC) != 0) {
        std::fprintf(stderr, "lumenary-capture: runs only as lumenary's capture program\n");
        return 2;
    }
    // Ends with lumenary however lumenary ends (killed, too): an engine
    // stuck in a page would otherwise never see the channel close.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 1;
    std::setlocale(LC_ALL, "");
    ::signal(SIGPIPE, SIG_IGN);
    // Before GTK or WebKit ask GLib for the cache folder.
    UsePrivateEngineCache();
    // What engine programs that were killed left in the runtime folder.
    RemoveSandboxLeftovers(g_get_user_runtime_dir(), 0);
    RemovePrivateDisplayLeftovers(PrivateDisplayBase(), 0);
    int code = 1;
    {
        TPrivateDisplay display;
        const std::string failure = OpenPrivateDisplay(display, argc, argv);
        try {
            code = failure.empty() ? Serve() : AnswerFailures(failure);
            WaitForEngineProcesses(display.ServerPid());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "lumenary-capture: %s\n", e.what());
        }
    }
    RemoveSandboxLeftovers(g_get_user_runtime_dir(), ::getpid());
    RemovePrivateDisplayLeftovers(PrivateDisplayBase(), 0);
    return code;
}
