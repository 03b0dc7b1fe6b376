// The capture's web view in a process of its own: the browser engine runs in
// the helper program "lumenary-capture" (beside this program), which this
// view starts at the first navigation of a pass and ends when the pass is
// over. The two talk over a socket of their own, which none of the engine's
// helper processes holds; the helper's standard output goes to this
// program's standard error. An engine that crashes, hangs past a time limit
// or writes anything out of place takes only its page with it: the helper is
// ended, its pending step fails, a pending page fails, and the next
// navigation starts a new helper. A helper that cannot be started throws
// lum::Exception from Navigate. With a capture lock, a pass starts only
// while this view holds it (taken at the start of each pass, given back at
// its end), so one program of the user's captures at a time and another
// takes over at its next pass. Needs the GLib main loop.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/Bmp.h"
#include "linux/capture/CaptureLock.h"
#include "linux/capture/CaptureProgram.h"
#include "linux/capture/CaptureProtocol.h"
#include "platform/WebView.h"

namespace lum::gtk {

// How long the view waits for each answer of the helper before it ends the
// helper and fails what was pending: longer than the helper's own limits
// (load 20 s, settle 10 s and scrolling through 10 s more, script 5 s,
// snapshot 20 s), which it answers within.
struct TCaptureLimits {
    std::uint32_t LoadMs = kLoadLimitMs;
    std::uint32_t MeasureMs = kMeasureLimitMs;
    std::uint32_t PictureMs = kPictureLimitMs;
    std::uint32_t SettleMs = kSettleLimitMs;
};

class TProcessWebView final : public IWebView {
  public:
    // helperPath: the capture program; empty: "lumenary-capture" beside the
    // running program.
    explicit TProcessWebView(std::string helperPath = {},
                             TCaptureLimits limits = {},
                             TCaptureLock* lock = nullptr);
    ~TProcessWebView() override;
    TProcessWebView(const TProcessWebView&) = delete;
    TProcessWebView& operator=(const TProcessWebView&) = delete;

    void Navigate(const std::string& url) override;
    // Sent with each navigation from now on; the settle step's time limit
    // grows by the page's wait.
    void SetCaptureOptions(const TCaptureOptions& options) override;
    void SetViewSize(const TSize& size) override;
    void SettlePage(std::function<void(bool settled)> done, TStepFailed failed) override;
    void MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) override;
    void TakePicture(const TSize& size,
                     std::function<void(TPageBitmap& picture)> done,
                     TStepFailed failed) override;
    // Takes the capture lock, if any; false while another holds it (a lock
    // file that cannot be opened is said once on the log).
    bool BeginPass() override;
    // Ends the helper (it reads the end of its channel and leaves) and gives
    // the capture lock back.
    void PassEnded() override;

    // The helper's process id while one runs, else 0.
    pid_t HelperPid() const { return FPid; }

  private:
    struct TStep {
        std::function<void(TSize)> Measured;
        std::function<void(TPageBitmap&)> Pictured;
        TStepFailed Failed;
        TSize PictureSize;  // of a picture step
        unsigned Timer = 0;
        std::function<void(bool)> Settled;
        std::uint32_t LimitMs = 0;
    };
    friend struct TProcessWebViewEvents;
    static constexpr const char* kBlankUrl = "about:blank";

    void Start();
    void Stop(const std::string& reason, TPageFailureKind kind, bool kill);
    void Send(const std::string& line);
    unsigned StartTimer(std::uint32_t step, std::uint32_t ms);
    // Registers a step with its time limit and sends its request
    // ("<kind> <number><rest>"); throws while no page is loaded.
    void BeginStep(TStep step,
                   std::uint32_t limitMs,
                   const std::string& kind,
                   const std::string& rest);
    void Expired(std::uint32_t step);
    bool ReadSome();
    void Handle(TCaptureAnswer& answer, TPageBitmap& picture);
    bool Expected(const TCaptureAnswer& answer) const;
    void FailAll(const std::string& reason, TPageFailureKind kind);

    std::string FHelperPath;
    TCaptureLimits FLimits;
    TCaptureLock* FLock = nullptr;
    bool FLockErrorSaid = false;
    pid_t FPid = 0;
    int FChannel = -1;
    unsigned FWatch = 0;
    std::unique_ptr<TCaptureAnswerReader> FReader;
    std::uint32_t FNextStep = 1;
    std::map<std::uint32_t, TStep> FSteps;  // pending steps by number
    std::string FPendingUrl;                // navigated, not yet completed or failed
    unsigned FLoadTimer = 0;
    TSize FViewSize{1024, 768};
    TCaptureOptions FOptions;       // of the navigations from now on
    std::uint32_t FPageWaitMs = 0;  // the wait of the page navigated to last
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

}  // namespace lum::gtk
