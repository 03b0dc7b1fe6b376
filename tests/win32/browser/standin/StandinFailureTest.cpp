// The capture window against the stand-in WebBrowser control when a page
// gives nothing to capture (NavigateError, a file download), what the site
// tells the control it may download, the whole document's size (body and
// root element), and a page that reloads itself after its capture.
#include <windows.h>

#include <mshtmdid.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "common/Forms.h"
#include "slideshow/PageFailure.h"
#include "slideshow/Working.h"
#include "win32/PumpMessages.h"
#include "win32/ReportPlatform.h"
#include "win32/Strings.h"
#include "win32/Win32FileSystem.h"
#include "win32/browser/Win32WebView.h"
#include "win32/browser/standin/StandinPages.h"
#include "win32/browser/standin/StandinRegistration.h"

namespace lum::win32 {
namespace {

using namespace lum::standin;

constexpr UINT kStandinStep = WM_APP + 1;  // the stand-in's posted navigation step

enum TOutcome {
    kErrorPages,
    kErrorsCancelled,
    kDownloadsCancelled,
    kDownloadsStarted,
    kPagesCancelled,
    kLoadsStopped
};

struct TSeen {
    std::vector<std::string> Completed;
    std::vector<std::pair<std::string, TPageFailure>> Failed;
    std::size_t Events() const { return Completed.size() + Failed.size(); }
};

class TSource final : public ICaptureSource {
  public:
    std::vector<std::string> Urls;
    const std::vector<std::string>& URLs() const override { return Urls; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 1024; }
    std::int32_t Height() const override { return 768; }
};

// Passes everything to the capture window and notes the size of every
// picture taken.
class TRecordingView final : public IWebView {
  public:
    explicit TRecordingView(std::vector<TSize>& pictures)
        : FView(CreateCaptureWebView(0)), FPictures(pictures) {
        FView->OnDocumentComplete = [this](const std::string& url) {
            if (OnDocumentComplete)
                OnDocumentComplete(url);
        };
        FView->OnDocumentFailed = [this](const std::string& url, const TPageFailure& failure) {
            if (OnDocumentFailed)
                OnDocumentFailed(url, failure);
        };
    }
    void Navigate(const std::string& url) override { FView->Navigate(url); }
    void SetViewSize(const TSize& size) override { FView->SetViewSize(size); }
    void SettlePage(std::function<void(bool)> done, TStepFailed failed) override {
        FView->SettlePage(std::move(done), std::move(failed));
    }
    void MeasurePage(std::function<void(TSize)> done, TStepFailed failed) override {
        FView->MeasurePage(std::move(done), std::move(failed));
    }
    void TakePicture(const TSize& size,
                     std::function<void(TPageBitmap&)> done,
                     TStepFailed failed) override {
        FPictures.push_back(size);
        FView->TakePicture(size, std::move(done), std::move(failed));
    }

