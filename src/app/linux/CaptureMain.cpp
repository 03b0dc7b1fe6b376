// The capture program "lumenary-capture": runs the browser engine for
// lumenary in a process of its own, one pass at a time. It reads requests on
// standard input and writes answers (and pictures) on standard output, as the
// lines of the capture protocol say, and ends at the end of its input, on
// SIGTERM, or when its output is closed. Its own errors go to standard error.
#include <fcntl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "gtk/CaptureProtocol.h"
#include "gtk/GtkApplication.h"
#include "gtk/WebKitWebView.h"

namespace {

using namespace lum;
using namespace lum::gtk;

void WriteAll(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes, size);
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
        FView.OnDocumentComplete = [](const std::string& url) {
            Answer("complete " + EscapeLineText(url));
        };
        FView.OnDocumentFailed = [](const std::string& url, const TPageFailure& failure) {
            Answer("failed " + EscapeLineText(url) + "\t" + EscapeLineText(failure.Detail));
        };
    }

    void Handle(const std::string& line) {
        const std::vector<std::string> words = SplitLine(line, 4);
        const std::string& kind = words.at(0);
        try {
            if (kind == "navigate") {
                const std::vector<std::string> request = SplitLine(line, 2);
                Navigate(request.size() > 1 ? UnescapeLineText(request[1]) : std::string());
            } else if (kind == "size" && words.size() >= 3) {
                FView.SetViewSize(TSize{Number(words[1]), Number(words[2])});
            } else if (kind == "measure" && words.size() >= 2) {
                Measure(words[1]);
            } else if (kind == "picture" && words.size() >= 4) {
                Picture(words[1], TSize{Number(words[2]), Number(words[3])});
            } else {
                std::fprintf(stderr, "lumenary-capture: unknown request \"%s\"\n", line.c_str());
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "lumenary-capture: %s\n", e.what());
        }
    }

  private:
    static std::int32_t Number(const std::string& word) {
        return static_cast<std::int32_t>(ParseCount(word, 32767));
    }

    void Navigate(const std::string& url) {
        try {
            FView.Navigate(url);
        } catch (const std::exception& e) {
            Answer("failed " + EscapeLineText(url) + "\t" + EscapeLineText(e.what()));
        }
    }

    void Measure(const std::string& step) {
        try {
            FView.MeasurePage(
                [step](TSize size) {
                    Answer("measured " + step + " " + std::to_string(size.Width) + " " +
                           std::to_string(size.Height));
                },
                [step](const std::string& message) { Failed(step, message); });
        } catch (const std::exception& e) {
            Failed(step, e.what());
        }
    }

    void Picture(const std::string& step, const TSize& size) {
        try {
            FView.TakePicture(
                size,
                [step](const TPageBitmap& picture) {
                    Answer("picture " + step + " " + std::to_string(picture.Width()) + " " +
                           std::to_string(picture.Height()));
                    WriteAll(picture.Pixels(), std::size_t(picture.Width()) * picture.Height() * 4);
                },
                [step](const std::string& message) { Failed(step, message); });
        } catch (const std::exception& e) {
            Failed(step, e.what());
        }
    }

    static void Failed(const std::string& step, const std::string& message) {
        Answer("stepfailed " + step + " " + EscapeLineText(message));
    }

    TWebKitWebView FView;
};

struct TInput {
    TCaptureServer* Server = nullptr;
    std::string Pending;
    bool Closed = false;
};

gboolean OnInput(gint fd, GIOCondition, gpointer data) {
    auto* input = static_cast<TInput*>(data);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
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

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::signal(SIGPIPE, SIG_IGN);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "lumenary-capture: cannot open the X display\n");
        return 1;
    }
    InstallQuitSignals();
    int code = 0;
    try {
        TCaptureServer server;
        TInput input{&server, {}, false};
        ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
        const guint watch =
            g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                          &OnInput, &input);
        RunMainLoop();
        if (!input.Closed)
            g_source_remove(watch);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenary-capture: %s\n", e.what());
        code = 1;
    }
    return code;
}
