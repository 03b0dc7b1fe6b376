#include <cstdio>
#include <string>

#include "engine/WebKitCaptureRig.h"

namespace lum {
namespace {

using Capture = TWebKitRig;

// Limits short enough for a test, long enough for a busy machine: the helper
// processes are started (by "about:blank") before a limit is measured.
TWebKitLimits ShortLimits() {
    TWebKitLimits limits;
    limits.Load = 3000ms;
    limits.Script = 2000ms;
    limits.Snapshot = 2000ms;
    return limits;
}

// Live WebKit helper processes of this one (page processes run in their
// sandbox, below bubblewrap).
int WebKitChildren() {
    return static_cast<int>(Descendants("WebKit").size());
}

TEST_F(Capture, AddressThatDoesNotAnswerFails) {
    const std::string url = TWebKitTestServer::ClosedPortUrl();
    const TLoaded loaded = Load(url);
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Url, url);
    EXPECT_FALSE(loaded.Message.empty());
}

TEST_F(Capture, ErrorStatusFailsWithTheStatus) {
    for (const char* status : {"404", "500"}) {
        const TLoaded loaded = Load(FServer.Url(std::string("/status/") + status));
        EXPECT_TRUE(loaded.Failed) << status;
        EXPECT_NE(loaded.Message.find(status), std::string::npos) << loaded.Message;
    }
}

// A site that asks for a password the capture does not have (none is kept:
// this view's session is not the kept one) fails with its refusal and the
// reason, at once rather than at the load limit; no dialog ever opens.
TEST_F(Capture, SiteAskingForAPasswordFailsAtOnceWithTheReason) {
    TWebKitLimits limits;
    limits.Load = 10000ms;
    MakeView(limits);
    const auto start = std::chrono::steady_clock::now();
    const TLoaded loaded = Load(FServer.Url("/login"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Kind, TPageFailureKind::pfHttpStatus);
    EXPECT_EQ(loaded.Status, 401);
    EXPECT_NE(loaded.Message.find("no password is kept for 127.0.0.1"), std::string::npos)
        << loaded.Message;
    EXPECT_EQ(loaded.Events, 1);
}

TEST_F(Capture, DownloadFails) {
    for (const char* path : {"/attachment", "/binary"}) {
        const TLoaded loaded = Load(FServer.Url(path));
        EXPECT_TRUE(loaded.Failed) << path;
        EXPECT_NE(loaded.Message.find("download"), std::string::npos) << loaded.Message;
        EXPECT_EQ(loaded.Events, 1);
    }
}

TEST_F(Capture, MalformedAddressesEachEndTheirLoad) {
    MakeView(ShortLimits());
    for (const std::string& url :
         {std::string(), std::string("not an address"), std::string("nosuchscheme://x/"),
          std::string("http://[::1"), std::string("file:///no/such/file.html"),
          std::string("javascript:void(0)"), "http://127.0.0.1:1/" + std::string(100000, 'a')}) {
        SCOPED_TRACE(url.substr(0, 40));
        const TLoaded loaded = Load(url);
        EXPECT_EQ(loaded.Events, 1);
        EXPECT_TRUE(!loaded.Failed || !loaded.Message.empty());
    }
    // and the view still works
    EXPECT_FALSE(Load(Page("short.html")).Failed);
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

TEST_F(Capture, ImageIsShownAsAPage) {
    const TLoaded loaded = Load(FServer.Url("/image.png"));
    ASSERT_FALSE(loaded.Failed) << loaded.Message;
    const std::optional<TSize> size = Measure();
    ASSERT_TRUE(size);
    EXPECT_GE(size->Width, TWebKitTestServer::kImageWidth);
    EXPECT_GE(size->Height, TWebKitTestServer::kImageHeight);
    const TPageBitmap picture = Picture({1024, 768});
    int imagePixels = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            imagePixels += picture.Pixel(x, y) == TWebKitTestServer::kImageColor;
    EXPECT_EQ(imagePixels, TWebKitTestServer::kImageWidth * TWebKitTestServer::kImageHeight);
}

TEST_F(Capture, ServerThatNeverAnswersFailsAtTheLoadLimit) {
    MakeView(ShortLimits());
    ASSERT_FALSE(Load("about:blank").Failed);
    const auto start = std::chrono::steady_clock::now();
    const TLoaded loaded = Load(FServer.Url("/hold"));
    EXPECT_TRUE(loaded.Failed);
    EXPECT_NE(loaded.Message.find("3000 ms"), std::string::npos) << loaded.Message;
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2900ms);
    // The view goes on with the next page.
    EXPECT_FALSE(Load(Page("short.html")).Failed);
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

TEST_F(Capture, PageThatNeverFinishesIsTakenAsItStands) {
    MakeView(ShortLimits());
    ASSERT_FALSE(Load("about:blank").Failed);
    const TLoaded loaded = Load(FServer.Url("/stuck.html"));
    EXPECT_FALSE(loaded.Failed) << loaded.Message;
    EXPECT_EQ(loaded.Url, FServer.Url("/stuck.html"));
    ASSERT_TRUE(Measure());
    const TPageBitmap picture = Picture({100, 400});
    EXPECT_EQ(picture.Pixel(50, 150), 0x00FF00u);
    RunUntil([] { return false; }, 500ms);
    EXPECT_EQ(FLoaded.Events, 1);  // the stopped load reports nothing more
}

TEST_F(Capture, ScriptThatNeverReturnsFailsTheStepsAndTheNextPageLoads) {
    MakeView(ShortLimits());
    ASSERT_FALSE(Load(FServer.Url("/html?body=%3Cscript%3Eonload%3Dfunction()%7BsetTimeout("
                                  "function()%7Bfor(%3B%3B)%7B%7D%7D%2C50)%7D%3C%2Fscript%3E"))
                     .Failed);
    RunUntil([] { return false; }, 200ms);
    EXPECT_FALSE(Measure(true));
    EXPECT_NE(FStepFailure.find("did not answer"), std::string::npos) << FStepFailure;
    EXPECT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

TEST_F(Capture, PageStuckInAScriptDoesNotHoldTheNextPage) {
    // WebKit takes about 3 s to find a page process stuck.
    TWebKitLimits limits = ShortLimits();
    limits.Load = 6000ms;
    MakeView(limits);
    ASSERT_FALSE(Load("about:blank").Failed);
    // Stuck while loading: nothing asks the page anything, so it ends at its
    // limit as it stands; measuring it then fails and ends its process.
    const TLoaded stuck = Load(FServer.Url(
        "/html?body=%3Cdiv%3Ex%3C%2Fdiv%3E%3Cscript%3Efor(%3B%3B)%7B%7D%3C%2Fscript%3E"));
    EXPECT_EQ(stuck.Events, 1);
    EXPECT_FALSE(Measure(true));
    EXPECT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    // Stuck after loading, and the next page asked for at once.
    ASSERT_FALSE(Load(FServer.Url("/html?body=%3Cscript%3Eonload%3Dfunction()%7BsetTimeout("
                                  "function()%7Bfor(%3B%3B)%7B%7D%7D%2C50)%7D%3C%2Fscript%3E"))
                     .Failed);
    RunUntil([] { return false; }, 200ms);
    const TLoaded next = Load(Page("short.html"));
    EXPECT_FALSE(next.Failed) << next.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

TEST_F(Capture, DialogsOfThePageDoNotHoldIt) {
    const TLoaded loaded =
        Load(FServer.Url("/html?body=%3Cscript%3Ealert(1)%3Bconfirm(2)%3Bprompt(3)%3C%2Fscript%3E"
                         "%3Cdiv%20style%3D%22height%3A321px%22%3E%3C%2Fdiv%3E"));
    EXPECT_FALSE(loaded.Failed) << loaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 768}));  // never less than the view
}

TEST_F(Capture, NavigatingAgainWhileLoadingEndsInOneEvent) {
    // WebKit may swap page processes while it loads; a load replaced then
    // can end as the blank page, or at its limit. Either way one event ends
    // it and the view goes on.
    MakeView(ShortLimits());
    ASSERT_FALSE(Load("about:blank").Failed);
    FView->Navigate(FServer.Url("/hold"));
    Load(Page("short.html"));
    RunUntil([] { return false; }, 500ms);
    EXPECT_EQ(FLoaded.Events, 1);
    if (!FLoaded.Failed && FLoaded.Url == Page("short.html")) {
        EXPECT_EQ(Measure(), (TSize{1024, 768}));
    }
    EXPECT_FALSE(Load(Page("tall.html")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 10000}));
}

TEST_F(Capture, DestroyingTheViewCallsNothingMore) {
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    int calls = 0;
    FView->MeasurePage([&](TSize) { ++calls; }, [&](const std::string&) { ++calls; });
    FView->TakePicture(
        {1040, 10016}, [&](const TPageBitmap&) { ++calls; }, [&](const std::string&) { ++calls; });
    FView->Navigate(Page("short.html"));
    FLoaded = {};
    FView.reset();
    RunUntil([] { return false; }, 1500ms);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(FLoaded.Events, 0);
}

TEST_F(Capture, ViewCanBeDestroyedFromItsOwnEventsAndSteps) {
    MakeView();
    bool destroyed = false;
    FView->OnDocumentComplete = [&](const std::string&) {
        FView.reset();
        destroyed = true;
    };
    FView->Navigate(Page("short.html"));
    EXPECT_TRUE(RunUntil([&] { return destroyed; }, 30s));
    RunUntil([] { return false; }, 300ms);
    // As at the end of a pass: the last picture's continuation ends the view.
    destroyed = false;
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    FView->MeasurePage(
        [&](TSize size) {
            FView->TakePicture(
                {size.Width + 16, size.Height + 16},
                [&](const TPageBitmap&) {
                    FView.reset();
                    destroyed = true;
                },
                [&](const std::string& message) { ADD_FAILURE() << message; });
        },
        [&](const std::string& message) { ADD_FAILURE() << message; });
    EXPECT_TRUE(RunUntil([&] { return destroyed; }, 30s));
    RunUntil([] { return false; }, 300ms);
}

TEST_F(Capture, DestroyingTheViewEndsItsHelperProcesses) {
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    ASSERT_TRUE(Measure());
    EXPECT_GT(WebKitChildren(), 0);
    FView.reset();
    EXPECT_TRUE(RunUntil([] { return WebKitChildren() == 0; }, 10s)) << WebKitChildren();
}

}  // namespace
}  // namespace lum
