// A web view that holds its engine only while a capture pass runs: the
// engine is made at the first navigation of a pass and released once the
// pass has ended, so that a run that only shows pictures between passes
// keeps no browser engine (and none of its helper processes) in memory.
// Failures are the engine's; making an engine that fails throws.
#pragma once

#include <functional>
#include <memory>

#include "platform/WebView.h"

namespace lum {

class TPassWebView final : public IWebView {
  public:
    using TEngineFactory = std::function<std::unique_ptr<IWebView>()>;
    explicit TPassWebView(TEngineFactory makeEngine);
    ~TPassWebView() override;
    TPassWebView(const TPassWebView&) = delete;
    TPassWebView& operator=(const TPassWebView&) = delete;

    void Navigate(const std::string& url) override;
    void SetViewSize(const TSize& size) override;
    void MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) override;
    void TakePicture(const TSize& size,
                     std::function<void(const TPageBitmap& picture)> done,
                     TStepFailed failed) override;
    // Releases the engine from the event loop after the current event: this
    // call comes from within one of the engine's own continuations.
    void PassEnded() override;

    bool HasEngine() const { return FEngine != nullptr; }

  private:
    IWebView& Engine();

    TEngineFactory FMakeEngine;
    std::unique_ptr<IWebView> FEngine;
    TSize FViewSize;
};

}  // namespace lum
