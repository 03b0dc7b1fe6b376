#include "slideshow/Working.h"

#include <algorithm>

#include "common/Bmp.h"
#include "common/Forms.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"

namespace lum {

namespace {

const std::string kBlankPage = "about:blank";
// How often a page may move on (a redirect by a refresh or a script) while it
// is being captured, each time starting its capture anew where it went.
constexpr int kMaxMoves = 3;

}  // namespace

TWorkingForm::TWorkingForm(std::unique_ptr<IWebView> web,
                           IFileSystem& fileSystem,
                           std::string cacheDir,
                           const ICaptureSource& source)
    : FWeb(std::move(web)),
      FFileSystem(fileSystem),
      FCacheDir(std::move(cacheDir)),
      FSource(source) {
    FWeb->OnDocumentComplete = [this](const std::string& url) { WebDocumentComplete(url); };
    FWeb->OnDocumentFailed = [this](const std::string& url, const TPageFailure& failure) {
        WebDocumentFailed(url, failure);
    };
}

TWorkingForm::~TWorkingForm() {
    // The view goes with the form; it must not call back into a form that is
    // being destroyed.
    Disconnect();
    FWeb.reset();
}

void TWorkingForm::Disconnect() {
    FDisconnected = true;
    FWriter.Cancel();
    ++FStep;
    FWeb->OnDocumentComplete = nullptr;
    FWeb->OnDocumentFailed = nullptr;
}

void TWorkingForm::StartCapture() {
    if (FBusy || FDisconnected)
        return;
    FRefused = !FWeb->BeginPass();
    if (FRefused)
        return;
    FNextIndex = 0;
    try {
        Load(kBlankPage, {});
    } catch (...) {
        FWeb->PassEnded();
        throw;
    }
}

// Every page is laid out at the display's size before it is measured, so it
// is captured as it would show on this screen, whatever the previous page
// made of the view.
// A page of the list is loaded with what its line asks of its capture; the
// blank page that starts a pass with nothing.
void TWorkingForm::Load(const std::string& url, const TCaptureOptions& options) {
    FWeb->SetViewSize(TSize{FSource.Width(), FSource.Height()});
    FCropping = !options.Crop.empty();
    FWeb->SetCaptureOptions(options);
    FWeb->Navigate(url);
}

void TWorkingForm::WebDocumentComplete(const std::string& url) {
    if (FDisconnected)
        return;
    // A blank frame of the page under capture (an empty advert's) is no
    // move of the page. A page that moves on while it is captured is captured
    // where it ends; one that never stops moving on (a reload loop) is taken
    // by the capture under way once it has moved on a few times.
    if (FCapturing && (url == kBlankPage || FMoves >= kMaxMoves))
        return;
    if (FCapturing)
        ++FMoves;
    FBusy = true;
    ++FStep;  // a capture still under way for an earlier completion is dropped
    // A completion while no page of the list has been requested (the blank
    // page is still pending, so FNextIndex is 0) belongs to no page file:
    // page files are numbered from 0.
    if (FNextIndex == 0)
        return RequestNextPage();
    if (url == kBlankPage) {
        // A blank frame, or an "about:blank" entry of the list: nothing to
        // capture. Such an entry has been tried all the same, so the display
        // does not wait for it.
        if (FPageUrl == kBlankPage)
            PageFailed(url, TPageFailure{TPageFailureKind::pfBlank, 0, {}});
        return RequestNextPage();
    }
    FInCompletion = true;
    FCapturing = true;
    try {
        CapturePage();
    } catch (const std::exception& e) {
        // The page cannot be captured (not an HTML document, a picture the
        // platform cannot make or hold, a file that cannot be written): it
        // fails like a page that did not load, and the pass goes on.
        FInCompletion = false;
        return StepFailed(e);
    }
    FInCompletion = false;
}

// A page that could not be loaded at all leaves its file as it was (the
// picture of an earlier pass stays on show), is marked as failed for the
// display and reported, and the pass goes on.
void TWorkingForm::WebDocumentFailed(const std::string& url, const TPageFailure& failure) {
    if (FDisconnected)
        return;
    ++FStep;
    FBusy = true;
    // A failure of the blank page that starts the pass belongs to no page.
    if (FNextIndex > 0)
        PageFailed(url, failure);
    RequestNextPage();
}

// Marks page FNextIndex - 1 as tried and failed: the display is told, the
// other programs find a record, and the log has one line, once per page and
// pass. A record that cannot be written holds nothing up.
void TWorkingForm::PageFailed(const std::string& url, const TPageFailure& failure) {
    const std::int32_t index = FNextIndex - 1;
    if (!WriteFailureRecord(FFileSystem, FCacheDir, index, failure))
        Application().Log("the file \"" + GetFailureFileName(FCacheDir, index) +
                          "\" cannot be written");
    Application().Log(FailureLogText(url, failure));
    Tried(index, FPageUrl, &failure);
}

void TWorkingForm::Tried(std::int32_t index, const std::string& url, const TPageFailure* failure) {
    if (OnPageTried)
        OnPageTried(index, url, failure);
}

// The end of a pass: the files of pages beyond the list (entries removed
// since) go, and the view may free what it holds.
void TWorkingForm::PassOver() {
    FBusy = false;
    RemovePagesFrom(FFileSystem, FCacheDir, static_cast<std::int32_t>(FSource.URLs().size()));
    FWeb->PassEnded();
}

void TWorkingForm::RequestNext() {
    FCapturing = false;
    FMoves = 0;
    const auto& urls = FSource.URLs();
    while (urls.size() > static_cast<std::size_t>(FNextIndex) && !FSource.PageDue(FNextIndex))
        ++FNextIndex;  // not due in this pass: its file stays as it is
    if (urls.size() > static_cast<std::size_t>(FNextIndex)) {
        // The entry as requested: the list may be read anew while the page
        // loads, and the picture is of this address whatever comes after.
        FPageUrl = urls[static_cast<std::size_t>(FNextIndex)];
        Load(FPageUrl, FSource.CaptureOptions(FNextIndex));
        ++FNextIndex;
    } else {
        PassOver();
    }
}

// Requests the next page. A page that cannot even be requested means the
// view itself is broken (a capture program that cannot be started): the pass
// ends with one line in the log, its remaining pages marked as failed (so the
// display does not wait for them), and the next pass tries again.
void TWorkingForm::RequestNextPage() {
    try {
        RequestNext();
    } catch (const std::exception& e) {
        const auto count = static_cast<std::int32_t>(FSource.URLs().size());
        const TPageFailure failure{TPageFailureKind::pfOther, 0, e.what()};
        for (std::int32_t index = FNextIndex; index < count; ++index) {
            WriteFailureRecord(FFileSystem, FCacheDir, index, failure);
            Tried(index, URLOf(index), &failure);
        }
        Application().Log("the capture pass ends: " + std::string(e.what()));
        FNextIndex = count;
        PassOver();
    }
}

std::string TWorkingForm::URLOf(std::int32_t index) const {
    const auto& urls = FSource.URLs();
    return index >= 0 && static_cast<std::size_t>(index) < urls.size()
               ? urls[static_cast<std::size_t>(index)]
               : std::string();
}

// Runs the continuation of a step. Within the completion event (a platform
// that answers at once) a failure leaves to the completion handler, which
// fails the page; a step that completes later fails the page here.
template <class F>
void TWorkingForm::RunStep(std::uint32_t step, F&& body) {
    if (FDisconnected || step != FStep)
        return;
    if (FInCompletion) {
        body();
        return;
    }
    try {
        body();
    } catch (const std::exception& e) {
        StepFailed(e);
    }
}

// Captures the current top-level document into the file of page
// FNextIndex - 1 once it has settled, then requests the next URL.
void TWorkingForm::CapturePage() {
    // Whatever led to this completion (a page of the pass, or a page that
    // reloaded itself), the page is measured as laid out at the display's
    // size.
    FWeb->SetViewSize(TSize{FSource.Width(), FSource.Height()});
    const std::uint32_t step = FStep;
    FWeb->SettlePage([this, step](bool settled) { RunStep(step, [&] { PageSettled(settled); }); },
                     [this, step](const std::string& message) {
                         RunStep(step, [&] { throw Exception(message); });
                     });
}

// The page has drawn what it draws after its load, or is taken as it stands
// at the settle limit (said once in the log).
void TWorkingForm::PageSettled(bool settled) {
    if (!settled) {
        // (Built piece by piece: GCC 12 warns of a false overlap in a chain
        // of + that starts with a literal.)
        std::string line = "\"";
        line += FPageUrl;
        line += "\" was still changing at the settle limit: taken as it stands";
        Application().Log(line);
    }
    const std::uint32_t step = FStep;
    FWeb->MeasurePage(
        [this, step](TSize scrollSize) { RunStep(step, [&] { PageMeasured(scrollSize); }); },
        [this, step](const std::string& message) {
            RunStep(step, [&] { throw Exception(message); });
        });
}

// The picture is exactly the page as a browser window of the display's size
// shows it: its scroll size as laid out at that size (the view keeps the size
// while the picture is taken, so a page laid out in viewport units keeps its
// layout), never smaller than the window (a short page's background fills
// it), the window's size itself unless pages are scrolled, and down to the
// height cap and the bytes a picture may hold.
void TWorkingForm::PageMeasured(TSize scrollSize) {
    std::int32_t width = std::max(scrollSize.Width, FSource.Width());
    std::int32_t height = std::max(scrollSize.Height, FSource.Height());
    if (FCropping) {
        // One element's box: its own size, small or tall.
        width = scrollSize.Width;
        height = scrollSize.Height;
    } else if (!FSource.PageScroll(FNextIndex - 1)) {
        width = FSource.Width();
        height = FSource.Height();
    }
    // A page file the display could not read back is never written, and no
    // picture holds more than kPictureMaxBytes: a wider page keeps fewer rows.
    static_assert(kPictureMaxBytes <= kBmpMaxBytes);
    width = std::clamp(width, 1, kBmpMaxSide);
    const std::int32_t rows = PictureHeightCap(width);
    if (height > rows) {
        height = rows;
        ReportTallPage(FPageUrl, scrollSize.Height, rows);
    }
    height = std::max(height, 1);

    const TSize size{width, height};
    const std::uint32_t step = FStep;
    FWeb->TakePicture(
        size, [this, step](TPageBitmap& picture) { RunStep(step, [&] { PictureTaken(picture); }); },
        [this, step](const std::string& message) {
            RunStep(step, [&] { throw Exception(message); });
        });
}

// Said once per page of the list for the whole run, not at every pass.
void TWorkingForm::ReportTallPage(const std::string& url, std::int32_t height, std::int32_t rows) {
    if (!FReportedTall.insert(url).second)
        return;
    std::string line = "\"";
    line += url;
    line += "\" is " + std::to_string(height) + " pixels tall: its first " + std::to_string(rows) +
            " are captured";
    Application().Log(line);
}

// The file is written away from the message loop (hundreds of megabytes,
// flushed to the disk, take seconds there): the display keeps answering
// meanwhile. The pass goes on once it is written.
void TWorkingForm::PictureTaken(TPageBitmap& picture) {
    const std::int32_t index = FNextIndex - 1;
    auto owned = std::make_shared<const TPageBitmap>(std::move(picture));
    const std::uint32_t step = FStep;
    FWriter.Start([&files = FFileSystem, cacheDir = FCacheDir, index, url = FPageUrl,
                   owned] { WritePageFile(files, cacheDir, index, url, *owned); },
                  [this, step, index, url = FPageUrl](std::exception_ptr error) {
                      RunStep(step, [&] {
                          if (error)
                              std::rethrow_exception(error);
                          PictureWritten(index, url);
                      });
                  });
}

void TWorkingForm::PictureWritten(std::int32_t index, const std::string& url) {
    // Captured: a failure of an earlier attempt no longer stands.
    FFileSystem.DeleteFile(GetFailureFileName(FCacheDir, index));
    Tried(index, url, nullptr);
    RequestNextPage();
}

// A page whose capture failed after it loaded: it keeps its earlier file,
// is marked as failed, and the pass goes on with the next page.
void TWorkingForm::StepFailed(const std::string& message, TPageFailureKind kind) {
    ++FStep;
    PageFailed(FPageUrl, TPageFailure{kind, 0, message});
    RequestNextPage();
}

// A picture that could not be held (its pixels, the platform's bitmap, a
// buffer on the way to the file) is said to be one: the memory it asked for
// is free again once the failure got here, and the pass goes on.
void TWorkingForm::StepFailed(const std::exception& e) {
    StepFailed(e.what(),
               IsOutOfMemory(e) ? TPageFailureKind::pfOutOfMemory : TPageFailureKind::pfOther);
}

}  // namespace lum
