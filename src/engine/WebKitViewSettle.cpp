// The web view's settle step: a watch that every page gets at its start, in
// the page's own world (only there can it see the timers and requests of the
// page's scripts), and the polls that ask it whether the page is quiet.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <string>
#include <utility>

#include "engine/WebKitSteps.h"
#include "engine/WebKitWebView.h"

namespace lum {

namespace {

// How often a page that is not quiet yet is asked again.
constexpr std::chrono::milliseconds kSettlePoll{100};

// Notes the time of every change of the document, counts the requests of
// the page's scripts in flight and their timers due within the settle limit
// (a longer one is not waited for), notes a page that is being left (a
// script's redirect) or will move on to another address by a refresh due
// within the limit (one that only reloads the page is not waited for), and
// answers the question of
// window.__lumenarySettle(quiet ms): "quiet", or what the page is still busy
// with.
// The page cannot replace the answer, only make its own picture wait, at
// most until the settle limit.
std::string SettleWatchScript(const TWebKitLimits& limits) {
    return "(function () {"
           "  if (window.__lumenarySettle) return;"
           "  var limit = " +
           std::to_string(limits.Settle.count()) +
           ";"
           "  var quiet = " +
           std::to_string(limits.Quiet.count()) +
           ";"
           "  var now = function () { return performance.now(); };"
           "  var last = now(), requests = 0, timers = new Set();"
           "  var changed = function () { last = now(); };"
           "  try {"
           "    new MutationObserver(changed).observe(document, {childList: true, subtree: true,"
           "      attributes: true, characterData: true});"
           "  } catch (e) {}"
           // Scrolling the page counts as a change, so that what comes into
           // view (an IntersectionObserver's lazy image) has its time.
           "  addEventListener('scroll', function (e) {"
           "    if (e.target === document) changed();"
           "  }, {capture: true, passive: true});"
           "  var setTimer = window.setTimeout, clearTimer = window.clearTimeout;"
           "  window.setTimeout = function (f, delay) {"
           "    var ms = +delay || 0;"
           "    if (typeof f !== 'function' || ms > limit)"
           "      return setTimer.apply(window, arguments);"
           "    var args = Array.prototype.slice.call(arguments, 2), id;"
           "    id = setTimer.call(window, function () {"
           "      timers.delete(id); changed(); return f.apply(window, args);"
           "    }, ms);"
           "    timers.add(id);"
           "    return id;"
           "  };"
           "  window.clearTimeout = function (id) {"
           "    timers.delete(id);"
           "    return clearTimer.call(window, id);"
           "  };"
           "  var ended = function () { requests--; changed(); };"
           "  var fetchOf = window.fetch;"
           "  if (fetchOf) window.fetch = function () {"
           "    requests++;"
           "    try { var p = fetchOf.apply(this, arguments); } catch (e) { ended(); throw e; }"
           "    p.then(ended, ended);"
           "    return p;"
           "  };"
           "  var send = XMLHttpRequest.prototype.send;"
           "  XMLHttpRequest.prototype.send = function () {"
           "    var open = true;"
           "    var end = function () { if (open) { open = false; ended(); } };"
           "    requests++;"
           "    this.addEventListener('loadend', end);"
           "    try { return send.apply(this, arguments); } catch (e) { end(); throw e; }"
           "  };"
           "  var inView = function (e) {"
           "    var r = e.getBoundingClientRect();"
           "    return r.bottom > 0 && r.right > 0 && r.top < innerHeight && r.left < innerWidth;"
           "  };"
           "  var leaving = false;"
           "  addEventListener('beforeunload', function () { leaving = true; }, true);"
           "  var here = function () { return location.href.split('#')[0]; };"
           "  var refreshing = function () {"
           "    var m = document.querySelector('meta[http-equiv=\"refresh\" i]');"
           "    var c = m && (m.getAttribute('content') || '');"
           "    var at = c ? c.search(/[;,]\\s*(url\\s*=\\s*)?/i) : -1;"
           "    if (at < 0 || parseFloat(c) * 1000 > limit) return false;"
           "    var to = c.slice(at).replace(/^[;,]\\s*(url\\s*=\\s*)?/i, '')"
           "      .replace(/^['\"]|['\"]$/g, '');"
           "    try { return new URL(to, location.href).href.split('#')[0] !== here(); }"
           "    catch (e) { return false; }"
           "  };"
           "  var busy = function (wait) {"
           "    if (leaving) return 'leaving';"
           "    if (document.readyState !== 'complete') return 'loading';"
           "    if (refreshing()) return 'redirect';"
           "    if (document.fonts && document.fonts.status !== 'loaded') return 'fonts';"
           "    if (requests > 0) return 'requests';"
           "    if (timers.size > 0) return 'timers';"
           "    for (var i = 0; i < document.images.length; i++) {"
           "      var image = document.images[i];"
           "      if (!image.complete && (image.loading !== 'lazy' || inView(image)))"
           "        return 'images';"
           "    }"
           "    return now() - last < wait ? 'changing' : '';"
           "  };"
           "  Object.defineProperty(window, '__lumenarySettle', {"
           "    value: function (q) { return busy(q >= 0 ? q : quiet) || 'quiet'; }"
           "  });"
           "})();";
}

bool AnswersQuiet(GObject* source, GAsyncResult* result) {
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
    if (!value)
        return false;  // no document to ask (it is being replaced): not quiet
    gchar* text = jsc_value_to_string(value);
    const bool quiet = text && std::string(text) == "quiet";
    g_free(text);
    g_object_unref(value);
    return quiet;
}

}  // namespace

// A document without the watch (one that is not a web page: an image, a
// text) is quiet once it is loaded.
std::string TWebKitWebView::SettleProbe(std::chrono::milliseconds quiet) {
    return "window.__lumenarySettle ? window.__lumenarySettle(" + std::to_string(quiet.count()) +
           ") : (document.readyState === 'complete' ? 'quiet' : 'loading')";
}

WebKitUserContentManager* TWebKitWebView::NewSettleWatch(const TWebKitLimits& limits) {
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    WebKitUserScript* watch = webkit_user_script_new(
        SettleWatchScript(limits).c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, watch);
    webkit_user_script_unref(watch);
    return manager;
}

// Settled, the page is scrolled through (WebKitViewScroll.cpp) for what it
// loads as it comes into view; then it has its own wait, if it asks for one.
void TWebKitWebView::SettlePage(std::function<void(bool settled)> done, TStepFailed failed) {
    if (FPage.WaitSeconds > 0) {
        done = [this, done = std::move(done), wait = std::chrono::seconds(FPage.WaitSeconds)](
                   bool settled) { FSteps->Post([done, settled] { done(settled); }, wait); };
    }
    auto scroll = [this, done = std::move(done), failed](bool settled) {
        ScrollThrough(settled, done, failed);
    };
    PollSettled(std::chrono::steady_clock::now() + FLimits.Settle, SettleProbe(FLimits.Quiet),
                std::move(scroll), std::move(failed));
}

void TWebKitWebView::PollSettled(std::chrono::steady_clock::time_point deadline,
                                 const std::string& probe,
                                 std::function<void(bool settled)> done,
                                 TStepFailed failed) {
    auto finish = [this, deadline, probe, done = std::move(done), failed](GObject* source,
                                                                          GAsyncResult* result) {
        if (AnswersQuiet(source, result))
            return done(true);
        if (std::chrono::steady_clock::now() + kSettlePoll >= deadline)
            return done(false);
        FSteps->Post(
            [this, deadline, probe, done, failed] { PollSettled(deadline, probe, done, failed); },
            kSettlePoll);
    };
    // In the page's world, where the watch is; a page stuck in a script does
    // not answer, and the step fails at the script limit.
    RunScript(probe, FLimits.Script, "settling the page", std::move(failed), std::move(finish),
              nullptr);
}

}  // namespace lum