  private:
    std::unique_ptr<TWin32WebView> FView;
    std::vector<TSize>& FPictures;
};

std::string TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::string folder = Narrow(temp) + "lum-failure-" + std::to_string(::GetTickCount());
    ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
    return folder + "\\";
}

class StandinFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FRegistration.Register(Widen(LUM_STANDIN_DLL)));
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        FApplication.Title = "Lumenary";
        SetApplication(&FApplication);
    }
    void TearDown() override {
        PumpMessages(20);
        SetApplication(nullptr);
        ::OleUninitialize();
        FRegistration.Unregister();
    }

    // A function the stand-in exports for tests; nullptr when it is not loaded.
    template <class F>
    static F* Export(const char* name) {
        const HMODULE dll = ::GetModuleHandleW(L"LumenaryStandin.dll");
        return dll ? reinterpret_cast<F*>(reinterpret_cast<void*>(::GetProcAddress(dll, name)))
                   : nullptr;
    }
    static LONG Outcome(TOutcome outcome) {
        // A stand-in not loaded yet has counted nothing.
        auto* call = Export<LONG WINAPI(LONG)>("StandinOutcomes");
        return call ? call(outcome) : 0;
    }
    static LONG DownloadControl() {
        auto* call = Export<LONG WINAPI()>("StandinDownloadControl");
        return call ? call() : -100;
    }

    std::unique_ptr<TWin32WebView> NewView(TSeen& seen) {
        auto view = CreateCaptureWebView(0);
        view->OnDocumentComplete = [&seen](const std::string& url) {
            seen.Completed.push_back(url);
        };
        view->OnDocumentFailed = [&seen](const std::string& url, const TPageFailure& failure) {
            seen.Failed.emplace_back(url, failure);
        };
        return view;
    }

    static void PumpUntil(const TSeen& seen, std::size_t events, DWORD ms = 3000) {
        const DWORD start = ::GetTickCount();
        while (seen.Events() < events && ::GetTickCount() - start < ms)
            PumpMessages(5);
        PumpMessages(60);  // and whatever would wrongly come after
    }

    TStandinRegistration FRegistration;
    TReportPlatform FPlatform;
    TApplication FApplication{FPlatform};
};

TEST_F(StandinFailure, PageErrorIsReportedOnceLaterWithItsKindAndNoErrorPageFollows) {
    using enum TPageFailureKind;
    struct TCase {
        const char* Url;
        TPageFailureKind Kind;
        std::int32_t Status;
        const char* Detail;
    };
    const TCase cases[] = {
        {"standin:error?code=800C0005&repeat=3", pfNameNotFound, 0, "0x800C0005"},
        {"standin:error?status=404", pfHttpStatus, 404, ""},
        {"standin:error?status=503", pfHttpStatus, 503, ""},
        {"standin:error?code=800C0004", pfRefused, 0, "0x800C0004"},
        {"standin:error?code=800C000B", pfNoAnswer, 0, "0x800C000B"},
        {"standin:error?code=800C0019", pfCertificate, 0, "0x800C0019"},
        {"standin:error?code=800B0109", pfCertificate, 0, "0x800B0109"},
        {"standin:error?code=800C0008", pfOther, 0, "0x800C0008"},
        {"standin:error?code=800C0010", pfOther, 0, "0x800C0010"},
    };
    const LONG cancelled = Outcome(kErrorsCancelled);
    for (const TCase& c : cases) {
        TSeen seen;
        auto view = NewView(seen);
        view->Navigate(c.Url);
        // Only the control's step: the failure is reported to the site...
        MSG msg;
        ASSERT_TRUE(::PeekMessageW(&msg, nullptr, kStandinStep, kStandinStep, PM_REMOVE));
        ::DispatchMessageW(&msg);
        // ...and handed on later, not from within the control's event.
        EXPECT_TRUE(seen.Failed.empty()) << c.Url;
        view->Navigate(c.Url);  // the first navigation's failure is stale now
        PumpUntil(seen, 1);
        EXPECT_TRUE(seen.Completed.empty()) << c.Url;
        ASSERT_EQ(seen.Failed.size(), 1u) << c.Url;
        EXPECT_EQ(seen.Failed[0].first, c.Url);
        EXPECT_EQ(seen.Failed[0].second.Kind, c.Kind) << c.Url;
        EXPECT_EQ(seen.Failed[0].second.Status, c.Status) << c.Url;
        EXPECT_EQ(seen.Failed[0].second.Detail, c.Detail) << c.Url;
    }
    EXPECT_EQ(Outcome(kErrorPages), 0);
    EXPECT_EQ(Outcome(kErrorsCancelled), cancelled + 2 * static_cast<LONG>(std::size(cases)));
}

