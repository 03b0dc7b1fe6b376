// The document object model of the stand-in WebBrowser control: a document
// (IHTMLDocument2, IHTMLDocument3) whose body answers "scrollWidth",
// "scrollHeight", "scrollTop" and "style" by name, a root element
// (documentElement) with scroll sizes and position of its own and no style, a
// style that takes "overflow" and "border", the document's readyState, its
// window (scrollTo) and script object (StandinScript.cpp), and the dispatch
// object of a frame. Calls it does not know fail with an HRESULT.
#pragma once

#include <windows.h>

#include <mshtml.h>
#include <oaidl.h>

#include <memory>
#include <string>

#include "win32/browser/standin/StandinPages.h"

namespace lum::standin {

// The control's view, shared with the pages laid out in it.
struct TViewState {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// One loaded page: what the document, its body and style share.
struct TPageState {
    std::wstring Url;
    TPageSpec Page;
    std::int32_t Loads = 1;  // loads of this URL kind in the process ("again" pages)
    std::shared_ptr<const TViewState> View;
    std::wstring Overflow;  // body.style values a caller put
    std::wstring Border;

    // What the page's own scripts do once it is there (StandinScript.cpp),
    // run by timers of the control's message window.
    HWND Timers = nullptr;
    bool Complete = false;       // its own DocumentComplete has come: readyState "complete"
    bool Watched = false;        // the host's settle watch has been run in it
    bool LateCounted = false;    // the watch saw the late page's timer being set
    DWORD LastChange = 0;        // tick count of the document's last change
    bool LateDrawn = false;      // late: its timer has drawn the rows anew
    std::int32_t Changes = 0;    // restless: changes so far
    std::int32_t ScrollY = 0;    // the window's scroll position
    std::int32_t Requested = 0;  // lazy: rows above this have come into view
    std::int32_t Loaded = 0;     // lazy: rows above this have their content

    // Starts the page's scripts, as they start while it loads: after the
    // document exists (TitleChange), before its DocumentComplete.
    void StartScripts(HWND timers);
    // A timer of the page's scripts is due.
    void RunTimer(UINT_PTR id);
    // window.scrollTo(0, y).
    void ScrollTo(std::int32_t y);
    // The host's watch answering __lumenarySettle(quiet).
    std::wstring SettleAnswer(std::int32_t quiet) const;
    // The colour tag of row y as the page stands now.
    std::uint8_t RowTag(std::int32_t y) const;

    std::uint8_t Tag() const { return PageTag(Page, Loads); }
    void Scroll(std::int32_t& width, std::int32_t& height) const {
        ScrollSize(Page, View->Width, View->Height, width, height);
    }
    void RootScroll(std::int32_t& width, std::int32_t& height) const {
        RootScrollSize(Page, View->Width, View->Height, width, height);
    }
};

// The top-level document of a page.
IDispatch* NewDocument(std::shared_ptr<TPageState> page);
// The document's script object (document.Script) and window
// (document.parentWindow), StandinScript.cpp.
IDispatch* NewScript(std::shared_ptr<TPageState> page);
IHTMLWindow2* NewWindow(std::shared_ptr<TPageState> page);
// Ends the timers of the page's scripts that the control's window runs (the
// page is left, or the control goes).
void StopScripts(HWND timers);
// A frame's window as DocumentComplete passes it: IDispatch and nothing more.
IDispatch* NewFrame();

}  // namespace lum::standin
