// What the web view's tests share: the test server, a view whose document
// events are recorded, and waits on the real GLib main loop that each end
// within a bound, so a step that never ends fails its test instead of hanging.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "engine/WebKitTestServer.h"
#include "engine/WebKitWebView.h"

namespace lum {

using namespace std::chrono_literals;

// Runs the main loop until done() holds or limit has passed.
inline bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    const guint tick = g_timeout_add(
        20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done() && std::chrono::steady_clock::now() < end)
        g_main_context_iteration(nullptr, TRUE);
    g_source_remove(tick);
    return done();
}

// Live (not yet reaped) processes descended from this one whose name starts
// with prefix: WebKit's helpers, the page processes inside their sandbox.
inline std::vector<int> Descendants(const std::string& prefix) {
    struct TProc {
        long Parent = 0;
        std::string Name, State;
    };
    std::map<long, TProc> procs;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        long pid = 0;
        TProc p;
        if (stat >> pid >> p.Name >> p.State >> p.Parent)
            procs[pid] = p;
    }
    if (proc)
        closedir(proc);
    std::vector<int> found;
    for (const auto& [pid, p] : procs) {
        if (p.State == "Z" || p.Name.rfind("(" + prefix, 0) != 0)
            continue;
        for (long up = p.Parent; up > 1 && procs.count(up); up = procs[up].Parent) {
            if (up == getpid()) {
                found.push_back(static_cast<int>(pid));
                break;
            }
        }
    }
    return found;
}

struct TLoaded {
    bool Failed = false;
    std::string Url;
    std::string Message;
    TPageFailureKind Kind = TPageFailureKind::pfOther;
    int Status = 0;
    int Events = 0;
};

class TWebKitRig : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display"; }

    void MakeView(const TWebKitLimits& limits = {}) {
        AdoptView(std::make_unique<TWebKitWebView>(limits));
    }

    // Any web view, its document events recorded in FLoaded.
    void AdoptView(std::unique_ptr<IWebView> view) {
        FView = std::move(view);
        FView->OnDocumentComplete = [this](const std::string& url) {
            ++FLoaded.Events;
            FLoaded.Failed = false;
            FLoaded.Url = url;
        };
        FView->OnDocumentFailed = [this](const std::string& url, const TPageFailure& failure) {
            ++FLoaded.Events;
            FLoaded.Failed = true;
            FLoaded.Url = url;
            FLoaded.Message = failure.Detail;
            FLoaded.Kind = failure.Kind;
            FLoaded.Status = failure.Status;
        };
    }

    // Navigates and waits for the document event (or 30 s).
    TLoaded Load(const std::string& url) {
        if (!FView)
            MakeView();
        FLoaded = {};
        FView->Navigate(url);
        EXPECT_TRUE(RunUntil([this] { return FLoaded.Events > 0; }, 30s)) << url;
        return FLoaded;
    }

    // Lets the page settle: whether it did (false: taken at the limit), or
    // nothing when the step failed (a test failure unless mayFail).
    std::optional<bool> Settle(bool mayFail = false) {
        FStepFailure.clear();
        std::optional<bool> settled;
        bool ended = false;
        FView->SettlePage(
            [&](bool s) {
                settled = s;
                ended = true;
            },
            [&, mayFail](const std::string& message) {
                if (!mayFail)
                    ADD_FAILURE() << "settling failed: " << message;
                FStepFailure = message;
                ended = true;
            });
        EXPECT_TRUE(RunUntil([&] { return ended; }, 60s));
        return settled;
    }

    // Measures the page; a failure is a test failure unless mayFail, and its
    // message is kept in FStepFailure.
    std::optional<TSize> Measure(bool mayFail = false) {
        FStepFailure.clear();
        std::optional<TSize> size;
        bool ended = false;
        FView->MeasurePage(
            [&](TSize s) {
                size = s;
                ended = true;
            },
            [&, mayFail](const std::string& message) {
                if (!mayFail)
                    ADD_FAILURE() << "measuring failed: " << message;
                FStepFailure = message;
                ended = true;
            });
        EXPECT_TRUE(RunUntil([&] { return ended; }, 30s));
        return size;
    }

    TPageBitmap Picture(const TSize& size, bool mayFail = false) {
        FStepFailure.clear();
        TPageBitmap copy;
        bool ended = false;
        FView->TakePicture(
            size,
            [&](const TPageBitmap& picture) {
                copy = picture;
                ended = true;
            },
            [&, mayFail](const std::string& message) {
                if (!mayFail)
                    ADD_FAILURE() << "picture failed: " << message;
                FStepFailure = message;
                ended = true;
            });
        EXPECT_TRUE(RunUntil([&] { return ended; }, 60s));
        return copy;
    }

    std::string Page(const std::string& name) const { return FServer.Url("/pages/" + name); }
    // A page of the test server with the given body (path: "/html" or "/keyed").
    std::string HtmlPage(const std::string& body, const std::string& path = "/html") const {
        gchar* escaped = g_uri_escape_string(body.c_str(), nullptr, FALSE);
        const std::string url = FServer.Url(path + "?body=" + escaped);
        g_free(escaped);
        return url;
    }
    // A page with a red box (id "box", 200 x 200 at the top left) and body.
    std::string BoxPage(const std::string& body) const {
        return HtmlPage(
            "<style>body{margin:0}</style>"
            "<div id='box' style='width:200px;height:200px;background:#ff0000'></div>" +
            body);
    }

    TWebKitTestServer FServer;
    std::unique_ptr<IWebView> FView;
    TLoaded FLoaded;
    std::string FStepFailure;
};

}  // namespace lum
