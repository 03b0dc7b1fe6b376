// The settle watch of a page in the WebBrowser control: a script that the
// page's own script engine runs, which notes every change of the document,
// the requests and timers of the page's scripts, its images and a page being
// left, and the host's question to it: is the page quiet? Nothing here
// throws: a document whose script engine refuses the watch is asked by its
// readyState alone, and one that cannot be asked at all says so.
#pragma once

#include <windows.h>

#include <mshtml.h>

#include <chrono>
#include <string>

namespace lum::win32 {

enum class TPageQuiet {
    Quiet,      // nothing has changed for the quiet time and nothing is pending
    Busy,       // still loading, changing, or waiting for requests, timers, images
    Unaskable,  // no answer at all: the document is gone or not HTML
};

// Puts the watch into document once (a document that has it keeps it); its
// timers due later than limit are not waited for. False when the document's
// script engine refused it (scripts off, a script error): the document is
// then asked by its readyState alone.
bool InstallPageWatch(IHTMLDocument2& document, std::chrono::milliseconds limit);

// Whether document is quiet, that is unchanged for quiet; what it is still
// busy with goes to reason ("timers", "images", "changing", ...).
TPageQuiet AskPageWatch(IHTMLDocument2& document,
                        std::chrono::milliseconds quiet,
                        std::string& reason);

// Scrolls document's window to (0, y), as a person scrolling would; false
// when the window cannot be reached.
bool ScrollPageWindow(IHTMLDocument2& document, std::int32_t y);

}  // namespace lum::win32
