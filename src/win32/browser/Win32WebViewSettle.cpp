// The capture view's settle step: the control gives no event for a page
// that has gone quiet (no network-idle event, nothing for scripts that draw
// after the load), so the page is watched from inside (PageWatch.cpp) and
// asked by a timer of the capture window until it has been quiet for a while
// or the settle limit has passed. Then it is scrolled through one view at a
// time, as a person reading it would scroll, so that what it loads as it
// comes into view (lazy images, the next stories) is in the picture, and
// back to its top. Every wait has its limit.
#include <mshtml.h>

#include <algorithm>

#include "win32/browser/DispatchObject.h"
#include "win32/browser/PageWatch.h"
#include "win32/browser/Win32WebView.h"

using Microsoft::WRL::ComPtr;
using Clock = std::chrono::steady_clock;

namespace lum::win32 {

namespace {

// The scroll-through's bounds (platform/WebView.h).
constexpr std::chrono::milliseconds kViewTime{kScrollViewLimitMs};
constexpr std::chrono::milliseconds kViewQuiet{kScrollViewQuietMs};
constexpr std::chrono::milliseconds kTopTime{kScrollTopLimitMs};

}  // namespace

// Called at TitleChange, the first event of a new document: the earlier the
// watch is in, the more of the page's own timers and requests it sees (those
// that the page's scripts start while it loads, its onload among them).
// Whatever fails here is tried again at DocumentComplete.
void TWin32WebView::InstallWatch() noexcept {
    if (FFailed)
        return;
    try {
        InstallPageWatch(*Document().Get(), FSettleLimits.Settle);
    } catch (...) {
        // No HTML document yet (the old one, a PDF, nothing): nothing to watch.
    }
}

void TWin32WebView::SettlePage(std::function<void(bool)> done, TStepFailed failed) {
    // A step under way belongs to a page that has moved on since: it is
    // replaced, and its continuation dropped.
    DropSettle();
    DropPicture();
    ApplyZoom();
    ComPtr<IHTMLDocument2> document;
    try {
        document = Document();
    } catch (const Exception&) {
        // Nothing that could be asked (a PDF's viewer, no document): taken
        // as it stands; measuring it says why it cannot be captured.
        return done(true);
    }
    // Refused (scripts off, a script error): asked by its readyState alone.
    InstallPageWatch(*document.Get(), FSettleLimits.Settle);
    auto step = std::make_unique<TSettleStep>();
    step->Done = std::move(done);
    step->Failed = std::move(failed);
    step->Navigation = FNavigation;
    FSettle = std::move(step);
    StartSettleLimit();
    WaitForQuiet(FSettleLimits.Quiet, Clock::now() + FSettleLimits.Settle);
}

// SetTimer on a timer id the window already has replaces that timer, so a
// step never has two. WM_TIMER is a message of low priority, made only when
// the queue is empty: a busy page delays the polls, never the deadline,
// which is measured on the clock.
void TWin32WebView::WaitForQuiet(std::chrono::milliseconds quiet, Clock::time_point deadline) {
    FSettle->Quiet = quiet;
    FSettle->Deadline = deadline;
    if (!::SetTimer(FWnd, kSettleTimer, static_cast<UINT>(FSettleLimits.Poll.count()), nullptr))
        throw Exception("the capture window cannot start the settle timer");
}

// One poll. The control runs the page's scripts on this thread, between
// messages: while one runs, no timer comes (the control's own limit of a
// script's statements ends a script that never returns).
void TWin32WebView::SettleTick() {
    if (!FSettle || FSettle->Navigation != FNavigation)
        return DropSettle();  // a late tick of a step that is over
    TPageQuiet answer = TPageQuiet::Unaskable;
    std::string reason;
    try {
        answer = AskPageWatch(*Document().Get(), FSettle->Quiet, reason);
    } catch (const Exception&) {
        // The document is gone (the control went on to something that is
        // not HTML): answered below.
    }
    if (answer == TPageQuiet::Unaskable)
        return FinishSettle(FSettle->Phase == TSettleStep::TPhase::Settling || FSettle->Settled);
    if (answer == TPageQuiet::Quiet || Clock::now() + FSettleLimits.Poll >= FSettle->Deadline)
        SettleWaited(answer == TPageQuiet::Quiet);
}

void TWin32WebView::SettleWaited(bool quiet) {
    switch (FSettle->Phase) {
        case TSettleStep::TPhase::Settling:
            FSettle->Settled = quiet;
            FSettle->Phase = TSettleStep::TPhase::Scrolling;
            FSettle->ScrollEnd = Clock::now() + FSettleLimits.Settle;
            return ScrollView(0);
        case TSettleStep::TPhase::Scrolling:
            if (FSettle->LastView)
                return ScrollBackToTop();
            return ScrollView(FSettle->NextY);
        case TSettleStep::TPhase::BackAtTop:
            return FinishSettle(FSettle->Settled);
    }
}

// Scrolls to y and waits there for what came into view; the last view is
// the page's end, the height cap, the view where the page scrolls no further
// (a page that scrolls a box of its own), the last of kScrollViews or the
// one at the scroll-through's limit. A page that one view holds is not
// scrolled at all. Positions and sizes are the document's CSS pixels: a
// view drawn at 150 % shows two thirds of its height in them.
void TWin32WebView::ScrollView(std::int32_t y) {
    std::int32_t at = 0;
    std::int32_t height = 0;
    const TAxisDpi dpi = PageDpi().Down;
    const std::int32_t view = CssPixels(FViewSize.Height, dpi);
    try {
        const ComPtr<IHTMLDocument2> document = Document();
        if (view <= 0 || !ScrollPageWindow(*document.Get(), y))
            return FinishSettle(FSettle->Settled);
        // The scroll position is the root element's in standards mode and
        // the body's in quirks mode; the other one answers 0.
        const std::unique_ptr<TDispatchObject> body = GetDocumentBody();
        const std::unique_ptr<TDispatchObject> root = GetDocumentRoot();
        at = std::max(body->GetIntProperty("scrollTop"),
                      root ? root->GetIntProperty("scrollTop") : 0);
        height = std::max(body->GetIntProperty("scrollHeight"),
                          root ? root->GetIntProperty("scrollHeight") : 0);
    } catch (const Exception&) {
        return FinishSettle(FSettle->Settled);  // no document to scroll: as it stands
    }
    // Rows below what a picture of the view's width may hold are never
    // captured: no view goes there.
    const std::int32_t end = std::min(height, CssPixels(PictureHeightCap(FViewSize.Width), dpi));
    const Clock::time_point now = Clock::now();
    if (y == 0 && at + view >= end)
        return FinishSettle(FSettle->Settled);
    FSettle->LastView =
        at + view >= end || at < y || ++FSettle->Views >= kScrollViews || now >= FSettle->ScrollEnd;
    FSettle->NextY = at + view;
    WaitForQuiet(kViewQuiet, std::min(now + kViewTime, FSettle->ScrollEnd));
}

void TWin32WebView::ScrollBackToTop() {
    FSettle->Phase = TSettleStep::TPhase::BackAtTop;
    try {
        if (!ScrollPageWindow(*Document().Get(), 0))
            return FinishSettle(FSettle->Settled);
    } catch (const Exception&) {
        return FinishSettle(FSettle->Settled);
    }
    WaitForQuiet(FSettleLimits.Quiet, Clock::now() + kTopTime);
}

// The step is over before its continuation runs: the continuation may
// navigate, or settle the next page.
// A page whose line asks for a wait (a dashboard that draws late) is left
// alone for that long more, whether it settled or was taken at the limit.
void TWin32WebView::FinishSettle(bool settled) {
    ::KillTimer(FWnd, kSettleTimer);
    ::KillTimer(FWnd, kSettleLimitTimer);
    ::KillTimer(FWnd, kWaitTimer);
    if (FOptions.WaitSeconds > 0 && !FSettle->Waiting) {
        FSettle->Waiting = true;
        FSettle->Settled = settled;
        ::SetTimer(FWnd, kWaitTimer, static_cast<UINT>(FOptions.WaitSeconds) * 1000, nullptr);
        return;
    }
    const std::unique_ptr<TSettleStep> step = std::move(FSettle);
    step->Done(settled);
}

void TWin32WebView::DropSettle() noexcept {
    FSettle.reset();
    if (FWnd) {
        ::KillTimer(FWnd, kSettleTimer);
        ::KillTimer(FWnd, kSettleLimitTimer);
        ::KillTimer(FWnd, kWaitTimer);
    }
}

// The browser's zoom, set anew for every page (the control keeps the last
// page's otherwise): the page is laid out and drawn at it, and its
// measure and picture are of the zoomed page.
void TWin32WebView::ApplyZoom() noexcept {
    if (!FHost || !FHost->Browser())
        return;
    VARIANT zoom;
    zoom.vt = VT_I4;
    zoom.lVal = FOptions.ZoomPercent;
    FHost->Browser()->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr);
}

}  // namespace lum::win32
