#include "slideshow/PassWebView.h"

#include "common/Forms.h"

namespace lum {

TPassWebView::TPassWebView(TEngineFactory makeEngine) : FMakeEngine(std::move(makeEngine)) {}

TPassWebView::~TPassWebView() = default;

IWebView& TPassWebView::Engine() {
    if (!FEngine) {
        std::unique_ptr<IWebView> engine = FMakeEngine();
        engine->OnDocumentComplete = [this](const std::string& url) {
            if (OnDocumentComplete)
                OnDocumentComplete(url);
        };
        engine->OnDocumentFailed = [this](const std::string& url, const std::string& message) {
            if (OnDocumentFailed)
                OnDocumentFailed(url, message);
        };
        engine->SetViewSize(FViewSize);
        FEngine = std::move(engine);
    }
    return *FEngine;
}

void TPassWebView::Navigate(const std::string& url) {
    Engine().Navigate(url);
}

void TPassWebView::SetViewSize(const TSize& size) {
    FViewSize = size;
    if (FEngine)
        FEngine->SetViewSize(size);
}

// Measuring and drawing need the page of this pass: without an engine there
// is none (a completion that came after the pass, from an engine since let
// go, never reaches here).
void TPassWebView::MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) {
    if (!FEngine)
        throw Exception("no page is loaded");
    FEngine->MeasurePage(std::move(done), std::move(failed));
}

void TPassWebView::TakePicture(const TSize& size,
                               std::function<void(const TPageBitmap& picture)> done,
                               TStepFailed failed) {
    if (!FEngine)
        throw Exception("no page is loaded");
    FEngine->TakePicture(size, std::move(done), std::move(failed));
}

void TPassWebView::PassEnded() {
    if (!FEngine)
        return;
    // The engine says nothing more to this view, and goes once the event
    // that ended the pass is over.
    FEngine->OnDocumentComplete = nullptr;
    FEngine->OnDocumentFailed = nullptr;
    Application().Release(std::move(FEngine));
}

}  // namespace lum
