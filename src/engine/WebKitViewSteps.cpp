#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "engine/WebKitPicture.h"
#include "engine/WebKitSteps.h"
#include "engine/WebKitWebView.h"

namespace lum {

namespace {

// Measures the document once the page is laid out at the view's size
// (width, height: a resize reaches the page's process later; a zoomed page
// has the view's size divided by its zoom). First the body's scroll bars and
// border go, and the page is laid out again, so that no scroll bar takes room
// from it; then answer (TWebKitWebView::MeasureAnswer) measures it. Answers
// "wait <inner width> <inner height>" while the page has another size, or ""
// without a document.
std::string MeasureScript(const TSize& view, double zoom, const std::string& answer) {
    return "(function () {"
           "  var d = document.documentElement, b = document.body, z = " +
           std::to_string(zoom) +
           ";"
           "  if (!d && !b) return '';"
           "  if (Math.abs(innerWidth - " +
           std::to_string(view.Width) + " / z) >= 1 || Math.abs(innerHeight - " +
           std::to_string(view.Height) +
           " / z) >= 1)"
           "    return 'wait ' + window.innerWidth + ' ' + window.innerHeight;"
           "  if (b) {"
           "    b.style.overflow = 'hidden';"
           "    b.style.border = '0';"
           "    void b.offsetHeight;"
           "  }" +
           answer + "})()";
}

// WebKit draws a picture beyond the view as if the window were as large as
// the document, so an element fixed to the window's bottom would land at the
// document's end. A person sees the page's top with such elements where the
// window puts them: each fixed element is pinned there (absolute, at the size
// it has now and the place it has in the window, which the page's top is
// in) before a picture larger than the view.
constexpr const char* kPinFixedScript =
    "(function () {"
    "  var pinned = [];"
    "  var all = document.querySelectorAll('*');"
    "  for (var i = 0; i < all.length; i++) {"
    "    if (getComputedStyle(all[i]).position !== 'fixed') continue;"
    "    var r = all[i].getBoundingClientRect();"
    "    pinned.push([all[i], r]);"
    "  }"
    "  pinned.forEach(function (p) {"
    "    var s = p[0].style, r = p[1];"
    "    s.setProperty('position', 'absolute', 'important');"
    "    s.setProperty('box-sizing', 'border-box', 'important');"
    "    s.setProperty('width', r.width + 'px', 'important');"
    "    s.setProperty('height', r.height + 'px', 'important');"
    "    s.setProperty('right', 'auto', 'important');"
    "    s.setProperty('bottom', 'auto', 'important');"
    "    s.setProperty('top', r.top + 'px', 'important');"
    "    s.setProperty('left', r.left + 'px', 'important');"
    "  });"
    "  pinned.forEach(function (p) {"
    "    var s = p[0].style, r = p[1], now = p[0].getBoundingClientRect();"
    "    var top = now.top + scrollY, left = now.left + scrollX;"
    "    s.setProperty('top', (parseFloat(s.top) + r.top - top) + 'px', 'important');"
    "    s.setProperty('left', (parseFloat(s.left) + r.left - left) + 'px', 'important');"
    "  });"
    "  return pinned.length;"
    "})()";

// How often a page not yet at the view's size is asked again, and how much
// time at least an answer gets (a script that runs out of time ends the page's
// process as stuck, which a busy machine must not bring about).
constexpr std::chrono::milliseconds kLayoutPoll{15};
constexpr std::chrono::milliseconds kLeastAnswerTime{500};

}  // namespace

std::string TWebKitWebView::ScriptText(GObject* source, GAsyncResult* result, std::string& why) {
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    why = error ? error->message : "";
    g_clear_error(&error);
    if (!value)
        return "";
    gchar* raw = jsc_value_to_string(value);
    const std::string text = raw ? raw : "";
    g_free(raw);
    g_object_unref(value);
    return text;
}

// What the page's hide option selects goes before it is measured.
void TWebKitWebView::MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) {
    auto measure = [this, done = std::move(done), failed] {
        MeasureLaidOut(std::chrono::steady_clock::now() + FLimits.Script, done, failed);
    };
    if (FPage.Hide.empty())
        return measure();
    HideThen(std::move(measure), std::move(failed));
}

void TWebKitWebView::MeasureLaidOut(std::chrono::steady_clock::time_point deadline,
                                    TMeasured done,
                                    TStepFailed failed) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    auto finish = [this, deadline, done = std::move(done), failed](GObject* source,
                                                                   GAsyncResult* result) {
        std::string why;
        const std::string text = ScriptText(source, result, why);
        TSize size;
        char rest = 0;
        if (std::sscanf(text.c_str(), "wait %d %d%c", &size.Width, &size.Height, &rest) == 2) {
            if (std::chrono::steady_clock::now() + kLayoutPoll + kLeastAnswerTime < deadline)
                return FSteps->Post(
                    [this, deadline, done, failed] { MeasureLaidOut(deadline, done, failed); },
                    kLayoutPoll);
            if (failed)
                failed("the page was not laid out at the view's size " +
                       std::to_string(FViewSize.Width) + " x " + std::to_string(FViewSize.Height) +
                       " in time (it is " + std::to_string(size.Width) + " x " +
                       std::to_string(size.Height) + ")");
        } else if (std::string problem; ReadMeasured(text, size, problem)) {
            if (done)
                done(size);
        } else if (failed) {
            failed(!problem.empty() ? problem
                   : !why.empty()   ? "measuring the page failed: " + why
                                    : "the page has no document");
        }
    };
    RunScript(MeasureScript(FViewSize, Zoom(), MeasureAnswer()),
              std::max(left, std::chrono::milliseconds(1)), "measuring the page", std::move(failed),
              std::move(finish));
}

