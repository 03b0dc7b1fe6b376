#include "slideshow/Working.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeWebView.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"

namespace lum {
namespace {

using fakes::TFakePage;
using fakes::TFakeWebView;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCache = "C:\\Tools\\LumenaryCache\\";

struct TSource : ICaptureSource {
    std::vector<std::string> List;
    bool Scroll = true;
    std::int32_t W = 640;
    std::int32_t H = 480;
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return Scroll; }
    std::int32_t Width() const override { return W; }
    std::int32_t Height() const override { return H; }
};

class Capture : public ::testing::Test {
  protected:
    Capture() {
        SetApplication(&App);
        Files.Folders.insert(kCache);
        auto view = std::make_unique<TFakeWebView>();
        View = view.get();
        View->Destroyed = &ViewDestroyed;
        Form = std::make_unique<TWorkingForm>(std::move(view), Files, kCache, Source);
    }
    ~Capture() override {
        Form.reset();
        SetApplication(nullptr);
    }

    std::string PageFile(int k) { return std::string(kCache) + std::to_string(k) + ".bmp"; }
    bool HasFile(int k) { return Files.Files.count(PageFile(k)) != 0; }
    std::string FailureFile(int k) { return GetFailureFileName(kCache, k); }
    // The failure record of page k ("" when there is none).
    std::string Failure(int k) {
        const auto file = Files.Files.find(FailureFile(k));
        if (file == Files.Files.end())
            return "";
        return std::string(file->second.Data.begin(), file->second.Data.end());
    }
    std::size_t PageFiles() {
        std::size_t count = 0;
        for (const auto& [path, file] : Files.Files)
            count += path.ends_with(".bmp");
        return count;
    }
    TPageBitmap ReadPage(int k) {
        auto reader = Files.OpenRead(PageFile(k));
        return ReadBmp(*reader);
    }
    // Runs "about:blank" and then the list up to and including page k.
    void RunThrough(int k) {
        Form->StartCapture();
        View->Complete("about:blank");
        for (int i = 0; i <= k; ++i)
            View->CompleteCurrent();
    }
    void ExpectState(bool busy, std::int32_t nextIndex) {
        EXPECT_EQ(Form->Busy(), busy);
        EXPECT_EQ(Form->NextIndex(), nextIndex);
    }

