// The document object model of the stand-in WebBrowser control: a document
// (IHTMLDocument2, IHTMLDocument3) whose body answers "scrollWidth",
// "scrollHeight", "scrollTop" and "style" by name, a root element
// (documentElement) with scroll sizes and position of its own and no style, a
// style that takes "overflow" and "border", the document's readyState, its
// window (scrollTo, screen) and script object (StandinScript.cpp), and the
// dispatch object of a frame. Sizes and positions in it are CSS pixels
// (StandinScreen.cpp). Calls it does not know fail with an HRESULT.
#pragma once

#include <windows.h>

#include <mshtml.h>
#include <oaidl.h>
#include <ocidl.h>

#include <memory>
#include <string>

#include "win32/browser/standin/StandinPages.h"

namespace lum::standin {

// One CSS pixel is 1/96 inch.
inline constexpr std::int32_t kCssDpi = 96;

// The control's view in device pixels, shared with the pages laid out in it.
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
    // The screen's DPI the page is drawn at (kCssDpi: one device pixel per
    // CSS pixel), fixed when its document is made (StandinScreen.cpp).
    std::int32_t Dpi = kCssDpi;
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
    std::int32_t GapStart = 0;   // lazy: rows a scroll jumped over, never in view
    std::int32_t GapEnd = 0;
    bool BannerHidden = false;  // a style sheet took the banner away

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

    // The colour of device row y of the drawn page, and the marker of
    // &mark=1 drawn into rect, the page's device pixels (StandinScreen.cpp).
    TRgb DrawnRow(std::int32_t y) const;
    void DrawMark(HDC dc, const RECT& rect) const;

    std::uint8_t Tag() const { return PageTag(Page, Loads); }
    // The view's size in the CSS pixels it shows whole.
    std::int32_t ViewWidth() const { return View->Width * kCssDpi / Dpi; }
    std::int32_t ViewHeight() const { return View->Height * kCssDpi / Dpi; }
    // Rows of the banner above the page as it stands.
    std::int32_t BannerRows() const { return BannerHidden ? 0 : Page.Banner; }
    void Scroll(std::int32_t& width, std::int32_t& height) const {
        ScrollSize(Page, ViewWidth(), ViewHeight(), width, height);
        height += BannerRows();
    }
    void RootScroll(std::int32_t& width, std::int32_t& height) const {
        RootScrollSize(Page, ViewWidth(), ViewHeight(), width, height);
        height += BannerRows();
    }
};

// The DPI a new document of the control on site is drawn at: the screen's
// when the site's IDocHostUIHandler::GetHostInfo gives
// DOCHOSTUIFLAG_DPI_AWARE, else kCssDpi (StandinScreen.cpp).
std::int32_t DocumentDpi(IOleClientSite* site);
// window.screen of a page (IHTMLScreen2 and its names), StandinScreen.cpp.
IDispatch* NewScreen(std::shared_ptr<TPageState> page);

// The top-level document of a page.
IDispatch* NewDocument(std::shared_ptr<TPageState> page);
// The document's script object (document.Script) and window
// (document.parentWindow), StandinScript.cpp.
IDispatch* NewScript(std::shared_ptr<TPageState> page);
IHTMLWindow2* NewWindow(std::shared_ptr<TPageState> page);
// Ends the timers of the page's scripts that the control's window runs (the
// page is left, or the control goes).
void StopScripts(HWND timers);
// What a host calls on the document by name (StandinSelectors.cpp):
// createStyleSheet() (a sheet whose cssText hides "#banner" takes the
// banner away) and querySelector("#panel") (an element whose
// getBoundingClientRect() is the panel's box as the window is scrolled;
// null for any other selector or a page without a panel).
bool DocumentMethod(const std::shared_ptr<TPageState>& page,
                    DISPID id,
                    DISPPARAMS* params,
                    VARIANT* result,
                    HRESULT& hr);
inline constexpr DISPID kDispidCreateStyleSheet = 0x7101;
inline constexpr DISPID kDispidQuerySelector = 0x7102;

// A frame's window as DocumentComplete passes it: IDispatch and nothing more.
IDispatch* NewFrame();

}  // namespace lum::standin
