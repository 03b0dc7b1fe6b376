// The capture's web view in a process of its own: the browser engine runs in
// the helper program "lumenary-capture" (beside this program), which this
// view starts at the first navigation of a pass and ends when the pass is
// over. The showing program then holds no engine, no engine library pages
// and none of the engine's helper processes, and an engine that crashes takes
// only its pass with it: its pending step fails, a pending page fails, and
// the next navigation starts a new helper. A helper that cannot be started
// throws lum::Exception from Navigate. Needs the GLib main loop.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/Bmp.h"
#include "platform/WebView.h"

namespace lum::gtk {

class TProcessWebView final : public IWebView {
  public:
    // helperPath: the capture program; empty: "lumenary-capture" beside the
    // running program.
    explicit TProcessWebView(std::string helperPath = {});
    ~TProcessWebView() override;
    TProcessWebView(const TProcessWebView&) = delete;
    TProcessWebView& operator=(const TProcessWebView&) = delete;

    void Navigate(const std::string& url) override;
    void SetViewSize(const TSize& size) override;
    void MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) override;
    void TakePicture(const TSize& size,
                     std::function<void(const TPageBitmap& picture)> done,
                     TStepFailed failed) override;
    // Ends the helper: it reads the end of its input and leaves.
    void PassEnded() override;

    // The helper's process id while one runs, else 0.
    pid_t HelperPid() const { return FPid; }

  private:
    struct TStep {
        std::function<void(TSize)> Measured;
        std::function<void(const TPageBitmap&)> Pictured;
        TStepFailed Failed;
    };

    void Start();
    void Stop(const std::string& reason);
    void Send(const std::string& line);
    static int OnReadable(int fd, unsigned condition, void* self);
    bool ReadSome();
    void HandleLine(const std::string& line);
    void PictureArrived();
    void FailAll(const std::string& reason);

    std::string FHelperPath;
    pid_t FPid = 0;
    int FToHelper = -1;
    int FFromHelper = -1;
    unsigned FWatch = 0;
    std::string FInput;  // bytes read and not yet handled
    std::uint32_t FNextStep = 1;
    std::map<std::uint32_t, TStep> FSteps;  // pending steps by number
    std::string FPendingUrl;                // navigated, not yet completed or failed
    TSize FViewSize{1024, 768};
    // A picture whose pixels are arriving.
    std::uint32_t FPictureStep = 0;
    TPageBitmap FPicture;
    std::size_t FPictureBytes = 0;  // of FPicture's pixels already read
    bool FReadingPicture = false;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The full path of the capture helper beside the running program.
std::string DefaultCaptureHelperPath();

}  // namespace lum::gtk
