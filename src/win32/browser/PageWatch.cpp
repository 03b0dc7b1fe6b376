#include "win32/browser/PageWatch.h"

#include <wrl/client.h>

#include "win32/Strings.h"
#include "win32/browser/ComUtil.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

namespace {

constexpr const wchar_t* kAskName = L"__lumenarySettle";

// The watch, for the script engines of the control: IE 11 in its own mode
// (MutationObserver, XMLHttpRequest; no fetch, no document.fonts) and the
// older document modes a page may ask for (no MutationObserver before IE 11,
// no addEventListener before IE 9), so it is written for the oldest engine,
// every newer part tried and left out where it fails. Like the Linux one it
// notes the time of every change of the document, counts the requests of the
// page's scripts in flight and their timers due within the settle limit (a
// longer one is not waited for), notes a page that is being left or will
// move on by a refresh to another address within the limit, and answers
// __lumenarySettle(quiet ms): "quiet", or what the page is still busy with.
// Installed once the document exists (TitleChange) and again at its
// DocumentComplete: a timer that a script set before it is seen only by
// what it changes.
const char kWatchBody[] = R"JS(
  var now = function () { return new Date().getTime(); };
  var last = now(), requests = 0, timers = {}, pending = 0, leaving = false;
  var changed = function () { last = now(); };
  try {
    new MutationObserver(changed).observe(document, {childList: true, subtree: true,
      attributes: true, characterData: true});
  } catch (e) {
    try { document.addEventListener('DOMSubtreeModified', changed, true); } catch (e2) {}
  }
  var setTimer = window.setTimeout, clearTimer = window.clearTimeout;
  var over = function (id) { if (timers[id]) { delete timers[id]; pending--; } };
  try {
    window.setTimeout = function (f, delay) {
      var ms = +delay || 0;
      if (typeof f !== 'function' || ms > limit)
        return setTimer.apply ? setTimer.apply(window, arguments) : setTimer(f, delay);
      var args = Array.prototype.slice.call(arguments, 2), id;
      id = setTimer(function () { over(id); changed(); return f.apply(window, args); }, ms);
      timers[id] = true; pending++;
      return id;
    };
    window.clearTimeout = function (id) { over(id); return clearTimer(id); };
  } catch (e) {}
  try {
    var send = XMLHttpRequest.prototype.send;
    XMLHttpRequest.prototype.send = function () {
      var xhr = this, open = true;
      var end = function () { if (open) { open = false; requests--; changed(); } };
      requests++;
      xhr.addEventListener('readystatechange', function () { if (xhr.readyState === 4) end(); });
      xhr.addEventListener('loadend', end);
      try { return send.apply(xhr, arguments); } catch (e) { end(); throw e; }
    };
  } catch (e) {}
  var leave = function () { leaving = true; };
  try { window.addEventListener('beforeunload', leave, true); }
  catch (e) { try { window.attachEvent('onbeforeunload', leave); } catch (e2) {} }
  var inView = function (e) {
    var r = e.getBoundingClientRect(), d = document.documentElement;
    var h = window.innerHeight || d.clientHeight, w = window.innerWidth || d.clientWidth;
    return r.bottom > 0 && r.right > 0 && r.top < h && r.left < w;
  };
  var here = function (url) { return String(url).split('#')[0]; };
  var refreshing = function () {
    var metas = document.getElementsByTagName('meta');
    for (var i = 0; i < metas.length; i++) {
      if (String(metas[i].httpEquiv || '').toLowerCase() !== 'refresh') continue;
      var c = metas[i].content || '';
      var at = c.search(/[;,]\s*(url\s*=\s*)?/i);
      if (at < 0 || parseFloat(c) * 1000 > limit) continue;
      var a = document.createElement('a');
      a.href = c.slice(at).replace(/^[;,]\s*(url\s*=\s*)?/i, '').replace(/^['"]|['"]$/g, '');
      if (here(a.href) !== here(location.href)) return true;
    }
    return false;
  };
  var busy = function (wait) {
    if (leaving) return 'leaving';
    if (document.readyState !== 'complete') return 'loading';
    if (refreshing()) return 'redirect';
    if (requests > 0) return 'requests';
    if (pending > 0) return 'timers';
    for (var i = 0; i < document.images.length; i++) {
      var image = document.images[i];
      if (!image.complete && (image.loading !== 'lazy' || inView(image))) return 'images';
    }
    return now() - last < wait ? 'changing' : '';
  };
  var ask = function (q) { return busy(q >= 0 ? q : 0) || 'quiet'; };
  try { Object.defineProperty(window, '__lumenarySettle', {value: ask}); }
  catch (e) { window.__lumenarySettle = ask; }
})();)JS";

