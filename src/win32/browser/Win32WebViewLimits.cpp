// The capture view's time limits (platform/WebView.h). The control puts no
// limit of its own on a page that never finishes loading (a server that
// holds its answer open, a frame that never ends: its DocumentComplete never
// comes), and every step of the host must end one way or the other. Each
// limit is a timer of the capture window, so what it fails is handed on
// through the message loop, never from within one of the control's calls.
#include <algorithm>
#include <cstdio>

#include "win32/browser/Win32WebView.h"

using Clock = std::chrono::steady_clock;

namespace lum::win32 {

namespace {

// "30 s", "0.25 s".
std::string Seconds(std::chrono::milliseconds limit) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(limit.count()) / 1000.0);
    return text;
}

// Sets timer id of window to fire at deadline. SetTimer on a timer id the
// window already has replaces that timer, so a limit never runs twice.
void ArmTimer(HWND window, UINT_PTR id, Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const auto ms = std::clamp<long long>(left.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    if (!::SetTimer(window, id, static_cast<UINT>(ms), nullptr))
        throw Exception("the capture window cannot start a timer");
}

}  // namespace

bool TWin32WebView::OnTimer(UINT_PTR id) {
    switch (id) {
        case kSettleTimer:
            SettleTick();
            return true;
        case kLoadTimer:
            LoadTick();
            return true;
        case kSettleLimitTimer:
            SettleLimitTick();
            return true;
        case kWaitTimer:
            ::KillTimer(FWnd, kWaitTimer);
            if (FSettle)
                FinishSettle(FSettle->Settled);
            return true;
        default:
            return false;
    }
}

// From Navigate to the page's own DocumentComplete or its failure.
void TWin32WebView::StartLoadLimit(const std::string& url) {
    FLoadUrl = url;
    FLoadDeadline = Clock::now() + FStepLimits.Load;
    FLoading = true;
    ArmTimer(FWnd, kLoadTimer, FLoadDeadline);
}

void TWin32WebView::EndLoadLimit() noexcept {
    FLoading = false;
    if (FWnd)
        ::KillTimer(FWnd, kLoadTimer);
}

// WM_TIMER is counted on another clock than the deadline and may come a
// little early: the timer is then set again for what is left. A page that
// is past its limit fails first, so that whatever the control reports while
// it stops (the page as it stands completing, an error) belongs to a failed
// navigation and is dropped; the failure comes through the message loop.
// IWebBrowser2::Stop cancels the pending navigation and its downloads: the
// next Navigate starts from a control that is loading nothing.
void TWin32WebView::LoadTick() {
    if (!FLoading)
        return EndLoadLimit();
    if (Clock::now() < FLoadDeadline)
        return ArmTimer(FWnd, kLoadTimer, FLoadDeadline);
    EndLoadLimit();
    NavigateFailed(FLoadUrl, TPageFailure{TPageFailureKind::pfNoAnswer, 0,
                                          "the page did not finish loading within " +
                                              Seconds(FStepLimits.Load)});
    if (FHost && FHost->Browser())
        FHost->Browser()->Stop();
}

// The settle step's own limits (the quiet wait, the scroll-through) end it
// well before this one; this one holds when they cannot, say when the
// window's timers come late behind a busy queue.
void TWin32WebView::StartSettleLimit() {
    FSettleDeadline = Clock::now() + FStepLimits.Settle;
    ArmTimer(FWnd, kSettleLimitTimer, FSettleDeadline);
}

void TWin32WebView::SettleLimitTick() {
    if (!FSettle || FSettle->Navigation != FNavigation)
        return DropSettle();
    if (Clock::now() < FSettleDeadline)
        return ArmTimer(FWnd, kSettleLimitTimer, FSettleDeadline);
    const std::unique_ptr<TSettleStep> step = std::move(FSettle);
    DropSettle();
    if (step->Failed)
        step->Failed("the page did not settle within " + Seconds(FStepLimits.Settle));
}

// Measuring and drawing are calls into the control that return only when
// it is done: no timer of this thread can end one that never returns. One
// that came back past its limit is failed all the same, its result dropped,
// and its failure continuation called later, through the message loop.
bool TWin32WebView::StepOverdue(Clock::time_point start,
                                std::chrono::milliseconds limit,
                                const char* what,
                                TStepFailed& failed) {
    if (Clock::now() - start <= limit)
        return false;
    FOverdue = std::make_unique<TOverdueStep>(TOverdueStep{
        std::move(failed), std::string(what) + " took longer than " + Seconds(limit), FNavigation});
    ::PostMessageW(FWnd, kDeliverOverdue, 0, 0);
    return true;
}

// A navigation begun since, or the view's end, drops it uncalled.
void TWin32WebView::DeliverOverdue() {
    const std::unique_ptr<TOverdueStep> step = std::move(FOverdue);
    if (!step || step->Navigation != FNavigation || !step->Failed)
        return;
    step->Failed(step->Message);
}

}  // namespace lum::win32
