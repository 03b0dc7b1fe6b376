// The capture window's time limits against the stand-in WebBrowser control,
// at short limits: a page that never completes (its server holds the answer
// open, or one of its frames never ends) is stopped and fails as not
// answering, through the message loop, and a pass goes on to the next page;
// a settle step, a measure and a picture past their limits fail through
// their failure continuations.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "slideshow/PageFailure.h"
#include "win32/browser/standin/StandinCaptureRig.h"

namespace lum::win32 {
namespace {

using namespace std::chrono_literals;

constexpr LONG kLoadsStopped = 5;  // TOutcome::LoadsStopped of the stand-in

// Short limits, still long beside what the stand-in takes for a page that
// does complete (a few posted messages).
TStepLimits ShortLimits() {
    TStepLimits limits;
    limits.Load = 1500ms;
    return limits;
}

class StandinLimits : public StandinCapture {
  protected:
    static LONG LoadsStopped() {
        const HMODULE dll = ::GetModuleHandleW(L"LumenaryStandin.dll");
        auto* call = dll ? reinterpret_cast<LONG(WINAPI*)(LONG)>(
                               reinterpret_cast<void*>(::GetProcAddress(dll, "StandinOutcomes")))
                         : nullptr;
        return call ? call(kLoadsStopped) : 0;
    }

    struct TFailed {
        std::string Url;
        TPageFailure Failure;
        LONG StopsThen = 0;  // loads the stand-in had seen stopped when it came
    };

    std::unique_ptr<TWin32WebView> NewLimitedView(std::vector<std::string>& seen,
                                                  std::vector<TFailed>& failed,
                                                  const TStepLimits& limits) {
        auto view = NewView(seen);
        view->SetStepLimits(limits);
        view->OnDocumentFailed = [&failed](const std::string& url, const TPageFailure& failure) {
            failed.push_back(TFailed{url, failure, LoadsStopped()});
        };
        return view;
    }

