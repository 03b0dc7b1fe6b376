// The web view the page capture drives, the same on every platform: load a
// URL, measure the loaded page, size the view, take its picture. A step may
// complete later, through the event loop; a platform that can answer at once
// (the Windows control) calls the continuation before returning. A step that
// fails at once throws lum::Exception; one that fails later calls its failure
// continuation instead. Destroying the view drops every pending continuation
// uncalled. A platform whose steps could hang bounds them with a time limit
// and fails them, so that every step ends one way or the other.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Types.h"

namespace lum {

// The tallest picture a page is captured at: a taller page (an endless
// feed, a long log) is captured down to its first kPageHeightCap rows (or
// PictureHeightCap's fewer, when wide), and a web view scrolls a page through
// no further than that.
inline constexpr std::int32_t kPageHeightCap = 32000;

// The most bytes of 32-bit pixels one picture holds. A 32-bit process has
// 2 to 4 GB of address space, and a picture is held more than once (the
// capture's drawing and its pixels, the display's picture on each monitor):
// a page wider than about 2000 pixels is captured down to fewer rows than
// kPageHeightCap, so that no picture takes more than this.
inline constexpr std::uint64_t kPictureMaxBytes = std::uint64_t{256} << 20;

// The most rows a picture width pixels wide is captured at: kPageHeightCap,
// or fewer where kPictureMaxBytes would be passed; at least one.
constexpr std::int32_t PictureHeightCap(std::int32_t width) {
    if (width <= 0)
        return kPageHeightCap;
    const std::uint64_t rows = kPictureMaxBytes / (std::uint64_t(width) * 4);
    return rows >= std::uint64_t(kPageHeightCap) ? kPageHeightCap
           : rows == 0                           ? 1
                                                 : static_cast<std::int32_t>(rows);
}

// The longest each step of a page's capture may take, in milliseconds, after
// which the page fails as not answering (a load that never ends, a page that
// never settles is taken as it stands) and the pass goes on; and the
// longest one capture can take, step by step.
inline constexpr std::uint32_t kLoadLimitMs = 30000;
inline constexpr std::uint32_t kSettleLimitMs = 45000;
inline constexpr std::uint32_t kMeasureLimitMs = 15000;
inline constexpr std::uint32_t kPictureLimitMs = 40000;
inline constexpr std::uint32_t kCaptureLimitMs =
    kLoadLimitMs + kSettleLimitMs + kMeasureLimitMs + kPictureLimitMs;

// The scroll-through of a page taller than the view, as a person scrolls it
// so that what loads as it comes into view is there: at most kScrollViews
// views; each waits at most kScrollViewLimitMs for what came into it, until
// it has been quiet for kScrollViewQuietMs; back at the top the page may
// take kScrollTopLimitMs to settle again. The whole scroll-through has the
// settle limit once more.
inline constexpr std::int32_t kScrollViews = 60;
inline constexpr std::uint32_t kScrollViewLimitMs = 1000;
inline constexpr std::uint32_t kScrollViewQuietMs = 150;
inline constexpr std::uint32_t kScrollTopLimitMs = 2000;

class TPageBitmap;

using TStepFailed = std::function<void(const std::string& message)>;

// Why a page could not be loaded, as far as the user is told: the kind picks
// the words shown on the page's card, the detail is the engine's own text.
enum class TPageFailureKind {
    pfOther,         // anything else (an engine that crashed, a page it cannot draw)
    pfNoAnswer,      // no answer within the time limit
    pfRefused,       // the connection was refused or could not be made
    pfNameNotFound,  // the host name is unknown
    pfHttpStatus,    // the server answered with an error status (Status)
    pfDownload,      // a file to download, not a page
    pfCertificate,   // the server's certificate is not trusted
    pfBlank,         // "about:blank": there is nothing to capture
    pfOutOfMemory,   // the picture could not be held for lack of memory
};

struct TPageFailure {
    TPageFailureKind Kind = TPageFailureKind::pfOther;
    std::int32_t Status = 0;  // the HTTP status of pfHttpStatus
    std::string Detail;       // the engine's message; may be empty
};

// What a page's own line asks of its capture: the engine's zoom from its
// load on, extra request headers of its top-level load, a wait once it has
// settled, elements hidden before it is measured, and one element whose
// box alone is the picture. The defaults ask nothing.
struct TCaptureOptions {
    std::int32_t ZoomPercent = 100;  // the browser's zoom, not a scaling of the picture
    std::int32_t WaitSeconds = 0;
    std::string Hide;  // a CSS selector list; empty: nothing hidden
    std::string Crop;  // a CSS selector; empty: the whole page
    std::vector<std::pair<std::string, std::string>> Headers;  // name, value (a secret)
    bool operator==(const TCaptureOptions&) const = default;
};

class IWebView {
  public:
    virtual ~IWebView() = default;