    fakes::TFakeApplicationPlatform AppPlatform;
    TApplication App{AppPlatform};
    fakes::TFakeFileSystem Files;
    TSource Source;
    bool ViewDestroyed = false;
    TFakeWebView* View = nullptr;
    std::unique_ptr<TWorkingForm> Form;
};

TEST_F(Capture, EmptyListEndsThePassAtTheBlankPageWithoutAFile) {
    ExpectState(false, 0);  // Idle after creation
    Form->StartCapture();
    ExpectState(false, 0);  // Blank pending
    EXPECT_THAT(View->Navigations, ElementsAre("about:blank"));
    View->Complete("about:blank");
    ExpectState(false, 0);  // Idle again
    EXPECT_THAT(Files.Files, IsEmpty());
    EXPECT_EQ(View->Pictures, 0);
    EXPECT_EQ(View->PassesEnded, 1);
}

TEST_F(Capture, PassWalksTheStatesAndWritesEachPageToItsFile) {
    Source.List = {"http://a/", "http://b/", "http://c/"};
    Form->StartCapture();
    View->Complete("about:blank");
    ExpectState(true, 1);  // Loading page 0
    EXPECT_FALSE(HasFile(0));
    View->CompleteCurrent();
    ExpectState(true, 2);  // Loading page 1
    EXPECT_TRUE(HasFile(0));
    View->CompleteCurrent();
    View->CompleteCurrent();
    ExpectState(false, 3);  // Idle after the pass
    EXPECT_THAT(View->Navigations,
                ElementsAre("about:blank", "http://a/", "http://b/", "http://c/"));
    EXPECT_TRUE(HasFile(1));
    EXPECT_TRUE(HasFile(2));
    EXPECT_EQ(View->PassesEnded, 1);

    // The next pass starts again from the blank page and the first entry.
    Form->StartCapture();
    ExpectState(false, 0);
    EXPECT_EQ(View->Navigations.back(), "about:blank");
}

TEST_F(Capture, OnePageRunsItsStepsInOrder) {
    Source.List = {"http://a/", "http://b/"};
    View->Pages["http://a/"] = {500, 900};
    Form->StartCapture();
    View->Complete("about:blank");
    View->Log.clear();
    View->Complete("http://a/");
    // Settled, measured and pictured as laid out at the display's size: the
    // view keeps that size while the picture takes the page's.
    EXPECT_THAT(View->Log,
                ElementsAre("view 640x480", "settle", "measure", "picture 640x900 view 640x480",
                            "view 640x480", "navigate http://b/"));
    EXPECT_THAT(View->MeasuredAt, ElementsAre(TSize{640, 480}));
    EXPECT_TRUE(HasFile(0));
}

TEST_F(Capture, AboutBlankEntryIsSkippedButOtherLetterCaseIsCaptured) {
    Source.List = {"about:blank", "About:Blank", "http://c/"};
    RunThrough(2);
    ExpectState(false, 3);
    EXPECT_FALSE(HasFile(0));
    EXPECT_EQ(Failure(0), "blank 0\n\n");  // tried: the display does not wait for it
    EXPECT_TRUE(HasFile(1));
    EXPECT_TRUE(HasFile(2));
    EXPECT_EQ(View->Pictures, 2);
}

TEST_F(Capture, FrameCompletionCapturesTheTopDocumentAndMovesOn) {
    Source.List = {"http://frames/", "http://b/", "http://c/"};
    View->Pages["http://frames/"] = {100, 50};
    Form->StartCapture();
    View->Complete("about:blank");
    // The first frame to complete captures the page as it stands.
    View->Complete("http://frames/left.html");
    ExpectState(true, 2);
    EXPECT_EQ(ReadPage(0).Width(), 640);
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    // A blank frame requests the next URL without a capture.
    View->Complete("about:blank");
    ExpectState(true, 3);
    EXPECT_FALSE(HasFile(1));
    EXPECT_EQ(View->Navigations.back(), "http://c/");
}

TEST_F(Capture, PageReloadingAfterThePassIsCapturedAgainIntoTheLastFile) {
    Source.List = {"http://a/", "http://clock/"};
    RunThrough(1);
    ExpectState(false, 2);
    Files.NextDate += 1;
    View->Pages["http://clock/"] = {10, 20};
    View->Complete("http://clock/");
    ExpectState(false, 2);
    EXPECT_EQ(Files.FileDate(PageFile(1)), Files.NextDate);
    EXPECT_EQ(ReadPage(1).Height(), 480);
    EXPECT_EQ(View->Navigations.size(), 3u);  // nothing further requested
}

// A page that has not changed is not written again: its file is only dated
// anew, so the display sees the capture and the disk sees no bytes. A page
// that changed, a file that differs by one byte, or a file that cannot be
// dated is written whole.
TEST_F(Capture, UnchangedPagesAreDatedAnewNotWrittenAgain) {
    Source.List = {"http://a/", "http://b/"};
    View->Pages["http://a/"] = {640, 900};
    RunThrough(1);
    const std::uint64_t first = Files.BytesWritten;
    EXPECT_GT(first, 2u * 640 * 480 * 3);
    Files.NextDate += 1;
    RunThrough(1);
    EXPECT_EQ(Files.BytesWritten, first);
    EXPECT_EQ(Files.FileDate(PageFile(0)), Files.NextDate);
    EXPECT_EQ(Files.FileDate(PageFile(1)), Files.NextDate);

    View->Pages["http://a/"] = {640, 901};      // changed
    Files.Files[PageFile(1)].Data.back() ^= 1;  // damaged
    Files.NextDate += 1;
    RunThrough(1);
    const std::uint64_t changed = Files.BytesWritten - first;
    EXPECT_EQ(changed, Files.Files[PageFile(0)].Data.size() + Files.Files[PageFile(1)].Data.size());
    EXPECT_EQ(ReadPage(0).Height(), 901);

    Files.FailTouch = true;  // cannot be dated: written instead
    Files.NextDate += 1;
    RunThrough(1);
    EXPECT_GT(Files.BytesWritten, first + changed);
    EXPECT_EQ(Files.FileDate(PageFile(1)), Files.NextDate);
}

struct TSizeCase {
    TFakePage Page;
    bool Scroll;
    TSize Expected;
};

void PrintTo(const TSizeCase& c, std::ostream* os) {
    *os << c.Page.ScrollWidth << "x" << c.Page.ScrollHeight
        << (c.Scroll ? " scrolled" : " clipped");
}

// Names the case by its page size and scroll setting ("Page500x900Scrolled").
std::string SizeCaseName(const ::testing::TestParamInfo<TSizeCase>& info) {
    const TSizeCase& c = info.param;
    const auto number = [](std::int32_t n) {
        if (n == std::numeric_limits<std::int32_t>::max())
            return std::string("Huge");
        return n < 0 ? "Minus" + std::to_string(-std::int64_t{n}) : std::to_string(n);
    };
    return "Page" + number(c.Page.ScrollWidth) + "x" + number(c.Page.ScrollHeight) +
           (c.Scroll ? "Scrolled" : "Clipped");
}

class CaptureSize : public Capture, public ::testing::WithParamInterface<TSizeCase> {};

TEST_P(CaptureSize, BitmapIsExactlyThePageAndTheViewKeepsTheDisplaysSize) {
    const TSizeCase& c = GetParam();
    Source.List = {"http://p/"};
    Source.Scroll = c.Scroll;
    View->Pages["http://p/"] = c.Page;
    RunThrough(0);
    EXPECT_EQ(View->ViewSize, (TSize{640, 480}));
    const TPageBitmap picture = ReadPage(0);
    EXPECT_EQ((TSize{picture.Width(), picture.Height()}), c.Expected);
    EXPECT_EQ(picture.Pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(
    Display640x480,
    CaptureSize,
    // A page is never smaller than the window it is shown in (its background
    // fills the window); unless pages are scrolled, it is the window's size.
    ::testing::Values(TSizeCase{{500, 900}, true, {640, 900}},
                      TSizeCase{{500, 900}, false, {640, 480}},
                      TSizeCase{{640, 481}, true, {640, 481}},
                      TSizeCase{{300, 200}, true, {640, 480}},
                      TSizeCase{{300, 200}, false, {640, 480}},
                      TSizeCase{{0, 0}, true, {640, 480}},
                      TSizeCase{{-5, -5}, true, {640, 480}},
                      TSizeCase{{700, 100}, false, {640, 480}},
                      TSizeCase{{700, 100}, true, {700, 480}},
                      // A size at the integer limit is held to what a picture can be.
                      TSizeCase{{std::numeric_limits<std::int32_t>::max(), 10}, false, {640, 480}}),
    SizeCaseName);

TEST_F(Capture, GiantPagesAreCapturedDownToTheHeightCapAndTheBytesAPictureMayHold) {
    Source.List = {"http://tall/", "http://huge/"};
    Source.Scroll = true;
    View->Pages["http://tall/"] = {2000, 40000};
    View->Pages["http://huge/"] = {100000, 100000};
    RunThrough(1);
    EXPECT_THAT(View->Log, Contains("picture 2000x32000 view 640x480"));
    // 32767 columns leave room for 2048 rows within the 256 MiB of pixels.
    EXPECT_THAT(View->Log, Contains("picture 32767x2048 view 640x480"));
    EXPECT_EQ(View->ViewSize, (TSize{640, 480}));
}

TEST_F(Capture, PageOverTheHeightCapIsSaidOncePerRunNotAtEveryPass) {
    Source.List = {"http://tall/", "http://feed/", "http://cap/"};
    View->Pages["http://tall/"] = {640, 60000};
    View->Pages["http://feed/"] = {640, kPageHeightCap + 1};
    View->Pages["http://cap/"] = {640, kPageHeightCap};
    for (int pass = 0; pass < 3; ++pass)
        RunThrough(2);
    EXPECT_THAT(AppPlatform.LogLines,
                ElementsAre("\"http://tall/\" is 60000 pixels tall: its first 32000 are captured",
                            "\"http://feed/\" is 32001 pixels tall: its first 32000 are captured"));
    View->MaxPicturePixels = std::int64_t{640} * kPageHeightCap;
    RunThrough(2);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(ReadPage(k).Height(), kPageHeightCap) << k;
}

TEST_F(Capture, EveryPageIsMeasuredAtTheDisplaySizeWhateverThePreviousCaptureWas) {
    Source.List = {"http://a/", "http://b/"};
    View->Pages["http://a/"] = {500, 900};
    RunThrough(1);
    EXPECT_THAT(View->MeasuredAt, ElementsAre(TSize{640, 480}, TSize{640, 480}));
    EXPECT_EQ(ReadPage(1).Width(), 640);
}

// A page that adapts to its window once grew at every capture, because it
// was measured at the size of the capture before it.
TEST_F(Capture, PageThatFillsItsWindowKeepsItsSizeCaptureAfterCapture) {
    Source.List = {"http://fill/"};
    View->Pages["http://fill/"] = {0, 0, true, true};
    for (bool scroll : {true, false}) {
        Source.Scroll = scroll;
        for (int pass = 0; pass < 50; ++pass)
            RunThrough(0);
        const TPageBitmap picture = ReadPage(0);
        EXPECT_EQ((TSize{picture.Width(), picture.Height()}), (TSize{640, 480}));
    }
    for (const TSize& at : View->MeasuredAt)
        EXPECT_EQ(at, (TSize{640, 480}));
}

// A page that fills its window and reloads itself (a refresh, a script)
// after its capture was once measured at the picture's size and grew at
// each reload.
TEST_F(Capture, PageThatFillsItsWindowAndReloadsItselfKeepsItsSize) {
    Source.List = {"http://fill/"};
    View->Pages["http://fill/"] = {0, 0, true, true};
    RunThrough(0);
    for (int reload = 0; reload < 5; ++reload)
        View->Complete("http://fill/");
    const TPageBitmap picture = ReadPage(0);
    EXPECT_EQ((TSize{picture.Width(), picture.Height()}), (TSize{640, 480}));
    EXPECT_EQ(View->MeasuredAt.size(), 6u);
    for (const TSize& at : View->MeasuredAt)
        EXPECT_EQ(at, (TSize{640, 480}));
}

TEST_F(Capture, StartCaptureRestartsWhileBlankIsPendingAndIsIgnoredWhileBusy) {
    Source.List = {"http://a/", "http://b/"};
    Form->StartCapture();
    Form->StartCapture();
    EXPECT_THAT(View->Navigations, ElementsAre("about:blank", "about:blank"));
    ExpectState(false, 0);
    View->Complete("about:blank");
    Form->StartCapture();  // Loading page 0: ignored
    ExpectState(true, 1);
    EXPECT_EQ(View->Navigations.size(), 3u);
}

TEST_F(Capture, NonHtmlDocumentFailsThatPageAndThePassGoesOn) {
    Source.List = {"http://a/", "http://pdf/", "http://c/"};
    View->Pages["http://pdf/"].Html = false;
    Form->StartCapture();
    View->Complete("about:blank");
    View->CompleteCurrent();
    EXPECT_NO_THROW(View->Complete("http://pdf/"));
    EXPECT_FALSE(HasFile(1));
    EXPECT_EQ(Failure(1), "other 0\nnot an HTML document\n");
    EXPECT_THAT(
        AppPlatform.LogLines,
        ElementsAre("\"http://pdf/\": ページを取り込めませんでした (not an HTML document)"));
    EXPECT_THAT(AppPlatform.Reports, IsEmpty());  // no box over the saver
    ExpectState(true, 3);
    EXPECT_EQ(View->Navigations.back(), "http://c/");

    // Captured in the next pass, the page loses its failure record.
    View->CompleteCurrent();
    View->Pages["http://pdf/"].Html = true;
    RunThrough(1);
    EXPECT_TRUE(HasFile(1));
    EXPECT_EQ(Failure(1), "");
}

enum class TFailure { SetSize, Picture, Save, MissingCacheFolder };

class CaptureFailure : public Capture, public ::testing::WithParamInterface<TFailure> {};

TEST_P(CaptureFailure, WritesNoPictureFailsThePageAndMovesOn) {
    Source.List = {"http://a/", "http://b/"};
    Form->StartCapture();
    View->Complete("about:blank");
    switch (GetParam()) {
        case TFailure::SetSize:
            View->FailSetSize = true;
            break;
        case TFailure::Picture:
            View->FailPicture = true;
            break;
        case TFailure::Save:
            Files.FailWrites = true;
            break;
        case TFailure::MissingCacheFolder:
            Files.Folders.clear();
            break;
    }
    EXPECT_NO_THROW(View->Complete("http://a/"));
    EXPECT_EQ(PageFiles(), 0u);
    switch (GetParam()) {
        case TFailure::SetSize:
            // The next page cannot be laid out either: it fails too, and
            // the pass is over.
            EXPECT_EQ(AppPlatform.LogLines.size(), 2u);
            ExpectState(false, 2);
            break;
        case TFailure::Picture:
            EXPECT_EQ(AppPlatform.LogLines.size(), 1u);
            EXPECT_NE(Failure(0), "");
            ExpectState(true, 1 + 1);
            EXPECT_EQ(View->Navigations.back(), "http://b/");
            break;
        default:
            // The record cannot be written either: that is logged too.
            EXPECT_EQ(AppPlatform.LogLines.size(), 2u);
            ExpectState(true, 2);
            EXPECT_EQ(View->Navigations.back(), "http://b/");
    }
}

INSTANTIATE_TEST_SUITE_P(Steps,
                         CaptureFailure,
                         ::testing::Values(TFailure::SetSize,
                                           TFailure::Picture,
                                           TFailure::Save,
                                           TFailure::MissingCacheFolder),
                         [](const ::testing::TestParamInfo<TFailure>& info) {
                             switch (info.param) {
                                 case TFailure::SetSize:
                                     return std::string("SetSize");
                                 case TFailure::Picture:
                                     return std::string("Picture");
                                 case TFailure::Save:
                                     return std::string("Save");
                                 default:
                                     return std::string("MissingCacheFolder");
                             }
                         });

TEST_F(Capture, PagesThatCannotBeRequestedFailAndThePassEnds) {
    Source.List = {"http://a/", "http://b/", "http://c/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->FailNavigate = true;
    EXPECT_NO_THROW(View->Complete("http://a/"));
    EXPECT_TRUE(HasFile(0));  // the page itself was saved before the request
    EXPECT_EQ(Failure(1), "other 0\nnavigation failed\n");
    EXPECT_EQ(Failure(2), "other 0\nnavigation failed\n");
    ExpectState(false, 3);
    EXPECT_EQ(View->PassesEnded, 1);
    // A view that cannot load anything (its engine cannot be started) ends
    // the pass with one line, not one a page; the next pass tries again.
    EXPECT_THAT(AppPlatform.LogLines, ElementsAre("the capture pass ends: navigation failed"));
    View->FailNavigate = false;
    Form->StartCapture();
    EXPECT_EQ(View->Navigations.back(), "about:blank");
}

TEST_F(Capture, FailedLoadIsRecordedWithItsReasonAndReportedOncePerPass) {
    Source.List = {"http://refused/", "http://b/"};
    for (int pass = 0; pass < 2; ++pass) {
        Form->StartCapture();
        View->Complete("about:blank");
        View->Fail("http://refused/", "Could not connect", TPageFailureKind::pfRefused);
        View->CompleteCurrent();
    }
    EXPECT_EQ(Failure(0), "refused 0\nCould not connect\n");
    EXPECT_THAT(AppPlatform.LogLines, ElementsAre(::testing::HasSubstr("接続が拒否されました"),
                                                  ::testing::HasSubstr("接続が拒否されました")));
    EXPECT_TRUE(HasFile(1));
    ExpectState(false, 2);
}

TEST_F(Capture, FailingBlankNavigationLeavesTheFormIdle) {
    View->FailNavigate = true;
    EXPECT_THROW(Form->StartCapture(), Exception);
    ExpectState(false, 0);
}

TEST_F(Capture, CompletionBeforeAnyPageIsRequestedWritesNoFile) {
    // The last page of a finished pass reloads while the next pass waits for
    // its blank page: there is no page file for it to go to.
    Source.List = {"http://a/"};
    RunThrough(0);
    Files.Files.clear();
    Form->StartCapture();
    View->Complete("http://a/");
    EXPECT_THAT(Files.Files, IsEmpty());
    ExpectState(true, 1);
    EXPECT_EQ(View->Navigations.back(), "http://a/");
}

// An engine that answers through the event loop: every step completes later.
class AsyncCapture : public Capture {
  protected:
    AsyncCapture() { View->Async = true; }
    void CompleteAndRun(const std::string& url) {
        View->Complete(url);
        View->RunSteps();
    }
};

TEST_F(AsyncCapture, StepsCompletingLaterCaptureEachPageAndMoveOn) {
    Source.List = {"http://a/", "http://b/"};
    View->Pages["http://a/"] = {500, 900};
    Form->StartCapture();
    View->Complete("about:blank");
    View->Complete("http://a/");
    EXPECT_EQ(View->PendingSteps(), 1u);  // settling
    EXPECT_FALSE(HasFile(0));
    EXPECT_EQ(View->Navigations.back(), "http://a/");
    View->RunSteps();
    EXPECT_EQ(ReadPage(0).Height(), 900);
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    CompleteAndRun("http://b/");
    ExpectState(false, 2);
    EXPECT_TRUE(HasFile(1));
    EXPECT_THAT(AppPlatform.Reports, IsEmpty());
}

TEST_F(AsyncCapture, StepFailingLaterIsReportedAndThePassGoesOn) {
    Source.List = {"http://a/", "http://b/", "http://c/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->FailPicture = true;
    CompleteAndRun("http://a/");
    EXPECT_THAT(AppPlatform.LogLines,
                ElementsAre(::testing::HasSubstr("(the picture cannot be taken)")));
    EXPECT_FALSE(HasFile(0));
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    View->FailPicture = false;
    Files.FailWrites = true;  // a cache that cannot be written: reported, skipped
    CompleteAndRun("http://b/");
    ASSERT_EQ(AppPlatform.LogLines.size(), 3u);
    EXPECT_THAT(AppPlatform.LogLines[2], ::testing::HasSubstr("cannot be written"));
    Files.FailWrites = false;
    View->Pages["http://c/"].Html = false;
    CompleteAndRun("http://c/");
    EXPECT_EQ(AppPlatform.LogLines.size(), 4u);
    ExpectState(false, 3);  // the pass ended instead of stalling
    EXPECT_EQ(PageFiles(), 0u);
    EXPECT_NE(Failure(0), "");
    EXPECT_NE(Failure(2), "");
    EXPECT_THAT(AppPlatform.Reports, IsEmpty());
}

TEST_F(AsyncCapture, PageThatCannotBeLoadedKeepsItsOldFileAndThePassGoesOn) {
    Source.List = {"http://a/", "http://down/", "http://c/"};
    Form->StartCapture();
    for (const char* url : {"about:blank", "http://a/", "http://down/", "http://c/"})
        CompleteAndRun(url);
    ExpectState(false, 3);
    Files.NextDate += 1;
    const std::int32_t oldDate = Files.FileDate(PageFile(1));
    Form->StartCapture();
    CompleteAndRun("about:blank");
    CompleteAndRun("http://a/");
    View->Fail("http://down/", "no answer", TPageFailureKind::pfNoAnswer);
    EXPECT_THAT(AppPlatform.LogLines,
                ElementsAre("\"http://down/\": 時間内に応答がありませんでした (no answer)"));
    EXPECT_EQ(Failure(1), "no-answer 0\nno answer\n");
    EXPECT_EQ(Files.FileDate(PageFile(1)), oldDate);
    EXPECT_EQ(View->Navigations.back(), "http://c/");
    CompleteAndRun("http://c/");
    ExpectState(false, 3);
}

// A page that moves on while it settles (a script's or a refresh's redirect)
// is captured once, where it ends, into its own file.
TEST_F(AsyncCapture, PageThatMovesOnWhileSettlingIsCapturedWhereItEnds) {
    Source.List = {"http://a/", "http://b/"};
    View->Pages["http://a/"] = {500, 300};
    View->Pages["http://a/moved"] = {500, 2000};
    Form->StartCapture();
    CompleteAndRun("about:blank");
    View->Complete("http://a/");
    EXPECT_EQ(View->PendingSteps(), 1u);  // settling
    View->Navigate("http://a/moved");     // the page's own navigation
    View->Complete("http://a/moved");
    View->RunSteps();
    EXPECT_EQ(View->Pictures, 1);
    EXPECT_EQ(ReadPage(0).Height(), 2000);
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    EXPECT_FALSE(HasFile(1));
}

// A page that reloads itself while it settles, again and again: its capture
// starts anew a few times, then the capture under way takes it, and the
// pass goes on. A reload after its capture (the last page of a pass) is
// captured again as before.
TEST_F(AsyncCapture, PageThatNeverStopsMovingOnIsTakenAfterAFewMoves) {
    Source.List = {"http://loop/", "http://b/"};
    View->Pages["http://loop/"] = {500, 700};
    Form->StartCapture();
    CompleteAndRun("about:blank");
    for (int move = 0; move < 10; ++move)
        View->Complete("http://loop/");  // each before the settle answers
    EXPECT_EQ(View->Pictures, 0);
    View->RunSteps();
    EXPECT_EQ(View->Pictures, 1);
    EXPECT_EQ(ReadPage(0).Height(), 700);
    EXPECT_EQ(std::count(View->Log.begin(), View->Log.end(), "settle"),
              4);  // the first and 3 moves
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    // The next page may move on a few times again: its load and 3 moves.
    for (int move = 0; move < 4; ++move)
        View->Complete("http://b/");
    View->RunSteps();
    EXPECT_EQ(std::count(View->Log.begin(), View->Log.end(), "settle"), 8);
    ExpectState(false, 2);
    // After the pass, each reload of the last page is captured again.
    for (int reload = 0; reload < 5; ++reload)
        CompleteAndRun("http://b/");
    EXPECT_EQ(View->Pictures, 7);
}

// An empty frame that completes while the page settles (an advert's
// about:blank) neither skips the page nor starts its capture anew.
TEST_F(AsyncCapture, BlankFrameCompletingWhileThePageSettlesIsNoMove) {
    Source.List = {"http://a/", "http://b/"};
    View->Pages["http://a/"] = {640, 700};
    Form->StartCapture();
    CompleteAndRun("about:blank");
    View->Complete("http://a/");
    View->Complete("about:blank");
    EXPECT_EQ(View->Navigations.back(), "http://a/");
    View->RunSteps();
    EXPECT_EQ(ReadPage(0).Height(), 700);
    EXPECT_FALSE(Files.Files.count(FailureFile(0)));
    EXPECT_EQ(std::count(View->Log.begin(), View->Log.end(), "settle"), 1);
    EXPECT_EQ(View->Navigations.back(), "http://b/");
}

TEST_F(AsyncCapture, PageThatNeverSettlesIsTakenAtTheLimitAndSaidOnce) {
    Source.List = {"http://clock/", "http://b/"};
    View->Pages["http://clock/"] = {640, 480, true, false, true};
    Form->StartCapture();
    for (const char* url : {"about:blank", "http://clock/", "http://b/"})
        CompleteAndRun(url);
    ExpectState(false, 2);
    EXPECT_TRUE(HasFile(0));
    EXPECT_EQ(Failure(0), "");
    EXPECT_THAT(AppPlatform.LogLines,
                ElementsAre("\"http://clock/\" was still changing at the settle limit: taken "
                            "as it stands"));
}

TEST_F(AsyncCapture, PageThatFailsToSettleFailsAloneAndThePassGoesOn) {
    Source.List = {"http://a/", "http://b/"};
    Form->StartCapture();
    CompleteAndRun("about:blank");
    View->FailSettle = true;
    CompleteAndRun("http://a/");
    View->FailSettle = false;
    EXPECT_NE(Failure(0), "");
    EXPECT_FALSE(HasFile(0));
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    CompleteAndRun("http://b/");
    ExpectState(false, 2);
    EXPECT_TRUE(HasFile(1));
    EXPECT_THAT(AppPlatform.LogLines,
                ElementsAre(::testing::HasSubstr("(the page did not answer)")));
}

TEST_F(AsyncCapture, NewCompletionWhileCapturingDropsTheEarlierSteps) {
    Source.List = {"http://a/", "http://b/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->Complete("http://a/");
    View->Complete("http://a/");  // the page completed again before it was measured
    View->RunSteps();
    EXPECT_EQ(View->Pictures, 1);
    EXPECT_EQ(View->Navigations,
              (std::vector<std::string>{"about:blank", "http://a/", "http://b/"}));
    ExpectState(true, 2);
}

TEST_F(AsyncCapture, DisconnectedFormIgnoresCompletionsAndLateSteps) {
    Source.List = {"http://a/", "http://b/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->Complete("http://a/");  // measuring
    Form->Disconnect();
    View->RunSteps();
    View->Complete("http://a/");
    View->Fail("http://b/", "gone");
    Form->StartCapture();
    EXPECT_THAT(Files.Files, IsEmpty());
    EXPECT_THAT(AppPlatform.Reports, IsEmpty());
    EXPECT_EQ(View->Navigations.back(), "http://a/");
    EXPECT_FALSE(View->OnDocumentComplete);
}

TEST_F(AsyncCapture, DestroyingTheFormDestroysTheViewWithItsPendingSteps) {
    Source.List = {"http://a/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->Complete("http://a/");
    Form.reset();
    EXPECT_TRUE(ViewDestroyed);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// Each picture has the address it was captured from beside it; at the end
// of a pass the files of entries no longer on the list go, and names of
// other forms stay.
TEST_F(Capture, PicturesKeepTheirAddressAndPagesBeyondTheListGoAtThePassEnd) {
    for (const char* name : {"5.bmp", "5.url", "5.failed", "7.bmp", "x.bmp", "notes.txt"})
        Files.AddFile(std::string(kCache) + name, {'x'}, 1);
    Source.List = {"http://a/", "http://b/"};
    RunThrough(1);
    ExpectState(false, 2);
    EXPECT_TRUE(PageAddressIs(Files, kCache, 0, "http://a/"));
    EXPECT_TRUE(PageAddressIs(Files, kCache, 1, "http://b/"));
    for (const char* name : {"5.bmp", "5.url", "5.failed", "7.bmp"})
        EXPECT_FALSE(Files.Files.count(std::string(kCache) + name)) << name;
    for (const char* name : {"x.bmp", "notes.txt"})
        EXPECT_TRUE(Files.Files.count(std::string(kCache) + name)) << name;

    // The entries change places: each picture is made again under its own
    // address, and the old address goes before the new picture is written.
    Source.List = {"http://b/", "http://a/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->Async = true;
    View->CompleteCurrent();
    View->RunSteps();
    EXPECT_TRUE(PageAddressIs(Files, kCache, 0, "http://b/"));
    const auto deleted =
        std::find(Files.Deleted.begin(), Files.Deleted.end(), GetPageAddressFileName(kCache, 0));
    EXPECT_NE(deleted, Files.Deleted.end());
}

// The display learns of each page straight from the capture: a cache folder
// where nothing can be written (read-only, full) holds nothing up.
TEST_F(Capture, TheDisplayIsToldOfEveryPageTriedWhenNoFileCanBeWritten) {
    std::vector<std::string> told;
    Form->OnPageTried = [&](std::int32_t index, const std::string& url,
                            const TPageFailure* failure) {
        told.push_back(std::to_string(index) + " " + url + (failure ? " failed" : " captured"));
    };
    Source.List = {"http://a/", "http://b/"};
    RunThrough(1);
    Files.FailWrites = true;
    Files.FailTouch = true;
    Files.Folders.clear();  // nothing can be created either
    RunThrough(1);
    EXPECT_THAT(told, ElementsAre("0 http://a/ captured", "1 http://b/ captured",
                                  "0 http://a/ failed", "1 http://b/ failed"));
    EXPECT_THAT(AppPlatform.LogLines,
                Contains(::testing::HasSubstr("0.failed\" cannot be written")));
    ExpectState(false, 2);
}

// Another program captures now: the pass is left out, without a navigation,
// and the next pass asks again.
TEST_F(Capture, APassThatMayNotStartNowIsLeftOutAndTheNextAsksAgain) {
    Source.List = {"http://a/"};
    View->RefusePass = true;
    Form->StartCapture();
    EXPECT_TRUE(Form->PassRefused());
    EXPECT_THAT(View->Navigations, IsEmpty());
    ExpectState(false, 0);
    View->RefusePass = false;
    RunThrough(0);
    EXPECT_FALSE(Form->PassRefused());
    EXPECT_EQ(View->PassesBegun, 2);
    EXPECT_EQ(View->PassesEnded, 1);
    EXPECT_TRUE(HasFile(0));
}

// A pass whose first navigation fails gives back what it took.
TEST_F(Capture, APassThatCannotStartGivesItsTurnBack) {
    View->FailNavigate = true;
    EXPECT_THROW(Form->StartCapture(), Exception);
    EXPECT_EQ(View->PassesBegun, 1);
    EXPECT_EQ(View->PassesEnded, 1);
}

}  // namespace
}  // namespace lum

namespace lum {
namespace {

// The list is read anew while a page loads: its picture is of the address
// that was requested, and is recorded under that one, never under the entry
// that took its place.
TEST_F(Capture, APictureIsRecordedUnderTheAddressItWasRequestedFrom) {
    std::vector<std::string> told;
    Form->OnPageTried = [&](std::int32_t index, const std::string& url, const TPageFailure*) {
        told.push_back(std::to_string(index) + " " + url);
    };
    Source.List = {"http://red/", "http://blue/"};
    Form->StartCapture();
    View->Complete("about:blank");
    Source.List = {"http://green/"};  // edited while red loads
    View->CompleteCurrent();
    EXPECT_TRUE(PageAddressIs(Files, kCache, 0, "http://red/"));
    EXPECT_THAT(told, ElementsAre("0 http://red/"));
    ExpectState(false, 1);  // the pass ends with the shorter list
    EXPECT_FALSE(Files.Files.count(GetPageAddressFileName(kCache, 1)));
}

}  // namespace
}  // namespace lum