std::wstring WatchScript(std::chrono::milliseconds limit) {
    return Widen("(function () {\n  if (window.__lumenarySettle) return;\n  var limit = " +
                 std::to_string(limit.count()) + ";" + kWatchBody);
}

// Frees what a failed call described.
struct TExcepInfo : EXCEPINFO {
    TExcepInfo() noexcept : EXCEPINFO{} {}
    ~TExcepInfo() {
        ::SysFreeString(bstrSource);
        ::SysFreeString(bstrDescription);
        ::SysFreeString(bstrHelpFile);
    }
    TExcepInfo(const TExcepInfo&) = delete;
    TExcepInfo& operator=(const TExcepInfo&) = delete;
};

// Calls the method name of a script object with one argument, as a script
// would: the page's script engine resolves the name at the call.
HRESULT CallByName(IDispatch& object, const wchar_t* name, VARIANT& argument, VARIANT* result) {
    std::wstring wide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    TExcepInfo error;
    return object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                         &error, nullptr);
}

// document.Script: the global object of the page's script engine.
ComPtr<IDispatch> ScriptOf(IHTMLDocument2& document) {
    ComPtr<IDispatch> script;
    if (FAILED(document.get_Script(&script)))
        return nullptr;
    return script;
}

// Once the document is complete, a document without the watch (scripts off,
// a script error) is quiet: nothing of it will change that can be seen.
TPageQuiet AskReadyState(IHTMLDocument2& document, std::string& reason) {
    BSTR state = nullptr;
    if (FAILED(document.get_readyState(&state)) || !state)
        return TPageQuiet::Unaskable;
    const bool complete = ::lstrcmpiW(state, L"complete") == 0;
    ::SysFreeString(state);
    reason = complete ? "quiet" : "loading";
    return complete ? TPageQuiet::Quiet : TPageQuiet::Busy;
}

}  // namespace

// The script goes to eval of the document's script object first: a document
// of IE 11's own mode has no execScript for its pages any more, and eval runs
// the text in the global scope of the page, as a script element of it would.
// execScript is the way into the older document modes whose script object
// does not name eval.
bool InstallPageWatch(IHTMLDocument2& document, std::chrono::milliseconds limit) {
    TVariant code;
    code.bstrVal = TBstr(WatchScript(limit)).Release();
    code.vt = VT_BSTR;
    if (const ComPtr<IDispatch> script = ScriptOf(document)) {
        TVariant result;
        if (SUCCEEDED(CallByName(*script.Get(), L"eval", code, &result)))
            return true;
    }
    ComPtr<IHTMLWindow2> window;
    if (FAILED(document.get_parentWindow(&window)) || !window)
        return false;
    TVariant result;
    const TBstr language(L"JavaScript");
    return SUCCEEDED(window->execScript(code.bstrVal, language.Get(), &result));
}

// __lumenarySettle is found by name on the script object, which is how a host
// reaches a page's global function; calling it runs the watch's own code, so
// the page's scripts can make the picture wait (until the limit) but not
// change the answer's meaning.
TPageQuiet AskPageWatch(IHTMLDocument2& document,
                        std::chrono::milliseconds quiet,
                        std::string& reason) {
    const ComPtr<IDispatch> script = ScriptOf(document);
    if (script) {
        TVariant wait;
        wait.vt = VT_I4;
        wait.lVal = static_cast<LONG>(quiet.count());
        TVariant answer;
        if (SUCCEEDED(CallByName(*script.Get(), kAskName, wait, &answer)) && answer.vt == VT_BSTR &&
            answer.bstrVal) {
            reason = Narrow(answer.bstrVal);
            return reason == "quiet" ? TPageQuiet::Quiet : TPageQuiet::Busy;
        }
    }
    return AskReadyState(document, reason);
}

bool ScrollPageWindow(IHTMLDocument2& document, std::int32_t y) {
    ComPtr<IHTMLWindow2> window;
    if (FAILED(document.get_parentWindow(&window)) || !window)
        return false;
    return SUCCEEDED(window->scrollTo(0, y));
}

}  // namespace lum::win32
