#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <string>
#include <utility>

#include "gtk/WebKitPicture.h"
#include "gtk/WebKitSteps.h"
#include "gtk/WebKitWebView.h"

namespace lum {

void TWebKitWebView::MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) {
    // Run in a world of its own, so that the page's scripts cannot change
    // what it calls; the document it sees and changes is the page's.
    static const char kScript[] =
        "(function () {"
        "  var e = document.body || document.documentElement;"
        "  if (!e) return '';"
        "  var size = e.scrollWidth + ' ' + e.scrollHeight;"
        "  if (document.body) {"
        "    document.body.style.overflow = 'hidden';"
        "    document.body.style.border = '0';"
        "    void document.body.offsetHeight;"  // lays the page out now
        "  }"
        "  return size;"
        "})()";
    auto finish = [done = std::move(done), failed](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        std::string text;
        if (value) {
            gchar* raw = jsc_value_to_string(value);
            text = raw ? raw : "";
            g_free(raw);
            g_object_unref(value);
        }
        const std::string why = error ? error->message : "";
        g_clear_error(&error);
        TSize size;
        char rest = 0;
        if (std::sscanf(text.c_str(), "%d %d%c", &size.Width, &size.Height, &rest) == 2 &&
            size.Width >= 0 && size.Height >= 0) {
            if (done)
                done(size);
        } else if (failed) {
            failed(!why.empty() ? "measuring the page failed: " + why : "the page has no document");
        }
    };
    FSteps->Begin(FLimits.Script, "measuring the page", failed, std::move(finish),
                  [this](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
                      webkit_web_view_evaluate_javascript(FView, kScript, -1, "lumenary", nullptr,
                                                          cancellable, callback, data);
                  });
}

void TWebKitWebView::TakePicture(const TSize& size, TPictureDone done, TStepFailed failed) {
    // Only as large as a picture can be; the size is the caller's choice.
    if (size.Width < 0 || size.Height < 0 || size.Width > kBmpMaxSide || size.Height > kBmpMaxSide)
        throw Exception("cannot take a picture of " + std::to_string(size.Width) + " x " +
                        std::to_string(size.Height) + " pixels");
    Snapshot(size, std::move(done), std::move(failed), false);
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
            PictureFromSnapshot(snapshot, size, picture);
        } catch (const Exception& e) {
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
    // the view is lost) and try once more.
    const std::string script =
        "(function () {"
        "  var s = document.documentElement && document.documentElement.style;"
        "  if (!s) return;"
        "  s.setProperty('height', '" +
        std::to_string(size.Height) +
        "px', 'important');"
        "  s.setProperty('contain', 'strict', 'important');"
        "  s.setProperty('overflow', 'hidden', 'important');"
        "  return document.documentElement.offsetHeight;"  // lays the page out now
        "})()";
    auto finish = [this, size, done = std::move(done), failed](GObject* source,
                                                               GAsyncResult* result) {
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (value)
            g_object_unref(value);
        const std::string why = error ? error->message : "";
        g_clear_error(&error);
        if (!why.empty()) {
            if (failed)
                failed("drawing the page failed: " + why);
            return;
        }
        Snapshot(size, done, failed, true);
    };
    FSteps->Begin(
        FLimits.Script, "cutting the page", failed, std::move(finish),
        [this, script](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            webkit_web_view_evaluate_javascript(FView, script.c_str(), -1, "lumenary", nullptr,
                                                cancellable, callback, data);
        });
}

}  // namespace lum