void TWebKitWebView::RunScript(const std::string& script,
                               std::chrono::milliseconds limit,
                               const std::string& what,
                               TStepFailed failed,
                               std::function<void(GObject*, GAsyncResult*)> finish,
                               const char* world) {
    // In a world of its own, so that the page's scripts cannot change what it
    // calls; the document it sees and changes is the page's.
    FSteps->Begin(limit, what, std::move(failed), std::move(finish),
                  [this, script, world](GCancellable* cancellable, GAsyncReadyCallback callback,
                                        gpointer data) {
                      webkit_web_view_evaluate_javascript(FView, script.c_str(), -1, world, nullptr,
                                                          cancellable, callback, data);
                  });
}

void TWebKitWebView::TakePicture(const TSize& size, TPictureDone done, TStepFailed failed) {
    // Only as large as a picture can be; the size is the caller's choice.
    if (size.Width < 0 || size.Height < 0 || size.Width > kBmpMaxSide || size.Height > kBmpMaxSide)
        throw Exception("cannot take a picture of " + std::to_string(size.Width) + " x " +
                        std::to_string(size.Height) + " pixels");
    // A crop's box is cut from the whole page's picture, which needs the
    // fixed elements pinned too unless the box is within the first view.
    const TPoint origin = PictureOrigin();
    if (origin.X + size.Width <= FViewSize.Width && origin.Y + size.Height <= FViewSize.Height)
        return Snapshot(size, std::move(done), std::move(failed), false);
    RunScript(kPinFixedScript, FLimits.Script, "pinning the fixed elements", failed,
              SnapshotAfter(size, std::move(done), failed, false));
}

void TWebKitWebView::Snapshot(const TSize& size, TPictureDone done, TStepFailed failed, bool cut) {
    auto finish = [this, size, done = std::move(done), failed, cut](GObject* source,
                                                                    GAsyncResult* result) {
        GError* error = nullptr;
        cairo_surface_t* snapshot =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, &error);
        const std::string why = error ? error->message : "no picture";
        g_clear_error(&error);
        if (!snapshot && !cut)
            return CutAndSnapshot(size, done, failed);
        if (!snapshot) {
            if (failed)
                failed("drawing the page failed: " + why);
            return;
        }
        TPageBitmap picture;
        std::string problem;
        try {
            PictureFromSnapshot(snapshot, size, picture, PictureOrigin());
        } catch (const std::exception& e) {
            // No memory for the picture included: nothing may leave a GLib
            // callback, and the page fails with the reason.
            problem = e.what();
        }
        cairo_surface_destroy(snapshot);
        if (!problem.empty()) {
            if (failed)
                failed(problem);
        } else if (done) {
            done(picture);
        }
    };
    FSteps->Begin(FLimits.Snapshot, "drawing the page", failed, std::move(finish),
                  [this](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
                      webkit_web_view_get_snapshot(FView, WEBKIT_SNAPSHOT_REGION_FULL_DOCUMENT,
                                                   WEBKIT_SNAPSHOT_OPTIONS_NONE, cancellable,
                                                   callback, data);
                  });
}

void TWebKitWebView::CutAndSnapshot(const TSize& size, TPictureDone done, TStepFailed failed) {
    // WebKit draws no document larger than 32767 pixels: cut a giant page to
    // the picture's height (the right part of a page that is also wider than
    // the view is lost) and try once more. The page's CSS pixels are the
    // view's divided by its zoom.
    const int height =
        static_cast<int>(std::ceil((PictureOrigin().Y + std::int64_t(size.Height)) / Zoom()));
    const std::string script =
        "(function () {"
        "  var s = document.documentElement && document.documentElement.style;"
        "  if (!s) return;"
        "  s.setProperty('height', '" +
        std::to_string(height) +
        "px', 'important');"
        "  s.setProperty('contain', 'strict', 'important');"
        "  s.setProperty('overflow', 'hidden', 'important');"
        "  return document.documentElement.offsetHeight;"  // lays the page out now
        "})()";
    RunScript(script, FLimits.Script, "cutting the page", failed,
              SnapshotAfter(size, std::move(done), failed, true));
}

// Once a script of ours has made the page ready for its picture: the picture,
// or the step's failure with the script's reason.
std::function<void(GObject*, GAsyncResult*)> TWebKitWebView::SnapshotAfter(const TSize& size,
                                                                           TPictureDone done,
                                                                           TStepFailed failed,
                                                                           bool cut) {
    return [this, size, done = std::move(done), failed = std::move(failed), cut](
               GObject* source, GAsyncResult* result) {
        std::string why;
        ScriptText(source, result, why);
        if (!why.empty()) {
            if (failed)
                failed("drawing the page failed: " + why);
            return;
        }
        Snapshot(size, done, failed, cut);
    };
}

}  // namespace lum
