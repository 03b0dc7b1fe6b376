// The capture form's window with the WebBrowser control in it, as the web
// view of the page capture: navigation and its failures, the settle step
// (Win32WebViewSettle.cpp), the steps' time limits (Win32WebViewLimits.cpp),
// the document's body and root element, the control's size and the picture
// (Win32WebViewPicture.cpp). Only the top-level document's completion
// counts. The settle step completes later, through a timer of the window, as
// does the picture of a page taller than one band; every other step before
// it returns. A load, or a step, past its limit fails later, through the message
// loop. Failures throw lum::Exception. OLE must be initialised on the thread
// (OleInitialize) before creation.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/Bmp.h"
#include "common/PageScale.h"
#include "platform/Types.h"
#include "platform/WebView.h"
#include "win32/BaseWindow.h"
#include "win32/browser/WebBrowserHost.h"

struct IHTMLDocument2;

namespace lum::win32 {

class TDispatchObject;
class TWin32CaptureBitmap;

// The settle step's limits, the same as the Linux capture's: a page is taken
// once it has been quiet for kSettleQuiet, or as it stands at kSettleLimit;
// it is asked every kSettlePoll.
inline constexpr std::chrono::milliseconds kSettleLimit{10000};
inline constexpr std::chrono::milliseconds kSettleQuiet{500};
inline constexpr std::chrono::milliseconds kSettlePoll{100};

struct TSettleLimits {
    std::chrono::milliseconds Settle = kSettleLimit;
    std::chrono::milliseconds Quiet = kSettleQuiet;
    std::chrono::milliseconds Poll = kSettlePoll;
};

// The longest each step may take (platform/WebView.h): a load that has not
// completed by then is stopped and fails as not answering; a settle, measure
// or picture step past its limit fails through its failure continuation.
struct TStepLimits {
    std::chrono::milliseconds Load{kLoadLimitMs};
    std::chrono::milliseconds Settle{kSettleLimitMs};
    std::chrono::milliseconds Measure{kMeasureLimitMs};
    std::chrono::milliseconds Picture{kPictureLimitMs};
};

class TWin32WebView final : public IWebView, public BaseWindow<TWin32WebView> {
  public:
    // Creates the window "WorkingForm" (borderless popup, client 112 x 23 at
    // 226, 208, owned by owner), activates the control in it at (0, 0)
    // 153 x 73 and shows the window without activating it.
    explicit TWin32WebView(HWND owner);
    ~TWin32WebView() override;
    TWin32WebView(const TWin32WebView&) = delete;
    TWin32WebView& operator=(const TWin32WebView&) = delete;

    void Navigate(const std::string& url) override;
    // The zoom (OLECMDID_OPTICAL_ZOOM once the document is there), the
    // headers (Navigate's), the wait after the settle step.
    void SetCaptureOptions(const TCaptureOptions& options) override { FOptions = options; }
    void SetViewSize(const TSize& size) override;
    // Watches the page through its own script engine until it is quiet or
    // the limit has passed, then scrolls it through one view at a time for
    // what it loads as it comes into view, and back to its top. A document
    // that cannot be asked (not HTML) is taken at once as it stands. A new
    // Navigate, a new SettlePage or the view's end drops the step uncalled.
    void SettlePage(std::function<void(bool)> done, TStepFailed failed) override;
    void MeasurePage(std::function<void(TSize)> done, TStepFailed failed) override;
    // Draws the page band by band into the picture. A picture of one band
    // is taken at once; a taller one draws a band per message of the
    // window, so the program keeps answering while a giant page is drawn
    // and read. A new Navigate, SettlePage or TakePicture, the end of the
    // pass or of the view drops the step uncalled.
    void TakePicture(const TSize& size,
                     std::function<void(TPageBitmap&)> done,
                     TStepFailed failed) override;
    // Mutes the process's sound.
    bool BeginPass() override;
    // Releases the control until the next Navigate.
    void PassEnded() override;

    // The body element of the current top-level HTML document.
    std::unique_ptr<TDispatchObject> GetDocumentBody();
    // Its root element (document.documentElement); nullptr when the
    // document has none.
    std::unique_ptr<TDispatchObject> GetDocumentRoot();
    // put_Width / put_Height of the control.
    void SetWidth(std::int32_t width);
    void SetHeight(std::int32_t height);
    std::unique_ptr<TWin32CaptureBitmap> CreateCaptureBitmap();

    // Other limits than the program's (tests).
    void SetSettleLimits(const TSettleLimits& limits) { FSettleLimits = limits; }
    void SetStepLimits(const TStepLimits& limits) { FStepLimits = limits; }

    HWND ControlWindow() const { return FHost ? FHost->ControlWindow() : nullptr; }
    TWebBrowserHost* Host() const { return FHost.Get(); }