TEST_F(StandinFailure, ErrorPageThatFollowsAllTheSameIsNeverTakenForThePage) {
    TSeen seen;
    auto view = NewView(seen);
    const LONG errorPages = Outcome(kErrorPages);
    view->Navigate("standin:error?code=800C0005&errorpage=1");
    PumpUntil(seen, 2, 500);
    EXPECT_EQ(Outcome(kErrorPages), errorPages + 1);  // it did complete
    EXPECT_TRUE(seen.Completed.empty());
    ASSERT_EQ(seen.Failed.size(), 1u);
    EXPECT_EQ(seen.Failed[0].second.Kind, TPageFailureKind::pfNameNotFound);
    // The next navigation completes as usual.
    view->Navigate("standin:fill");
    PumpUntil(seen, 2);
    EXPECT_EQ(seen.Completed, std::vector<std::string>{"standin:fill"});
}

// The frames' completions are not the page's: only its own is seen.
TEST_F(StandinFailure, FrameErrorLeavesThePageToComplete) {
    TSeen seen;
    auto view = NewView(seen);
    view->Navigate("standin:frames?n=2&frameerror=1");
    PumpUntil(seen, 1);
    PumpMessages(30);
    EXPECT_TRUE(seen.Failed.empty());
    EXPECT_EQ(seen.Completed, std::vector<std::string>{"standin:frames?n=2&frameerror=1"});
}

TEST_F(StandinFailure, HandlerExceptionIsReportedAndNeverCrossesTheControl) {
    TSeen seen;
    auto view = NewView(seen);
    view->OnDocumentFailed = [&](const std::string& url, const TPageFailure&) {
        seen.Completed.push_back(url);
        throw Exception("card failed");
    };
    view->Navigate("standin:error?status=500");
    PumpUntil(seen, 1);
    EXPECT_EQ(seen.Completed.size(), 1u);
    ASSERT_EQ(FPlatform.Reports.size(), 1u);
    EXPECT_EQ(FPlatform.Reports[0], "card failed");
    // The control goes on working.
    view->OnDocumentFailed = nullptr;
    view->Navigate("standin:fill");
    PumpUntil(seen, 2);
    EXPECT_EQ(seen.Completed.back(), "standin:fill");
}

TEST_F(StandinFailure, SiteGivesTheDownloadControlsAndCancelsEveryFileDownload) {
    TSeen seen;
    auto view = NewView(seen);
    const LONG flags = DownloadControl();
    EXPECT_EQ(flags, DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS |
                         DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_BEHAVIORS | DLCTL_SILENT);
    EXPECT_EQ(flags & (DLCTL_BGSOUNDS | DLCTL_NO_SCRIPTS | DLCTL_NOFRAMES | DLCTL_NO_FRAMEDOWNLOAD),
              0);

    const LONG cancelled = Outcome(kDownloadsCancelled);
    const LONG pagesCancelled = Outcome(kPagesCancelled);
    view->Navigate("standin:download");
    PumpUntil(seen, 1);
    EXPECT_EQ(Outcome(kDownloadsCancelled), cancelled + 1);
    EXPECT_EQ(Outcome(kDownloadsStarted), 0);
    ASSERT_EQ(seen.Failed.size(), 1u);
    EXPECT_EQ(seen.Failed[0].first, "standin:download");
    EXPECT_EQ(seen.Failed[0].second.Kind, TPageFailureKind::pfDownload);
    // A page's own document is never taken for a download.
    view->Navigate("standin:fill");
    PumpUntil(seen, 2);
    EXPECT_EQ(seen.Completed, std::vector<std::string>{"standin:fill"});
    EXPECT_EQ(Outcome(kPagesCancelled), pagesCancelled);
}

