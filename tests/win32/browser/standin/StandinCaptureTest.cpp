// The capture window and the capture pass of the Win32 layer driven end to end
// against the stand-in WebBrowser control (LumenaryStandin.dll), registered
// for the WebBrowser class only while each test runs: in-place activation,
// completion through the message loop, the body's sizes by late binding,
// sizing through the site, OleDraw into the picture, and the page files.
// The settle step against pages whose scripts draw late, never stop, or
// load what is scrolled into view (StandinSettle).
// The stand-in draws a known picture, not a rendered page: these tests prove
// the host's side of the contract, not how a real engine lays out or draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "win32/browser/DispatchObject.h"
#include "win32/browser/standin/StandinCaptureRig.h"

namespace lum::win32 {
namespace {

using namespace std::chrono_literals;

TEST_F(StandinCapture, ControlIsActivatedInPlaceInTheCaptureWindow) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    const HWND control = view->ControlWindow();
    ASSERT_NE(control, nullptr);
    wchar_t name[64] = L"";
    ::GetClassNameW(control, name, 64);
    EXPECT_STREQ(name, L"LumenaryStandinView");
    EXPECT_EQ(::GetParent(control), view->Window());
    RECT rect{};
    ::GetWindowRect(control, &rect);
    EXPECT_EQ(rect.right - rect.left, 153);
    EXPECT_EQ(rect.bottom - rect.top, 73);
}

TEST_F(StandinCapture, CompletionComesThroughTheMessageLoopWithTheBodySizes) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->Navigate("standin:fixed?w=500&h=300");
    EXPECT_TRUE(seen.empty());  // Navigate returns first
    PumpUntil(seen, 1);
    ASSERT_EQ(seen, std::vector<std::string>{"standin:fixed?w=500&h=300"});
    auto body = view->GetDocumentBody();
    EXPECT_EQ(body->GetIntProperty("scrollWidth"), 500);
    EXPECT_EQ(body->GetIntProperty("scrollHeight"), 300);
    EXPECT_THROW(body->GetIntProperty("clientLeft"), Exception);

    view->Navigate("about:blank");
    PumpUntil(seen, 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], "about:blank");
    EXPECT_EQ(view->GetDocumentBody()->GetIntProperty("scrollWidth"), 0);
}

TEST_F(StandinCapture, SizeReachesTheViewThroughTheSiteAndAFillPageFollowsIt) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->SetWidth(1024);
    view->SetHeight(768);
    RECT control{};
    ::GetWindowRect(view->ControlWindow(), &control);
    EXPECT_EQ(control.right - control.left, 1024);
    EXPECT_EQ(control.bottom - control.top, 768);
    RECT form{};
    ::GetWindowRect(view->Window(), &form);
    EXPECT_EQ(form.right - form.left, 112);  // the form keeps its own layout
    EXPECT_EQ(form.bottom - form.top, 23);

    view->Navigate("standin:fill");
    PumpUntil(seen, 1);
    auto body = view->GetDocumentBody();
    EXPECT_EQ(body->GetIntProperty("scrollWidth"), 1024);
    EXPECT_EQ(body->GetIntProperty("scrollHeight"), 768);
    view->SetWidth(640);
    EXPECT_EQ(body->GetIntProperty("scrollWidth"), 640);  // laid out again
}