    // Pumps until done() or 20 s have passed.
    template <class F>
    static void PumpUntilTrue(F&& done) {
        const DWORD start = ::GetTickCount();
        while (!done() && ::GetTickCount() - start < 20000)
            PumpMessages(10);
    }
};

// Neither page nor frames complete: at the limit the load is stopped, and
// the page fails as not answering once Stop has returned, through the
// message loop. The next page loads as usual.
TEST_F(StandinLimits, PageThatNeverCompletesIsStoppedAndFailsAsNoAnswer) {
    std::vector<std::string> seen;
    std::vector<TFailed> failed;
    auto view = NewLimitedView(seen, failed, ShortLimits());
    for (const std::string url : {"standin:hang", "standin:frames?n=3&hang=2"}) {
        seen.clear();
        failed.clear();
        const LONG stopsBefore = LoadsStopped();
        view->Navigate(url);
        PumpUntilTrue([&] { return !failed.empty(); });
        PumpMessages(50);
        EXPECT_TRUE(seen.empty()) << url;
        ASSERT_EQ(failed.size(), 1u) << url;
        EXPECT_EQ(failed[0].Url, url);
        EXPECT_EQ(failed[0].Failure.Kind, TPageFailureKind::pfNoAnswer) << url;
        EXPECT_EQ(failed[0].Failure.Detail, "the page did not finish loading within 1.5 s");
        EXPECT_EQ(failed[0].StopsThen, stopsBefore + 1) << url;
        EXPECT_EQ(LoadsStopped(), stopsBefore + 1) << url;
    }
    seen.clear();
    failed.clear();
    view->Navigate("standin:fill");
    PumpUntil(seen, 1);
    EXPECT_EQ(seen, std::vector<std::string>{"standin:fill"});
    EXPECT_TRUE(failed.empty());
}

// The limit ends with the page's completion, and begins anew with each
// Navigate: a page that completed never fails later.
TEST_F(StandinLimits, CompletedPageIsNeverFailedByItsLimit) {
    std::vector<std::string> seen;
    std::vector<TFailed> failed;
    TStepLimits limits;
    limits.Load = 3000ms;
    auto view = NewLimitedView(seen, failed, limits);
    const LONG stopsBefore = LoadsStopped();
    view->Navigate("standin:frames?n=2");
    PumpUntil(seen, 1);
    ASSERT_EQ(seen.size(), 1u);
    PumpMessages(4000);
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(LoadsStopped(), stopsBefore);
}

// A pass over a page that never completes and a good one: the first fails
// as not answering (its record, its log line), the second is captured.
TEST_F(StandinLimits, PassGoesOnPastAPageThatNeverCompletes) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    TSource source;
    source.Urls = {"standin:hang", "standin:fill"};
    auto view = CreateCaptureWebView(0);
    view->SetStepLimits(ShortLimits());
    TWorkingForm form(std::move(view), files, folder, source);
    const LONG stopsBefore = LoadsStopped();
    form.StartCapture();
    PumpUntilTrue([&] { return !form.Busy() && form.NextIndex() == 2; });
    ASSERT_FALSE(form.Busy());
    EXPECT_EQ(LoadsStopped(), stopsBefore + 1);
    TPageFailure failure;
    ASSERT_TRUE(ReadFailureRecord(files, GetFailureFileName(folder, 0), failure));
    EXPECT_EQ(failure.Kind, TPageFailureKind::pfNoAnswer);
    EXPECT_EQ(files.FileDate(folder + "0.bmp"), -1);
    const TPageBitmap fill = ReadPicture(files, folder + "1.bmp");
    EXPECT_EQ(fill.Width(), 1024);
    EXPECT_EQ(PixelAt(fill, 10, 700), Expected(kFillTag, 700));
    EXPECT_EQ(files.FileDate(GetFailureFileName(folder, 1)), -1);
    EXPECT_EQ(FPlatform.Lines, std::vector<std::string>{FailureLogText("standin:hang", failure)});
    for (const std::string name : {"0.failed", "1.bmp", "1.url"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

// A page that never settles, with a settle wait longer than the step's own
// limit: the step fails at that limit, its done never called.
TEST_F(StandinLimits, SettleStepPastItsLimitFails) {
    std::vector<std::string> seen;
    std::vector<TFailed> failed;
    TStepLimits limits;
    limits.Settle = 500ms;
    auto view = NewLimitedView(seen, failed, limits);
    view->SetSettleLimits(TSettleLimits{60s, 500ms, 100ms});
    view->Navigate("standin:restless");
    PumpUntil(seen, 1);
    ASSERT_EQ(seen.size(), 1u);
    std::vector<std::string> calls;
    view->SettlePage([&](bool) { calls.push_back("done"); },
                     [&](const std::string& message) { calls.push_back(message); });
    PumpUntilTrue([&] { return !calls.empty(); });
    PumpMessages(300);
    EXPECT_EQ(calls, std::vector<std::string>{"the page did not settle within 0.5 s"});
}

// Measuring and drawing a heavy page return only when they are done; past
// their limits their results are dropped and they fail later.
TEST_F(StandinLimits, MeasureAndPicturePastTheirLimitsFailLater) {
    std::vector<std::string> seen;
    std::vector<TFailed> failed;
    TStepLimits limits;
    limits.Measure = 100ms;
    limits.Picture = 100ms;
    auto view = NewLimitedView(seen, failed, limits);
    view->SetViewSize(TSize{200, 100});
    view->Navigate("standin:fill?slow=300");
    PumpUntil(seen, 1);
    ASSERT_EQ(seen.size(), 1u);
    std::vector<std::string> calls;
    const auto fail = [&](const std::string& message) { calls.push_back(message); };
    view->MeasurePage([&](TSize) { calls.push_back("measured"); }, fail);
    EXPECT_TRUE(calls.empty());  // not from within the call
    PumpUntilTrue([&] { return !calls.empty(); });
    view->TakePicture(
        TSize{200, 100}, [&](const TPageBitmap&) { calls.push_back("pictured"); }, fail);
    PumpUntilTrue([&] { return calls.size() >= 2; });
    PumpMessages(50);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"measuring the page took longer than 0.1 s",
                                        "taking the page's picture took longer than 0.1 s"}));
    EXPECT_TRUE(failed.empty());
}

}  // namespace
}  // namespace lum::win32
