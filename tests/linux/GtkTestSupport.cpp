#include "linux/GtkTestSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Types.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

namespace lum::gtk::testing {

bool EnsureGtk() {
    static const bool ok = gtk_init_check(nullptr, nullptr);
    return ok;
}

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(2000);
    }
    return true;
}

void RunFor(int milliseconds) {
    RunUntil([] { return false; }, milliseconds);
}

std::uint32_t ReadPixel(std::uint64_t xid, int x, int y) {
    Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    XImage* image = XGetImage(display, static_cast<Window>(xid), x, y, 1, 1, AllPlanes, ZPixmap);
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
    if (!image)
        return 0xFFFFFFFFu;
    const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

TForeignWindowProcess::TForeignWindowProcess(int width, int height, std::uint32_t rgb) {
    int in[2];
    int out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0)
        return;
    FPid = ::fork();
    if (FPid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[1]);
        ::close(out[0]);
        char w[16], h[16], c[16];
        std::snprintf(w, sizeof w, "%d", width);
        std::snprintf(h, sizeof h, "%d", height);
        std::snprintf(c, sizeof c, "%06x", rgb);
        ::execl(LUM_FOREIGN_WINDOW, LUM_FOREIGN_WINDOW, w, h, c, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    FIn = in[1];
    FOut = out[0];
    char line[64] = {};
    std::size_t n = 0;
    while (n + 1 < sizeof line && ::read(FOut, line + n, 1) == 1 && line[n] != '\n')
        ++n;
    FId = std::strtoull(line, nullptr, 16);
}

TForeignWindowProcess::~TForeignWindowProcess() {
    Kill();
}

bool TForeignWindowProcess::Command(const std::string& line) {
    const std::string text = line + "\n";
    if (FIn < 0 || ::write(FIn, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return false;
    char answer[8] = {};
    std::size_t n = 0;
    while (n + 1 < sizeof answer && ::read(FOut, answer + n, 1) == 1 && answer[n] != '\n')
        ++n;
    return std::string(answer, n) == "done";
}

void TForeignWindowProcess::Kill() {
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
        FPid = -1;
    }
    if (FIn >= 0)
        ::close(FIn);
    if (FOut >= 0)
        ::close(FOut);
    FIn = FOut = -1;
}

namespace {
TFormWindowStyle TestStyle(bool mainWindow) {
    TFormWindowStyle style;
    style.ClassName = "TRecordingForm";
    style.Caption = "test";
    style.Bounds = TRect{0, 0, 200, 100};
    style.MainWindow = mainWindow;
    return style;
}
}  // namespace

TRecordingForm::TRecordingForm(IFormWindowFactory& factory, bool mainWindow)
    : TForm(nullptr, factory, TestStyle(mainWindow)) {
    WindowProc = [this](TMessage& message) {
        Messages.push_back(message);
        WndProc(message);
    };
}

int TRecordingForm::Count(std::uint32_t msg) const {
    int n = 0;
    for (const TMessage& m : Messages)
        n += m.Msg == msg ? 1 : 0;
    return n;
}

bool TRecordingForm::IsShortCut(const TMessage& message) {
    return ShortCutX && message.Msg == Msg::KeyDown && message.WParam == Vk::X;
}

}  // namespace lum::gtk::testing