TEST_F(StandinCapture, DrawnPictureIsUprightAtTheAskedSizeAndLosesItsScrollBar) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->SetViewSize(TSize{200, 400});
    view->Navigate("standin:tall?h=700");
    PumpUntil(seen, 1);
    auto take = [&]() {
        TPageBitmap taken;
        view->TakePicture(
            TSize{300, 716}, [&](const TPageBitmap& picture) { taken = picture; },
            [](const std::string& message) { ADD_FAILURE() << message; });
        return taken;
    };
    const TPageBitmap before = take();
    ASSERT_EQ(before.Width(), 300);
    ASSERT_EQ(before.Height(), 716);
    EXPECT_EQ(PixelAt(before, 0, 0), Expected(kTallTag, 0));
    EXPECT_EQ(PixelAt(before, 299, 715), "128,128,128");  // the scroll bar

    TSize scroll{};
    view->MeasurePage([&](TSize size) { scroll = size; },
                      [](const std::string& message) { ADD_FAILURE() << message; });
    // The scroll bar went before the page was measured: the view's whole
    // width (the picture before gave the view back its own size), and as
    // tall as the page.
    EXPECT_EQ(scroll.Width, 200);
    EXPECT_EQ(scroll.Height, 700);
    const TPageBitmap after = take();
    for (const std::int32_t y : {0, 1, 255, 256, 300, 715}) {
        EXPECT_EQ(PixelAt(after, 0, y), Expected(kTallTag, y)) << "row " << y;
        EXPECT_EQ(PixelAt(after, 299, y), Expected(kTallTag, y)) << "row " << y;
    }
}

// The control completes the frames' documents first (an empty "about:blank"
// one among them here): only the page's own completion, last, is the view's,
// and by then the page is whole.
TEST_F(StandinCapture, OnlyThePageItselfCompletesNotItsFrames) {
    std::vector<std::string> seen;
    std::vector<std::string> drawn;
    auto view = NewView(seen);
    view->SetViewSize(TSize{200, 100});
    view->OnDocumentComplete = [&](const std::string& url) {
        seen.push_back(url);
        view->TakePicture(
            TSize{200, 100},
            [&](const TPageBitmap& picture) { drawn.push_back(PixelAt(picture, 10, 50)); },
            [](const std::string& message) { ADD_FAILURE() << message; });
    };
    for (const std::string url : {"standin:frames?n=2", "standin:frames?n=3&blank=1"}) {
        seen.clear();
        drawn.clear();
        view->Navigate(url);
        PumpUntil(seen, 1);
        PumpMessages(50);  // and whatever would wrongly come after
        EXPECT_EQ(seen, std::vector<std::string>{url});
        EXPECT_EQ(drawn, std::vector<std::string>{Expected(kFramesTag, 50)}) << url;
    }
}

TEST_F(StandinCapture, NewNavigationDropsWhatIsLeftOfTheOldOne) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->Navigate("standin:frames?n=3");
    view->Navigate("standin:fill");
    PumpUntil(seen, 1);
    PumpMessages(50);
    EXPECT_EQ(seen, std::vector<std::string>{"standin:fill"});
}

