// What the capture window asks of nobody: the control is silent, a page's
// download that wants credentials or meets a certificate problem is answered
// by the host (refused, without a window) and fails with its reason, a
// page's window.close() closes nothing; the control is closed before its
// site is let go, and it is released at the end of every pass.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "win32/browser/standin/StandinCaptureRig.h"
#include "win32/browser/standin/control/StandinSite.h"

namespace lum::win32 {
namespace {

constexpr LONG kWindowsClosed = 6;  // TOutcome::WindowsClosed of the stand-in

template <class F>
F* Export(const char* name) {
    const HMODULE dll = ::GetModuleHandleW(L"LumenaryStandin.dll");
    return dll ? reinterpret_cast<F*>(reinterpret_cast<void*>(::GetProcAddress(dll, name)))
               : nullptr;
}

LONG PromptsOpened() {
    auto* call = Export<LONG WINAPI()>("StandinPromptsOpened");
    return call ? call() : -1;
}

std::wstring TeardownCalls() {
    auto* call = Export<LONG WINAPI(wchar_t*, LONG)>("StandinTeardown");
    wchar_t text[32] = {};
    if (call)
        call(text, 32);
    return text;
}

class StandinPrompts : public StandinCapture {};

TEST_F(StandinPrompts, CaptureAnswersEveryPromptItselfAndThePageFailsWithItsReason) {
    std::vector<std::string> seen;
    std::vector<std::pair<std::string, TPageFailure>> failed;
    auto view = NewView(seen);
    view->OnDocumentFailed = [&](const std::string& url, const TPageFailure& failure) {
        failed.emplace_back(url, failure);
    };
    VARIANT_BOOL silent = VARIANT_FALSE;
    ASSERT_TRUE(SUCCEEDED(view->Host()->Browser()->get_Silent(&silent)));
    EXPECT_EQ(silent, VARIANT_TRUE);
    EXPECT_EQ(Export<LONG WINAPI()>("StandinAmbientSilent")(), 1);

    const LONG promptsBefore = PromptsOpened();
    struct TCase {
        const char* Url;
        TPageFailureKind Kind;
        std::int32_t Status;
    };
    for (const TCase& page :
         {TCase{"standin:auth", TPageFailureKind::pfHttpStatus, 401},
          TCase{"standin:certificate", TPageFailureKind::pfCertificate, 0},
          TCase{"standin:certificate?problem=12044", TPageFailureKind::pfCertificate, 0}}) {
        failed.clear();
        view->Navigate(page.Url);
        for (int i = 0; i < 100 && failed.empty(); ++i)
            PumpMessages(10);
        ASSERT_EQ(failed.size(), 1u) << page.Url;
        EXPECT_EQ(failed[0].second.Kind, page.Kind) << page.Url;
        EXPECT_EQ(failed[0].second.Status, page.Status) << page.Url;
        EXPECT_EQ(::FindWindowW(kPromptClass, nullptr), nullptr) << page.Url;
    }
    EXPECT_EQ(failed[0].second.Detail, "0x80072F0C");  // ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED
    EXPECT_EQ(PromptsOpened(), promptsBefore);
    EXPECT_TRUE(seen.empty());
    // The card of the password page says where to sign in.
    failed.clear();
    view->Navigate("standin:auth");
    for (int i = 0; i < 100 && failed.empty(); ++i)
        PumpMessages(10);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].second.Detail.find("このページにサインイン"), std::string::npos);
    // A page that closes its window is still there to be captured.
    const LONG closedBefore = Export<LONG WINAPI(LONG)>("StandinOutcomes")(kWindowsClosed);
    view->Navigate("standin:fill?close=1");
    PumpUntil(seen, 1);
    PumpMessages(50);
    EXPECT_EQ(seen, std::vector<std::string>{"standin:fill?close=1"});
    EXPECT_EQ(Export<LONG WINAPI(LONG)>("StandinOutcomes")(kWindowsClosed), closedBefore);
}

// InPlaceDeactivate, Unadvise, Close, then SetClientSite(nullptr): the
// object is closed while it still has its site.
TEST_F(StandinPrompts, ControlIsClosedBeforeItsSiteIsLetGo) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->Navigate("standin:fill");
    PumpUntil(seen, 1);
    view.reset();
    EXPECT_EQ(TeardownCalls(), L"DUCS");
}

// Nothing of the last page runs between passes: no host and no object of
// the control is left; the next pass makes a new control and captures.
TEST_F(StandinPrompts, ControlIsReleasedAtTheEndOfEveryPass) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    TSource source;
    source.Urls = {"standin:fill", "standin:fixed?w=1024"};
    auto form = std::make_unique<TWorkingForm>(CreateCaptureWebView(0), files, folder, source);
    for (int pass = 0; pass < 2; ++pass) {
        files.DeleteFile(folder + "1.bmp");
        form->StartCapture();
        const DWORD start = ::GetTickCount();
        while ((form->Busy() || form->NextIndex() < 2) && ::GetTickCount() - start < 20000)
            PumpMessages(5);
        ASSERT_FALSE(form->Busy()) << pass;
        EXPECT_EQ(TWebBrowserHost::Instances(), 0) << pass;
        EXPECT_EQ(LiveObjects(), 0) << pass;
        EXPECT_EQ(ReadPicture(files, folder + "1.bmp").Width(), 1024) << pass;
    }
    form.reset();
    for (const std::string name : {"0.bmp", "0.url", "1.bmp", "1.url"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace
}  // namespace lum::win32
