// A scriptable web view for the capture tests: pages with scroll sizes by
// URL (fixed, or filling whatever size the view has), a log of every
// operation in order, injectable failures, and steps that complete at once
// (as the Windows control does) or later, when the test runs them (as an
// engine that answers through the event loop does). Completion events are
// fired by the test (Complete).
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "platform/WebView.h"

namespace lum::fakes {

struct TFakePage {
    std::int32_t ScrollWidth = 0;
    std::int32_t ScrollHeight = 0;
    bool Html = true;  // false: a document without an HTML body
    // A page that adapts to its window: its scroll size is the view's size
    // (at least ScrollWidth x ScrollHeight).
    bool FillsView = false;
    // A page that never stops changing: it is taken at the settle limit.
    bool NeverSettles = false;
    // The box of the element a crop option selects; none: nothing matches.
    std::optional<TSize> CropBox = std::nullopt;
};

class TFakeWebView : public IWebView {
  public:
    std::map<std::string, TFakePage> Pages;  // unknown URLs are empty HTML pages
    std::vector<std::string> Navigations;
    // The options each navigation was made with, in order.
    std::vector<TCaptureOptions> NavigationOptions;
    // "navigate X", "view 640x480", "settle", "measure", "picture 516x916"
    std::vector<std::string> Log;
    TSize ViewSize{153, 73};        // the control's extent on the form
    std::vector<TSize> MeasuredAt;  // view size whenever a page was measured
    int Pictures = 0;               // pictures handed over
    int PassesEnded = 0;
    bool FailNavigate = false;
    bool FailSetSize = false;
    bool FailSettle = false;
    bool FailPicture = false;
    // The picture cannot be held: the step throws std::bad_alloc from the
    // call itself, as a platform that answers at once does (not with Async).
    bool OutOfMemoryOnPicture = false;
    bool RefusePass = false;  // BeginPass says no (another program captures)
    int PassesBegun = 0;
    // Steps complete when the test calls RunSteps, not before returning.
    bool Async = false;
    // Largest picture really filled in; a larger one is only logged and
    // handed over as 1 x 1 (the tests of giant pages look at sizes).
    std::int64_t MaxPicturePixels = std::int64_t{1} << 22;
    bool* Destroyed = nullptr;  // set to true by the destructor

    ~TFakeWebView() override {
        if (Destroyed)
            *Destroyed = true;
    }

    // Fires the completion event as the control would.
    void Complete(const std::string& url) {
        if (OnDocumentComplete)
            OnDocumentComplete(url);
    }
    // Completes the document last navigated to.
    void CompleteCurrent() { Complete(Navigations.at(Navigations.size() - 1)); }
    void Fail(const std::string& url,
              const std::string& message,
              TPageFailureKind kind = TPageFailureKind::pfOther) {
        if (OnDocumentFailed)
            OnDocumentFailed(url, TPageFailure{kind, 0, message});
    }
    // Runs the pending steps, the ones they start included.
    void RunSteps() {
        while (!FPending.empty()) {
            auto step = std::move(FPending.front());
            FPending.pop_front();
            step();
        }
    }
    std::size_t PendingSteps() const { return FPending.size(); }

    void Navigate(const std::string& url) override {
        Log.push_back("navigate " + url);
        if (FailNavigate)
            throw Exception("navigation failed");
        Navigations.push_back(url);
        NavigationOptions.push_back(FOptions);
        FCurrent = url;
    }
    void SetCaptureOptions(const TCaptureOptions& options) override { FOptions = options; }
    void SetViewSize(const TSize& size) override {
        Log.push_back("view " + std::to_string(size.Width) + "x" + std::to_string(size.Height));
        if (FailSetSize)
            throw Exception("size failed");
        ViewSize = size;
    }
    void SettlePage(std::function<void(bool)> done, TStepFailed failed) override {
        Log.push_back("settle");
        Step([this, done, failed] {
            if (FailSettle) {
                failed("the page did not answer");
                return;
            }
            done(!CurrentPage().NeverSettles);
        });
    }
    void MeasurePage(std::function<void(TSize)> done, TStepFailed failed) override {
        Log.push_back("measure");
        Step([this, done, failed] {
            const TFakePage& page = CurrentPage();
            if (!page.Html) {
                failed("not an HTML document");
                return;
            }
            MeasuredAt.push_back(ViewSize);
            if (!FOptions.Crop.empty()) {
                if (!page.CropBox)
                    failed("no element matches crop=\"" + FOptions.Crop + "\"");
                else
                    done(*page.CropBox);
                return;
            }
            TSize size{page.ScrollWidth, page.ScrollHeight};
            if (page.FillsView) {
                size.Width = std::max(size.Width, ViewSize.Width);
                size.Height = std::max(size.Height, ViewSize.Height);
            }
            done(size);
        });
    }
    void TakePicture(const TSize& size,
                     std::function<void(TPageBitmap&)> done,
                     TStepFailed failed) override {
        Log.push_back("picture " + std::to_string(size.Width) + "x" + std::to_string(size.Height) +
                      " view " + std::to_string(ViewSize.Width) + "x" +
                      std::to_string(ViewSize.Height));
        Step([this, size, done, failed] {
            if (FailPicture) {
                failed("the picture cannot be taken");
                return;
            }
            if (OutOfMemoryOnPicture)
                throw std::bad_alloc();
            const bool giant = std::int64_t{size.Width} * size.Height > MaxPicturePixels;
            TPageBitmap picture(giant ? 1 : size.Width, giant ? 1 : size.Height);
            std::fill(picture.Pixels(),
                      picture.Pixels() + std::size_t(picture.Width()) * picture.Height(),
                      0x00FFFFFFu);
            ++Pictures;
            done(picture);
        });
    }
    bool BeginPass() override {
        Log.push_back("begin pass");
        ++PassesBegun;
        return !RefusePass;
    }
    void PassEnded() override {
        Log.push_back("pass ended");
        ++PassesEnded;
    }

    const TFakePage& CurrentPage() {
        static const TFakePage empty;
        auto it = Pages.find(FCurrent);
        return it == Pages.end() ? empty : it->second;
    }

  private:
    // A failing step that completes at once throws, as the control's calls do.
    void Step(std::function<void()> step) {
        if (Async)
            FPending.push_back(std::move(step));
        else
            step();
    }

    std::string FCurrent;

    TCaptureOptions FOptions;  // of the navigations from now on
    std::deque<std::function<void()>> FPending;
};

}  // namespace lum::fakes
