#include "slideshow/Working.h"

#include <algorithm>
#include <limits>

#include "common/Bmp.h"
#include "slideshow/PageCache.h"

namespace lum {

namespace {

const std::string kBlankPage = "about:blank";
constexpr std::int64_t kMargin = 16;
constexpr std::uint32_t kDrawAspectDocPrint = 8;  // DVASPECT_DOCPRINT

// A page's scroll size plus the margin, kept within 32 bits: a document that
// reports a size near the integer limit gets a bitmap the platform refuses,
// never an overflowed one.
std::int32_t WithMargin(std::int32_t scrollSize) {
    const std::int64_t size = std::int64_t{scrollSize} + kMargin;
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(size, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TWorkingForm::TWorkingForm(std::unique_ptr<IWebView> web,
                           IFileSystem& fileSystem,
                           const ICaptureSource& source)
    : FWeb(std::move(web)), FFileSystem(fileSystem), FSource(source) {
    FWeb->OnDocumentComplete = [this](const std::string& url) { WebDocumentComplete(url); };
}

TWorkingForm::~TWorkingForm() {
    // The view goes with the form; it must not call back into a form that is
    // being destroyed.
    FWeb->OnDocumentComplete = nullptr;
    FWeb.reset();
}

void TWorkingForm::StartCapture() {
    if (FBusy)
        return;
    FNextIndex = 0;
    FWeb->Navigate(kBlankPage);
}

void TWorkingForm::WebDocumentComplete(const std::string& url) {
    FBusy = true;
    // A completion while no page of the list has been requested (the blank
    // page is still pending, so FNextIndex is 0) belongs to no page file:
    // page files are numbered from 0.
    if (url != kBlankPage && FNextIndex > 0)
        CapturePage();
    const auto& urls = FSource.URLs();
    if (urls.size() > static_cast<std::size_t>(FNextIndex)) {
        FWeb->Navigate(urls[static_cast<std::size_t>(FNextIndex)]);
        ++FNextIndex;
    } else {
        FBusy = false;
    }
}

// Captures the current top-level document into the file of page
// FNextIndex - 1. The bitmap is freed on every way out.
void TWorkingForm::CapturePage() {
    const std::unique_ptr<IHtmlObject> body = FWeb->GetDocumentBody();
    const std::unique_ptr<ICaptureBitmap> bitmap = FWeb->CreateCaptureBitmap();

    // Measured before anything changes: the page as laid out at the view's
    // current size (the size of the previous capture; it is never reset).
    std::int32_t width = WithMargin(body->GetIntProperty("scrollWidth"));
    std::int32_t height = WithMargin(body->GetIntProperty("scrollHeight"));

    body->GetObjectProperty("style")->PutStringProperty("overflow", "hidden");
    body->GetObjectProperty("style")->PutStringProperty("border", "0");

    if (!FSource.EnableScroll()) {
        width = std::min(width, FSource.Width());
        height = std::min(height, FSource.Height());
    }
    // A page file the display could not read back is never written: a
    // giant page is captured down to the largest picture the cache holds.
    width = std::min(width, kBmpMaxSide);
    height = std::min(height, kBmpMaxSide);
    const std::int64_t maxRows =
        static_cast<std::int64_t>(kBmpMaxBytes / 4) / std::max<std::int32_t>(width, 1);
    height = static_cast<std::int32_t>(std::min<std::int64_t>(height, maxRows));
    bitmap->SetWidth(width);
    bitmap->SetHeight(height);
    FWeb->SetWidth(width);
    FWeb->SetHeight(height);

    const TRect bounds{0, 0, bitmap->Width(), bitmap->Height()};
    bitmap->DrawView(kDrawAspectDocPrint, bounds);
    bitmap->SaveToFile(FFileSystem, GetCacheFileName(FFileSystem, FNextIndex - 1));
}

}  // namespace lum