TEST_F(StandinFailure, WholeDocumentIsTheLargerOfBodyAndRootAndOnlyTheBodyIsStyled) {
    TSeen seen;
    auto view = NewView(seen);
    const auto measure = [&](const std::string& url) {
        view->Navigate(url);
        PumpUntil(seen, seen.Events() + 1);
        TSize size{};
        view->MeasurePage([&](TSize s) { size = s; },
                          [](const std::string& message) { ADD_FAILURE() << message; });
        return std::to_string(size.Width) + "x" + std::to_string(size.Height);
    };
    EXPECT_EQ(measure("standin:fixed?w=500&h=300&rw=700&rh=200"), "700x300");
    EXPECT_EQ(measure("standin:fixed?w=500&h=300&rw=400&rh=900"), "500x900");
    EXPECT_EQ(measure("standin:fixed?w=500&h=300&rw=516&rh=316"), "516x316");
    EXPECT_EQ(measure("standin:fixed?w=500&h=300"), "500x300");
    EXPECT_EQ(measure("standin:fixed?w=500&h=300&rw=400&rh=900&late=1"), "500x900");
    EXPECT_EQ(seen.Failed.size(), 0u);
}

// Runs one capture pass of urls; false when it does not end within 10 s.
bool RunPass(TWorkingForm& form, std::size_t count) {
    form.StartCapture();
    const DWORD start = ::GetTickCount();
    while ((form.Busy() || form.NextIndex() == 0) && ::GetTickCount() - start < 10000)
        PumpMessages(5);
    return !form.Busy() && form.NextIndex() == static_cast<std::int32_t>(count);
}

TEST_F(StandinFailure, PassGoesOnPastAFailedPageAndLeavesItsRecord) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    TSource source;
    source.Urls = {"standin:fixed?w=500&h=300", "standin:error?status=404", "standin:download",
                   "standin:fill"};
    std::vector<TSize> pictures;
    {
        TWorkingForm form(std::make_unique<TRecordingView>(pictures), files, folder, source);
        ASSERT_TRUE(RunPass(form, source.Urls.size()));
    }
    EXPECT_NE(files.FileDate(folder + "0.bmp"), -1);
    EXPECT_EQ(files.FileDate(folder + "1.bmp"), -1);
    EXPECT_EQ(files.FileDate(folder + "2.bmp"), -1);
    EXPECT_NE(files.FileDate(folder + "3.bmp"), -1);
    TPageFailure failure;
    ASSERT_TRUE(ReadFailureRecord(files, GetFailureFileName(folder, 1), failure));
    EXPECT_EQ(failure.Kind, TPageFailureKind::pfHttpStatus);
    EXPECT_EQ(failure.Status, 404);
    ASSERT_TRUE(ReadFailureRecord(files, GetFailureFileName(folder, 2), failure));
    EXPECT_EQ(failure.Kind, TPageFailureKind::pfDownload);
    EXPECT_FALSE(ReadFailureRecord(files, GetFailureFileName(folder, 3), failure));
    EXPECT_EQ(pictures.size(), 2u);
    for (const char* name : {"0.bmp", "3.bmp", "1.failed", "2.failed"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

TEST_F(StandinFailure, PageThatReloadsItselfIsCapturedAtTheDisplaySizeEveryTime) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    TSource source;
    source.Urls = {"standin:again?reloads=4"};
    std::vector<TSize> pictures;
    {
        TWorkingForm form(std::make_unique<TRecordingView>(pictures), files, folder, source);
        ASSERT_TRUE(RunPass(form, 1));
        PumpMessages(1500);  // long enough for a page to settle once more
    }
    // Its reloads come while it settles: it is captured once, where they
    // end (the capture follows a page that moves on a few times).
    ASSERT_EQ(pictures.size(), 1u);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].Width, 1024) << "capture " << i;
        EXPECT_EQ(pictures[i].Height, 768) << "capture " << i;
    }
    const auto reader = files.OpenRead(folder + "0.bmp");
    ASSERT_TRUE(reader);
    const TPageBitmap last = ReadBmp(*reader);
    EXPECT_EQ(last.Width(), 1024);
    EXPECT_EQ(last.Height(), 768);
    files.DeleteFile(folder + "0.bmp");
    ::RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace
}  // namespace lum::win32
