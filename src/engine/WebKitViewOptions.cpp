// What a page's capture options make of the web view's steps: the load with
// the page's headers, the elements hidden before the page is measured, and
// the box of the element a crop selects, which the measure answers and the
// picture is cut to. The page's zoom is set with each Navigate.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "engine/WebKitSteps.h"
#include "engine/WebKitWebView.h"

namespace lum {

namespace {

// text as a JavaScript string literal.
std::string JsString(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '\'') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "'";
}

// Appends a style element that hides what selectors select, and keeps it
// only if the engine read it as exactly that one rule (a list it rejects,
// or text that would make other rules of it, is taken out again). Answers
// "hidden", or why nothing is hidden.
std::string HideScript(const std::string& selectors) {
    return "(function () {"
           "  var root = document.documentElement;"
           "  if (!root) return 'the page has no document';"
           "  var s = document.createElement('style');"
           "  s.textContent = " +
           JsString(selectors) +
           " + ' { display: none !important; }';"
           "  (document.head || root).appendChild(s);"
           "  var rules = s.sheet ? s.sheet.cssRules : null;"
           "  var r = rules && rules.length === 1 ? rules[0] : null;"
           "  if (r && r.type === 1 && r.style.length === 1 &&"
           "      r.style.getPropertyValue('display') === 'none' &&"
           "      r.style.getPropertyPriority('display') === 'important')"
           "    return 'hidden';"
           "  s.remove();"
           "  return rules ? 'the engine does not read it as a selector list'"
           "               : 'the page allows no style sheet of ours';"
           "})()";
}

// A header's name and value as libsoup takes them (it refuses others).
bool Sendable(const std::string& name, const std::string& value) {
    return !name.empty() && std::strpbrk(name.c_str(), " \t\r\n:") == nullptr &&
           name.find('\0') == std::string::npos &&
           value.find_first_of("\r\n") == std::string::npos &&
           value.find('\0') == std::string::npos;
}

}  // namespace

void TWebKitWebView::SetCaptureOptions(const TCaptureOptions& options) {
    FOptions = options;
}

void TWebKitWebView::LoadRequested() {
    WebKitURIRequest* request = webkit_uri_request_new(FRequested.c_str());
    // Only an HTTP request has headers (none for "about:", "file:", "data:").
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request)) {
        for (const auto& [name, value] : FPage.Headers) {
            if (Sendable(name, value))
                soup_message_headers_append(headers, name.c_str(), value.c_str());
        }
    }
    webkit_web_view_load_request(FView, request);
    g_object_unref(request);
}

void TWebKitWebView::HideThen(std::function<void()> next, TStepFailed failed) {
    auto finish = [this, next = std::move(next)](GObject* source, GAsyncResult* result) {
        std::string why;
        const std::string answer = ScriptText(source, result, why);
        if (answer != "hidden")
            std::fprintf(stderr, "lumenary: hide=\"%s\" hides nothing on %s: %s\n",
                         FPage.Hide.c_str(), CurrentUri().c_str(),
                         answer.empty() ? why.c_str() : answer.c_str());
        next();
    };
    RunScript(HideScript(FPage.Hide), FLimits.Script, "hiding elements", std::move(failed),
              std::move(finish));
}

// Sizes are in the view's pixels: the page's CSS pixels times its zoom,
// rounded out (an edge within a millionth of a pixel counts as on it).
std::string TWebKitWebView::MeasureAnswer() const {
    const std::string page =
        "  var w = Math.max(d ? d.scrollWidth : 0, b ? b.scrollWidth : 0);"
        "  var h = Math.max(d ? d.scrollHeight : 0, b ? b.scrollHeight : 0);"
        "  var up = function (v) { return Math.ceil(v * z - 1e-6); };"
        "  var down = function (v) { return Math.floor(v * z + 1e-6); };";
    if (FPage.Crop.empty())
        return page + "  return up(w) + ' ' + up(h);";
    return page +
           "  var e;"
           "  try { e = document.querySelector(" +
           JsString(FPage.Crop) +
           "); } catch (x) { return 'bad ' + x.message; }"
           "  if (!e) return 'none';"
           "  var r = e.getBoundingClientRect();"
           "  var W = up(Math.max(w, innerWidth)), H = up(Math.max(h, innerHeight));"
           "  var L = Math.max(0, down(r.left + scrollX)), T = Math.max(0, down(r.top + scrollY));"
           "  var R = Math.min(W, up(r.right + scrollX)), B = Math.min(H, up(r.bottom + scrollY));"
           "  if (R <= L || B <= T) return 'empty';"
           "  return 'box ' + L + ' ' + T + ' ' + R + ' ' + B;";
}

bool TWebKitWebView::ReadMeasured(const std::string& text, TSize& size, std::string& why) {
    char rest = 0;
    TRect box;
    if (std::sscanf(text.c_str(), "box %d %d %d %d%c", &box.Left, &box.Top, &box.Right, &box.Bottom,
                    &rest) == 4) {
        if (box.Left < 0 || box.Top < 0 || box.Right <= box.Left || box.Bottom <= box.Top)
            return false;
        FCropBox = box;
        size = TSize{box.Width(), box.Height()};
        return true;
    }
    if (std::sscanf(text.c_str(), "%d %d%c", &size.Width, &size.Height, &rest) == 2)
        return size.Width >= 0 && size.Height >= 0;
    const std::string crop = "crop=\"" + FPage.Crop + "\"";
    if (text == "none")
        why = "no element matches " + crop;
    else if (text == "empty")
        why = "the element " + crop + " takes no room on the page";
    else if (text.rfind("bad ", 0) == 0)
        why = crop + " is not a selector the engine reads: " + text.substr(4);
    return false;
}

TPoint TWebKitWebView::PictureOrigin() const {
    return FPage.Crop.empty() ? TPoint{} : TPoint{FCropBox.Left, FCropBox.Top};
}

}  // namespace lum