TEST_F(StandinCapture, PassWritesEachPageFileAtItsSizeAndSkipsTheBlankEntry) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    ASSERT_TRUE(RunPasses({"standin:fixed?w=500&h=300", "about:blank", "standin:frames?n=2&blank=1",
                           "http://example.invalid/", "standin:tall?h=2000"},
                          folder, 1));
    const TPageBitmap fixed = ReadPicture(files, folder + "0.bmp");
    // Never smaller than the window the page is shown in.
    EXPECT_EQ(fixed.Width(), 1024);
    EXPECT_EQ(fixed.Height(), 768);
    EXPECT_EQ(PixelAt(fixed, 1023, 767), Expected(kFixedTag, 767));
    EXPECT_EQ(files.FileDate(folder + "1.bmp"), -1);
    // Its empty frame completing first is not the page: it is captured once
    // it has completed itself, whole.
    const TPageBitmap frames = ReadPicture(files, folder + "2.bmp");
    EXPECT_EQ(frames.Width(), 1024);
    EXPECT_EQ(frames.Height(), 768);
    EXPECT_EQ(PixelAt(frames, 10, 400), Expected(kFramesTag, 400));
    const TPageBitmap unknown = ReadPicture(files, folder + "3.bmp");
    EXPECT_EQ(unknown.Width(), 1024);
    EXPECT_EQ(PixelAt(unknown, 0, 0), Expected(kUnknownTag, 0));
    // Laid out at the display's width (1024), whatever the page before it.
    const TPageBitmap tall = ReadPicture(files, folder + "4.bmp");
    // Exactly the page: its right and bottom rows are the page's own.
    EXPECT_EQ(tall.Width(), 1024);
    EXPECT_EQ(tall.Height(), 2000);
    EXPECT_EQ(PixelAt(tall, 1023, 1999), Expected(kTallTag, 1999));
    for (const char* name : {"0.bmp", "2.bmp", "3.bmp", "4.bmp"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

TEST_F(StandinCapture, PageThatFillsItsWindowKeepsTheDisplaySizePassAfterPass) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    ASSERT_TRUE(
        RunPasses({"standin:fill", "standin:fixed?w=200&h=100", "standin:fill"}, folder, 4));
    for (const char* name : {"0.bmp", "2.bmp"}) {
        const TPageBitmap fill = ReadPicture(files, folder + name);
        EXPECT_EQ(fill.Width(), 1024) << name;
        EXPECT_EQ(fill.Height(), 768) << name;
        EXPECT_EQ(PixelAt(fill, 1023, 767), Expected(kFillTag, 767)) << name;
    }
    for (const char* name : {"0.bmp", "1.bmp", "2.bmp"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

TEST_F(StandinCapture, TeardownReleasesEveryObjectOfTheControl) {
    for (int i = 0; i < 5; ++i) {
        std::vector<std::string> seen;
        auto view = NewView(seen);
        view->Navigate("standin:frames?n=1");
        PumpUntil(seen, 1);
        view->MeasurePage([](TSize) {}, [](const std::string&) {});
        view.reset();
        PumpMessages(10);
        EXPECT_EQ(LiveObjects(), 0) << "round " << i;
        EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    }
}

// --- The settle step: pages that go on changing after their DocumentComplete.

class StandinSettle : public StandinCapture {
  protected:
    // Navigates view to url and pumps until its completion has come.
    static void Load(TWin32WebView& view, std::vector<std::string>& seen, const std::string& url) {
        const std::size_t before = seen.size();
        view.Navigate(url);
        PumpUntil(seen, before + 1);
        ASSERT_EQ(seen.size(), before + 1) << url;
    }
    // Settles view's page; what its continuations were called with goes to
    // calls, as "<name> settled", "<name> limit" or "<name> failed".
    static void Settle(TWin32WebView& view, std::vector<std::string>& calls, std::string name) {
        view.SettlePage(
            [&calls, name](bool settled) {
                calls.push_back(name + (settled ? " settled" : " limit"));
            },
            [&calls, name](const std::string&) { calls.push_back(name + " failed"); });
    }
    // Pumps until calls holds n entries or ms have passed.
    static void PumpUntilCalled(const std::vector<std::string>& calls, std::size_t n, DWORD ms) {
        const DWORD start = ::GetTickCount();
        while (calls.size() < n && ::GetTickCount() - start < ms)
            PumpMessages(10);
    }
    std::size_t LinesAbout(const std::string& url) const {
        const std::string line =
            "\"" + url + "\" was still changing at the settle limit: taken as it stands";
        return static_cast<std::size_t>(
            std::count(FPlatform.Lines.begin(), FPlatform.Lines.end(), line));
    }
};

// The late page's rows are drawn anew by a timer its script set while it
// loaded, 1.5 s after its load: the picture waits for them. The lazy page's
// rows below the first view come only once scrolled into view: every one of
// them is in the picture, which is of the page's top. Neither is said to
// have reached the limit.
TEST_F(StandinSettle, LateAndLazyPagesAreCapturedAsTheyEndUp) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    ASSERT_TRUE(RunPasses({"standin:late?ms=1500", "standin:lazy?h=3000"}, folder, 1));
    const TPageBitmap late = ReadPicture(files, folder + "0.bmp");
    ASSERT_EQ(late.Height(), 768);
    EXPECT_EQ(PixelAt(late, 0, 0), Expected(kLateTag, 0));
    EXPECT_EQ(PixelAt(late, 1023, 767), Expected(kLateTag, 767));
    const TPageBitmap lazy = ReadPicture(files, folder + "1.bmp");
    ASSERT_EQ(lazy.Height(), 3000);
    for (const std::int32_t y : {0, 767, 768, 1535, 1536, 2304, 2999})
        EXPECT_EQ(PixelAt(lazy, 10, y), Expected(kLazyTag, y)) << "row " << y;
    EXPECT_EQ(LinesAbout("standin:late?ms=1500"), 0u);
    EXPECT_EQ(LinesAbout("standin:lazy?h=3000"), 0u);
    for (const char* name : {"0.bmp", "1.bmp"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

// A page that changes every 50 ms is taken at the settle limit as it stands,
// said once in the log; the page after it settles as usual.
TEST_F(StandinSettle, PageThatNeverSettlesIsTakenAtTheLimitAndSaidSo) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(RunPasses({"standin:restless", "standin:fill"}, folder, 1, {700ms, 500ms, 100ms}));
    const DWORD took = ::GetTickCount() - start;
    EXPECT_GE(took, 700u);
    EXPECT_LT(took, 5000u);
    const TPageBitmap restless = ReadPicture(files, folder + "0.bmp");
    ASSERT_EQ(restless.Height(), 768);
    const std::uint8_t tag = static_cast<std::uint8_t>(restless.Pixel(0, 0) >> 16);
    EXPECT_TRUE(tag == kRestlessTag || tag == kRestlessTag + 2 || tag == kRestlessTag + 4 ||
                tag == kRestlessTag + 6)
        << int(tag);
    EXPECT_EQ(PixelAt(ReadPicture(files, folder + "1.bmp"), 0, 0), Expected(kFillTag, 0));
    EXPECT_EQ(LinesAbout("standin:restless"), 1u);
    EXPECT_EQ(LinesAbout("standin:fill"), 0u);
    for (const char* name : {"0.bmp", "1.bmp"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

// A step under way is dropped uncalled when the view navigates elsewhere or
// is asked to settle again; its timer never reaches the step after it.
TEST_F(StandinSettle, NewNavigationOrNewSettleDropsTheStepUnderWay) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->SetViewSize(TSize{1024, 768});
    view->SetSettleLimits({600ms, 300ms, 50ms});
    std::vector<std::string> calls;
    Load(*view, seen, "standin:restless");
    Settle(*view, calls, "left");
    PumpMessages(200);
    Load(*view, seen, "standin:fill");
    Settle(*view, calls, "next");
    PumpUntilCalled(calls, 1, 3000);
    PumpMessages(800);  // past the limit of the step that was left
    EXPECT_EQ(calls, std::vector<std::string>{"next settled"});

    calls.clear();
    Load(*view, seen, "standin:restless");
    Settle(*view, calls, "first");
    PumpMessages(100);
    Settle(*view, calls, "second");
    PumpUntilCalled(calls, 1, 3000);
    PumpMessages(800);
    EXPECT_EQ(calls, std::vector<std::string>{"second limit"});
}

// Nothing of a step under way is called once its view is gone, and the
// control and its page's timers go with the view.
TEST_F(StandinSettle, ViewDestroyedWhileSettlingCallsNothing) {
    for (const char* url : {"standin:late?ms=300", "standin:lazy?h=3000", "standin:restless"}) {
        std::vector<std::string> seen;
        auto view = NewView(seen);
        view->SetViewSize(TSize{1024, 768});
        view->SetSettleLimits({500ms, 200ms, 50ms});
        std::vector<std::string> calls;
        Load(*view, seen, url);
        Settle(*view, calls, "gone");
        PumpMessages(150);
        view.reset();
        PumpMessages(1000);
        EXPECT_TRUE(calls.empty()) << url;
        EXPECT_EQ(LiveObjects(), 0) << url;
        EXPECT_EQ(TWebBrowserHost::Instances(), 0) << url;
    }
}

}  // namespace
}  // namespace lum::win32