    // Fired when the top-level document has completed (never for one of its
    // frames), with its URL, later, through the event loop. A platform that
    // gives up waiting for a page that never finishes (kLoadLimitMs) either
    // fires it for the page as it stands or fails the page as not answering
    // (OnDocumentFailed).
    std::function<void(const std::string& url)> OnDocumentComplete;
    // Fired, later, when the top-level page could not be loaded at all (no
    // answer, an error status, a download, an untrusted certificate): there
    // is nothing worth keeping, and no error page of the engine's follows.
    std::function<void(const std::string& url, const TPageFailure& failure)> OnDocumentFailed;

    // Starts loading url and returns at once.
    virtual void Navigate(const std::string& url) = 0;
    // The options of the pages that the Navigates from now on load, until
    // they are set again: the load takes the zoom and the headers, the
    // settle step waits WaitSeconds once the page has settled, the measure
    // first hides what Hide selects and, with a Crop, measures the first
    // element it selects (its box, in the picture's pixels; none selected:
    // the measure fails so), and the picture is then that box alone, from
    // its top left. A platform that cannot apply an option leaves it out.
    virtual void SetCaptureOptions(const TCaptureOptions& options) { (void)options; }
    // Gives the view its size in pixels: the size the pages are laid out at
    // (the display's). It keeps that size while a picture is taken.
    virtual void SetViewSize(const TSize& size) = 0;
    // Waits until the loaded top-level document has settled, as a person
    // looking at it would wait: its scripts have drawn what they draw after
    // the load, the requests and images it still loads have arrived, its
    // fonts are there and nothing has changed for a while. done(true) once it
    // has; done(false) when the platform's settle limit came first (the page
    // is then taken as it stands: a clock, a live chart). A platform that
    // cannot watch its pages calls done(true) at once.
    virtual void SettlePage(std::function<void(bool settled)> done, TStepFailed failed) = 0;
    // Puts "overflow: hidden" and "border: 0" on the current top-level
    // document's body, so that no scroll bar takes room from the page and the
    // picture shows neither scroll bars nor the body's border; then measures
    // the document as laid out so: its whole scroll width and height in
    // pixels of the picture (the larger of the body's and the root
    // element's, so that the body's margins are inside; never less than the
    // view's). An engine that draws a CSS pixel larger than one pixel (at a
    // display scaling of 150 %, say) gives the size as drawn, rounded up.
    virtual void MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) = 0;
    // Draws the document as laid out at the view's size into a picture of
    // exactly size, from its top left, beyond the view where the picture is
    // larger (fixed elements once, where they are at the top of the page);
    // white where the document draws nothing. The picture is done's to keep
    // (it may move it away); otherwise it lives only for the call.
    virtual void TakePicture(const TSize& size,
                             std::function<void(TPageBitmap& picture)> done,
                             TStepFailed failed) = 0;
    // A pass is about to start: false when it may not now (a platform where
    // one capture runs at a time per user, and another program's is under
    // way); the pass is then left out and the next one asks again.
    virtual bool BeginPass() { return true; }
    // The pass is over (or was given up): a view that is costly to keep (an
    // engine with helper processes) may free it until the next Navigate, and
    // what BeginPass took is given back.
    virtual void PassEnded() {}
};

}  // namespace lum
