// The web view's scroll-through: a settled page is scrolled through one view
// at a time, as a person reading it would scroll, so that what it loads as it
// comes into view (lazy images, the next stories) is in the picture; then it
// goes back to its top and settles once more. Bounded in views, in height
// (the height cap: an endless feed stops there) and in time.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "engine/WebKitSteps.h"
#include "engine/WebKitWebView.h"

namespace lum {

namespace {

// The scroll-through's bounds (platform/WebView.h).
constexpr std::chrono::milliseconds kViewTime{kScrollViewLimitMs};
constexpr std::chrono::milliseconds kViewQuiet{kScrollViewQuietMs};
constexpr std::chrono::milliseconds kTopTime{kScrollTopLimitMs};

// In the page's world, so that its scroll handlers run as for a person:
// scrolls to y and answers "<scroll y> <view height> <page height>".
std::string ScrollScript(int y) {
    return "(function () {"
           "  scrollTo(0, " +
           std::to_string(y) +
           ");"
           "  var d = document.documentElement, b = document.body;"
           "  var h = Math.max(d ? d.scrollHeight : 0, b ? b.scrollHeight : 0);"
           "  return Math.round(scrollY) + ' ' + innerHeight + ' ' + h;"
           "})()";
}

bool ReadScroll(GObject* source, GAsyncResult* result, int& at, int& view, int& height) {
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
    if (!value)
        return false;
    gchar* text = jsc_value_to_string(value);
    char rest = 0;
    const bool read = text && std::sscanf(text, "%d %d %d%c", &at, &view, &height, &rest) == 3;
    g_free(text);
    g_object_unref(value);
    return read && view > 0;
}

}  // namespace

struct TWebKitWebView::TScroll {
    bool Settled = false;
    std::function<void(bool settled)> Done;
    TStepFailed Failed;
    std::chrono::steady_clock::time_point Deadline;
    int Views = 0;
};

void TWebKitWebView::ScrollThrough(bool settled,
                                   std::function<void(bool settled)> done,
                                   TStepFailed failed) {
    auto scroll = std::make_shared<TScroll>();
    scroll->Settled = settled;
    scroll->Done = std::move(done);
    scroll->Failed = std::move(failed);
    scroll->Deadline = std::chrono::steady_clock::now() + FLimits.Settle;
    ScrollView(std::move(scroll), 0);
}

// Scrolls to y; from there on, the next view once this one is quiet (or has
// had its time), until the page's end, the height cap, the number of views or
// the time is reached.
void TWebKitWebView::ScrollView(std::shared_ptr<TScroll> scroll, int y) {
    auto finish = [this, scroll, y](GObject* source, GAsyncResult* result) {
        int at = 0, view = 0, height = 0;
        if (!ReadScroll(source, result, at, view, height))
            return scroll->Done(scroll->Settled);  // no document to scroll: as it stands
        // The end: the page's, the rows a picture of the view's width may
        // hold, or where the page does not scroll on (a page that scrolls a
        // box of its own instead).
        const int end = std::min(height, PictureHeightCap(FViewSize.Width));
        const auto now = std::chrono::steady_clock::now();
        if (y == 0 && at + view >= end)
            return scroll->Done(scroll->Settled);  // one view holds it: nothing to scroll
        const bool last = at + view >= end || at < y || ++scroll->Views >= kScrollViews ||
                          now >= scroll->Deadline;
        const int next = at + view;
        // What came into view has its time, the last view's too.
        PollSettled(std::min(now + kViewTime, scroll->Deadline), SettleProbe(kViewQuiet),
                    [this, scroll, next, last](bool) {
                        if (last)
                            ScrollBackToTop(scroll);
                        else
                            ScrollView(scroll, next);
                    },
                    scroll->Failed);
    };
    RunScript(ScrollScript(y), FLimits.Script, "scrolling the page", scroll->Failed,
              std::move(finish), nullptr);
}

void TWebKitWebView::ScrollBackToTop(std::shared_ptr<TScroll> scroll) {
    auto finish = [this, scroll](GObject*, GAsyncResult*) {
        PollSettled(std::chrono::steady_clock::now() + kTopTime, SettleProbe(FLimits.Quiet),
                    [scroll](bool) { scroll->Done(scroll->Settled); }, scroll->Failed);
    };
    RunScript(ScrollScript(0), FLimits.Script, "scrolling the page", scroll->Failed,
              std::move(finish), nullptr);
}

}  // namespace lum