  private:
    friend class BaseWindow<TWin32WebView>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    IWebBrowser2& Browser();
    // Creates the control in the window, with its events, at the view size.
    void OpenControl();
    void CloseControl() noexcept;
    void DocumentCompleted(const std::string& url, bool topLevel);
    void NavigateFailed(const std::string& url, const TPageFailure& failure);
    void DeliverFailure();
    // The limits of the load and of the steps (Win32WebViewLimits.cpp), each
    // a timer of the window.
    static constexpr UINT_PTR kLoadTimer = 0x10AD;
    static constexpr UINT_PTR kSettleLimitTimer = 0x5E78;
    static constexpr UINT kDeliverOverdue = WM_APP + 0x53;
    struct TOverdueStep;
    void StartLoadLimit(const std::string& url);
    void EndLoadLimit() noexcept;
    void LoadTick();
    void StartSettleLimit();
    void SettleLimitTick();
    bool StepOverdue(std::chrono::steady_clock::time_point start,
                     std::chrono::milliseconds limit,
                     const char* what,
                     TStepFailed& failed);
    void DeliverOverdue();
    bool OnTimer(UINT_PTR id);
    Microsoft::WRL::ComPtr<IHTMLDocument2> Document();
    // How the current document is drawn: device pixels per CSS pixel.
    TPageDpi PageDpi() noexcept;
    // The settle step (Win32WebViewSettle.cpp), asked by this timer of the
    // window.
    static constexpr UINT_PTR kSettleTimer = 0x5E77;
    static constexpr UINT_PTR kWaitTimer = 0x5E79;  // the page's wait after settling
    void ApplyZoom() noexcept;
    // The page's hide and crop options (Win32WebViewOptions.cpp): a style
    // sheet that hides what Hide selects; the device-pixel box of the first
    // element Crop selects (throws when none is).
    void HideSelected() noexcept;
    TRect CropBox();
    struct TSettleStep;
    void InstallWatch() noexcept;
    void SettleTick();
    void SettleWaited(bool quiet);
    void ScrollView(std::int32_t y);
    void ScrollBackToTop();
    // The picture step (Win32WebViewPicture.cpp), a band per posted message.
    static constexpr UINT kPictureBand = WM_APP + 0x54;
    struct TPictureStep;
    void DrawBand();
    void FinishPicture();
    void DropPicture() noexcept;
    void WaitForQuiet(std::chrono::milliseconds quiet,
                      std::chrono::steady_clock::time_point deadline);
    void FinishSettle(bool settled);
    void DropSettle() noexcept;

    struct TPendingFailure {
        std::uint32_t Navigation;
        std::string Url;
        TPageFailure Failure;
    };

    Microsoft::WRL::ComPtr<TWebBrowserHost> FHost;
    // One per Navigate: a failure is delivered once, for the navigation
    // that is still current, through the message loop.
    std::uint32_t FNavigation = 0;
    bool FFailed = false;  // the current navigation has failed
    TSize FViewSize{};     // the size pages are laid out at (the display's)
    std::optional<TPendingFailure> FPendingFailure;
    TSettleLimits FSettleLimits;
    TStepLimits FStepLimits;
    std::string FLoadUrl;  // the page the load limit is for
    std::chrono::steady_clock::time_point FLoadDeadline;
    bool FLoading = false;                                  // the load limit runs
    std::chrono::steady_clock::time_point FSettleDeadline;  // of the settle step's own limit
    std::unique_ptr<TOverdueStep> FOverdue;                 // a step past its limit, failed later
    std::unique_ptr<TSettleStep> FSettle;                   // the settle step under way, if any
    std::unique_ptr<TPictureStep> FPicture;                 // the picture step under way, if any
    TCaptureOptions FOptions;                               // of the pages loaded from now on
    std::optional<TRect> FCrop;  // the box the last measure found, drawn alone
};

// A picture drawn band by band: the page laid out at the picture's size,
// one screen-compatible bitmap of a band's size, the rows done so far.
struct TWin32WebView::TPictureStep {
    std::function<void(TPageBitmap&)> Done;
    TStepFailed Failed;
    std::chrono::steady_clock::time_point Start;
    TSize View{};     // the view's size to go back to
    TSize Layout{};   // the control's size while it draws: the picture's, or enough for a box
    TPoint Origin{};  // where the picture starts in the page (a cropped box's top left)
    TPageBitmap Picture;
    std::unique_ptr<TWin32CaptureBitmap> Band;
    std::int32_t BandRows = 0;
    std::int32_t Next = 0;  // the first row not yet drawn
};

// Where the settle step is: watching the page, scrolling it through, or back
// at its top; what it waits for and until when.
struct TWin32WebView::TSettleStep {
    enum class TPhase { Settling, Scrolling, BackAtTop };
    std::function<void(bool)> Done;
    TStepFailed Failed;
    std::uint32_t Navigation = 0;  // the navigation it belongs to
    TPhase Phase = TPhase::Settling;
    std::chrono::milliseconds Quiet{};
    std::chrono::steady_clock::time_point Deadline;   // of the wait under way
    std::chrono::steady_clock::time_point ScrollEnd;  // of the whole scroll-through
    bool Settled = true;                              // quiet before the settle limit
    bool Waiting = false;                             // in the page's own wait after it
    std::int32_t Views = 0;
    std::int32_t NextY = 0;
    bool LastView = false;
};

// A measure or picture step that came back past its limit: its result is
// dropped, and its failure continuation called through the message loop.
struct TWin32WebView::TOverdueStep {
    TStepFailed Failed;
    std::string Message;
    std::uint32_t Navigation = 0;
};

// The capture form's web view, owned by the window ownerWindow (0: none).
std::unique_ptr<TWin32WebView> CreateCaptureWebView(THandle ownerWindow);

}  // namespace lum::win32
