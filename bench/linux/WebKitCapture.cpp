// Captures web pages the way a capture pass does, with one long-lived
// off-screen web view: "about:blank" first, then each URL loaded at the view
// size, measured, drawn at its scroll size plus a 16 px margin and saved as a
// 32-bit BMP file. Prints one line per capture: URL, milliseconds from
// navigation to the saved file, picture size, milliseconds to the picture in
// memory. Exits 1 when a page fails, 2 when the view cannot be made (the page
// sandbox cannot start).
//
// With --resize the view takes the picture's size before drawing (and the
// first size again before the next page). With --settle each page settles
// first, as in the program (the time then includes the settling). With --memory it samples the
// proportional set size (PSS) of itself and its helper processes while
// capturing, and again once the view is destroyed.
//
//   lum_webkit_capture [--repeat N] [--out DIR] [--resize] [--settle] [--memory] URL...
#include <gtk/gtk.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "engine/WebKitWebView.h"
#include "linux/PosixFileSystem.h"

namespace {

using TClock = std::chrono::steady_clock;

// Writes the picture as the program does: the core's BMP writer through the
// Linux file system (temporary name, then rename).
bool SavePicture(const lum::TPageBitmap& picture, const std::string& path) {
    lum::gtk::TPosixFileSystem files;
    const std::unique_ptr<lum::IFileWriter> writer = files.CreateReplacing(path);
    return writer && lum::WriteBmp(*writer, picture) && writer->Commit();
}

// Proportional set size (PSS) and anonymous memory (heap, stacks: what is
// not a mapped file) in kB of one process; 0 when it is gone.
struct TSetSize {
    long Pss = 0;
    long Anonymous = 0;
};

TSetSize ProcessSize(const std::string& pid) {
    std::ifstream rollup("/proc/" + pid + "/smaps_rollup");
    TSetSize size;
    std::string line;
    char key[64];
    long kb = 0;
    while (std::getline(rollup, line)) {
        if (std::sscanf(line.c_str(), "%63s %ld", key, &kb) != 2)
            continue;
        if (!std::strcmp(key, "Pss:"))
            size.Pss = kb;
        else if (!std::strcmp(key, "Anonymous:"))
            size.Anonymous += kb;
    }
    return size;
}

// This process's sizes and its children's (the page and network processes),
// and how many children live.
struct TMemory {
    TSetSize Own;
    TSetSize Helpers;
    int Children = 0;
    long Total() const { return Own.Pss + Helpers.Pss; }
};

// The parent of every live process.
std::map<long, long> Parents() {
    std::map<long, long> parents;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string name, state;
        long pid = 0, parent = 0;
        if (stat >> pid >> name >> state >> parent && state != "Z")
            parents[pid] = parent;
    }
    if (proc)
        closedir(proc);
    return parents;
}

// Every process below this one counts: the page processes run in their
// sandbox, below bubblewrap's.
TMemory SampleMemory() {
    TMemory memory{ProcessSize("self"), {}, 0};
    const std::map<long, long> parents = Parents();
    for (const auto& [pid, parent] : parents) {
        long up = parent;
        while (up > 1 && up != getpid() && parents.count(up))
            up = parents.at(up);
        if (up != getpid())
            continue;
        const TSetSize child = ProcessSize(std::to_string(pid));
        memory.Helpers.Pss += child.Pss;
        memory.Helpers.Anonymous += child.Anonymous;
        ++memory.Children;
    }
    return memory;
}

void PrintMemory(const char* when, const TMemory& m) {
    std::printf(
        "memory %s: %.0f MB PSS in all; capture process %.0f MB PSS (%.0f MB anonymous), "
        "%d helper processes %.0f MB PSS (%.0f MB anonymous)\n",
        when, m.Total() / 1024.0, m.Own.Pss / 1024.0, m.Own.Anonymous / 1024.0, m.Children,
        m.Helpers.Pss / 1024.0, m.Helpers.Anonymous / 1024.0);
}

struct TRun {
    std::vector<std::string> Urls;
    std::string Out = "/tmp";
    std::size_t Next = 0;
    int Saved = 0;
    bool Failed = false;
    bool Done = false;
    bool Resize = false;
    bool Settle = false;
    bool Memory = false;
    TMemory Peak;
    // Keeps the larger of the peak and now.
    void Sample() {
        const TMemory now = SampleMemory();
        if (now.Total() > Peak.Total())
            Peak = now;
    }
    TClock::time_point Start;
    lum::TWebKitWebView* View = nullptr;
};

double MsSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

void NextPage(TRun& run) {
    if (run.Next == run.Urls.size()) {
        run.Done = true;
        return;
    }
    run.Start = TClock::now();
    if (run.Resize)
        run.View->SetViewSize({1024, 768});
    run.View->Navigate(run.Urls[run.Next++]);
}

void Fail(TRun& run, const std::string& url, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", url.c_str(), message.c_str());
    run.Failed = true;
    NextPage(run);
}

void MeasureAndDraw(TRun& run, const std::string& url) {
    run.View->MeasurePage(
        [&run, url](lum::TSize scroll) {
            const lum::TSize size{scroll.Width + 16, scroll.Height + 16};
            if (run.Resize)
                run.View->SetViewSize(size);
            run.View->TakePicture(
                size,
                [&run, url](const lum::TPageBitmap& picture) {
                    const double inHand = MsSince(run.Start);
                    if (run.Memory)
                        run.Sample();  // with the picture in memory
                    const std::string path =
                        run.Out + "/capture" + std::to_string(run.Saved++) + ".bmp";
                    if (!SavePicture(picture, path))
                        return Fail(run, url, "cannot write " + path);
                    std::printf("%s\t%.1f\t%dx%d\t%.1f\n", url.c_str(), MsSince(run.Start),
                                picture.Width(), picture.Height(), inHand);
                    std::fflush(stdout);
                    NextPage(run);
                },
                [&run, url](const std::string& m) { Fail(run, url, m); });
        },
        [&run, url](const std::string& m) { Fail(run, url, m); });
}

void Capture(TRun& run, const std::string& url) {
    if (!run.Settle)
        return MeasureAndDraw(run, url);
    run.View->SettlePage([&run, url](bool) { MeasureAndDraw(run, url); },
                         [&run, url](const std::string& m) { Fail(run, url, m); });
}

// Reads the options; the URLs, repeat times, go to run.
void ReadArguments(int argc, char** argv, TRun& run) {
    int repeat = 1;
    std::vector<std::string> urls;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--memory"))
            run.Memory = true;
        else if (!std::strcmp(argv[i], "--resize"))
            run.Resize = true;
        else if (!std::strcmp(argv[i], "--settle"))
            run.Settle = true;
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            run.Out = argv[++i];
        else
            urls.push_back(argv[i]);
    }
    for (int r = 0; r < repeat; ++r)
        run.Urls.insert(run.Urls.end(), urls.begin(), urls.end());
}

void Connect(lum::TWebKitWebView& view, TRun& run) {
    run.View = &view;
    view.OnDocumentComplete = [&run](const std::string& url) {
        if (url != "about:blank")
            return Capture(run, url);
        // The helper processes start with the first page of a pass.
        std::printf("about:blank\t%.1f\t-\t-\n", MsSince(run.Start));
        NextPage(run);
    };
    view.OnDocumentFailed = [&run](const std::string& url, const lum::TPageFailure& failure) {
        Fail(run, url, failure.Detail);
    };
}

// Destroys the view and waits (5 s at most) for its helper processes to end.
void ReleaseView(std::unique_ptr<lum::TWebKitWebView>& view) {
    view.reset();
    const auto end = TClock::now() + std::chrono::seconds(5);
    while (SampleMemory().Children > 0 && TClock::now() < end) {
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(10000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    TRun run;
    ReadArguments(argc, argv, run);
    if (run.Memory)
        PrintMemory("before the view is made", SampleMemory());
    std::unique_ptr<lum::TWebKitWebView> view;
    try {
        view = std::make_unique<lum::TWebKitWebView>();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lum_webkit_capture: %s\n", e.what());
        return 2;
    }
    Connect(*view, run);
    const guint sampler = !run.Memory ? 0
                                      : g_timeout_add(
                                            20,
                                            [](gpointer data) -> gboolean {
                                                static_cast<TRun*>(data)->Sample();
                                                return G_SOURCE_CONTINUE;
                                            },
                                            &run);
    run.Start = TClock::now();
    view->Navigate("about:blank");
    while (!run.Done)
        g_main_context_iteration(nullptr, TRUE);
    if (run.Memory) {
        g_source_remove(sampler);
        PrintMemory("peak while capturing", run.Peak);
        ReleaseView(view);
        PrintMemory("after the view is destroyed", SampleMemory());
    }
    return run.Failed ? 1 : 0;
}
