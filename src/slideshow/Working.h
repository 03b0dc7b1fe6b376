// The capture form: loads the display form's URLs one at a time into its web
// view, each laid out at the display's size, and stores each completed page,
// once it has settled, as that page's cache file: a picture of exactly the
// page, up to a height cap and a cap on its bytes. The steps of one capture
// (settle, measure, take the picture, write the file) may complete later
// through the event loop.
// A page that cannot be loaded or captured keeps its earlier file, gets a
// failure record beside it ("<k>.failed", for the display's card), is
// written to the log, and the pass moves on to the next page: no page can
// hold a pass. Only a failing first navigation of a pass (the blank page)
// leaves StartCapture as lum::Exception.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/BackgroundJob.h"
#include "platform/FileSystem.h"
#include "platform/WebView.h"

namespace lum {

// What the capture reads of the display form; it writes nothing there.
class ICaptureSource {
  public:
    virtual ~ICaptureSource() = default;
    virtual const std::vector<std::string>& URLs() const = 0;
    virtual bool EnableScroll() const = 0;
    // Whether page k is to be captured now (a page outside its days or
    // hours, or captured within its own minutes between captures, is
    // passed over), and whether it is scrolled (its whole length captured).
    virtual bool PageDue(std::int32_t k) const {
        (void)k;
        return true;
    }
    virtual bool PageScroll(std::int32_t k) const {
        (void)k;
        return EnableScroll();
    }
    // What page k's line asks of its capture (zoom, headers, wait, hide, crop).
    virtual TCaptureOptions CaptureOptions(std::int32_t k) const {
        (void)k;
        return {};
    }
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
};

class TWorkingForm {
  public:
    // Takes the web view (the form's window with its control) and binds its
    // events. Page k is written to "<cacheDir>k.bmp".
    TWorkingForm(std::unique_ptr<IWebView> web,
                 IFileSystem& fileSystem,
                 std::string cacheDir,
                 const ICaptureSource& source);
    ~TWorkingForm();
    TWorkingForm(const TWorkingForm&) = delete;
    TWorkingForm& operator=(const TWorkingForm&) = delete;

    // Tells the display of every page tried, as soon as it is: captured (no
    // failure) or failed, with the address tried. The display learns of this
    // run's pages so, not through the files.
    std::function<void(std::int32_t index, const std::string& url, const TPageFailure* failure)>
        OnPageTried;

    // Starts a pass with the blank page unless one is under way, or leaves
    // it out when the web view may not capture now (PassRefused() then holds
    // until a pass starts).
    void StartCapture();
    bool PassRefused() const { return FRefused; }
    // The web view's events.
    void WebDocumentComplete(const std::string& url);
    void WebDocumentFailed(const std::string& url, const TPageFailure& failure);
    // The run is over: from now on no event or late step of the view
    // touches anything (the form itself is destroyed later).
    void Disconnect();

    std::int32_t NextIndex() const { return FNextIndex; }
    bool Busy() const { return FBusy; }
    IWebView& Web() { return *FWeb; }

  private:
    void Load(const std::string& url, const TCaptureOptions& options);
    void RequestNext();
    void RequestNextPage();
    void PageFailed(const std::string& url, const TPageFailure& failure);
    std::string URLOf(std::int32_t index) const;
    void CapturePage();
    void PageSettled(bool settled);
    void PageMeasured(TSize scrollSize);
    void ReportTallPage(const std::string& url, std::int32_t height, std::int32_t rows);
    void PictureTaken(TPageBitmap& picture);
    void PictureWritten(std::int32_t index, const std::string& url);
    void Tried(std::int32_t index, const std::string& url, const TPageFailure* failure);
    void PassOver();
    void StepFailed(const std::exception& e);
    void StepFailed(const std::string& message, TPageFailureKind kind = TPageFailureKind::pfOther);
    template <class F>
    void RunStep(std::uint32_t step, F&& body);

    std::unique_ptr<IWebView> FWeb;
    IFileSystem& FFileSystem;
    std::string FCacheDir;
    const ICaptureSource& FSource;
    std::int32_t FNextIndex = 0;  // next URL to load; k + 1 while page k loads
    std::string FPageUrl;         // the entry of page FNextIndex - 1 as requested
    bool FBusy = false;           // a pass is under way
    // Each completion starts a new capture; a late step of an earlier one
    // (or of a disconnected form) finds its number out of date and is dropped.
    std::uint32_t FStep = 0;
    bool FInCompletion = false;  // a completion event is being handled
    bool FCapturing = false;     // a page's capture is under way
    bool FCropping = false;      // the page's picture is one element's box
    int FMoves = 0;              // times the page under capture moved on
    bool FDisconnected = false;
    bool FRefused = false;                // the last pass asked for was left out
    std::set<std::string> FReportedTall;  // pages said to be over the height cap
    TBackgroundJob FWriter;               // the page file being written, if any
};

}  // namespace lum
