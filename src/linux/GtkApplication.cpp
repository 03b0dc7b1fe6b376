#include "linux/GtkApplication.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>

namespace lum::gtk {

namespace {

bool gQuitAsked = false;
std::function<void()>* gOnSignal = nullptr;

gboolean OnQuitSignal(gpointer) {
    Guarded([] {
        if (gOnSignal && *gOnSignal)
            (*gOnSignal)();
        else
            QuitMainLoop();
    });
    return G_SOURCE_CONTINUE;
}

void WriteToStderr(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.empty() ? "lumenary" : caption.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace

void ReportCallbackFailure(const char* what) noexcept {
    try {
        Application().ShowException(std::string(what));
        return;
    } catch (...) {
    }
    const char* program = g_get_prgname();
    std::fprintf(stderr, "%s: %s\n", program ? program : "lumenary", what);
    std::fflush(stderr);
}

void RunMainLoop() {
    if (!gQuitAsked)
        gtk_main();
    gQuitAsked = false;
}

void QuitMainLoop() {
    if (gtk_main_level() > 0)
        gtk_main_quit();
    else
        gQuitAsked = true;
}

void InstallQuitSignals(std::function<void()> onSignal) {
    static std::function<void()> handler;
    static bool installed = false;
    handler = std::move(onSignal);
    gOnSignal = &handler;
    if (installed)
        return;
    installed = true;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        g_unix_signal_add(signal, &OnQuitSignal, nullptr);
}

void TStandardErrorBoxes::MessageBeep(std::uint32_t) {}

bool TStandardErrorBoxes::ShowMessageBox(const TMessageBoxRequest& request) {
    WriteToStderr(request.Caption, request.Text);
    return false;
}

// What runs last may post once more (a page file's writer that ends as
// its form goes): the idle source that names this object goes after it.
TGtkApplicationPlatform::~TGtkApplicationPlatform() {
    RemoveIdle();
    RunDeferred();
    RemoveIdle();
}

void TGtkApplicationPlatform::RemoveIdle() {
    const std::lock_guard<std::mutex> lock(FLock);
    if (FIdle)
        g_source_remove(FIdle);
    FIdle = 0;
}

void TGtkApplicationPlatform::ShowErrorReport(const std::string& title,
                                              const std::string& message) {
    TMessageBoxRequest request;
    request.Text = message;
    request.Caption = title;
    request.Icon = MsgIcon::Hand;
    request.FirstButton = "OK";
    FBoxes.ShowMessageBox(request);
}

void TGtkApplicationPlatform::WriteLog(const std::string& line) {
    std::fprintf(stderr, "lumenary: %s\n", line.c_str());
    std::fflush(stderr);
}

// g_idle_add_full may be called from any thread: the source is attached to
// the main loop's context, which wakes up for it.
void TGtkApplicationPlatform::PostDeferred(std::function<void()> action) {
    FQueue.Push(std::move(action));
    const std::lock_guard<std::mutex> lock(FLock);
    if (!FIdle)
        FIdle = g_idle_add_full(G_PRIORITY_DEFAULT, &Idle, this, nullptr);
}

int TGtkApplicationPlatform::Idle(void* self) {
    auto* platform = static_cast<TGtkApplicationPlatform*>(self);
    {
        const std::lock_guard<std::mutex> lock(platform->FLock);
        platform->FIdle = 0;
    }
    Guarded([&] { platform->RunDeferred(); });
    return G_SOURCE_REMOVE;
}

void TGtkApplicationPlatform::RunDeferred() {
    // After the program's end there is no application left to report to:
    // the report then goes to standard error.
    FQueue.RunAll([](std::function<void()>& action) { Guarded([&] { action(); }); });
}

}  // namespace lum::gtk
