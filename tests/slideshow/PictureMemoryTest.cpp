// The capture within what a 32-bit process can hold: the rows a picture of
// a given width may have, the sizes asked of the web view at the widths of
// real monitors, and pages whose picture cannot be held.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <new>

#include "common/Bmp.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeWebView.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

using fakes::TFakeWebView;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr const char* kCache = "C:\\Tools\\LumenaryCache\\";

std::uint64_t PictureBytes(std::int32_t width, std::int32_t rows) {
    return std::uint64_t(width) * std::uint64_t(rows) * 4;
}

TEST(PictureHeightCap, WiderMonitorsKeepFewerRowsWithinTheByteCap) {
    // 1920 wide: the height cap comes first (32000 rows are 234 MiB).
    EXPECT_EQ(PictureHeightCap(1920), kPageHeightCap);
    // 3840 and 7680 wide: the byte cap, to the last row that fits.
    EXPECT_EQ(PictureHeightCap(3840), 17476);
    EXPECT_EQ(PictureHeightCap(7680), 8738);
    for (const std::int32_t width : {1920, 2097, 2098, 3840, 7680, kBmpMaxSide}) {
        const std::int32_t rows = PictureHeightCap(width);
        EXPECT_LE(PictureBytes(width, rows), kPictureMaxBytes) << width;
        if (rows < kPageHeightCap) {
            EXPECT_GT(PictureBytes(width, rows + 1), kPictureMaxBytes) << width;
        }
    }
    // Where one rule hands over to the other.
    EXPECT_EQ(PictureHeightCap(2097), kPageHeightCap);
    EXPECT_EQ(PictureHeightCap(2098), 31987);
    // Sizes no monitor has still give a picture of at least one row.
    EXPECT_EQ(PictureHeightCap(0), kPageHeightCap);
    EXPECT_EQ(PictureHeightCap(-5), kPageHeightCap);
    EXPECT_EQ(PictureHeightCap(std::numeric_limits<std::int32_t>::max()), 1);
}

struct TSource : ICaptureSource {
    std::vector<std::string> List;
    std::int32_t W = 1920;
    std::int32_t H = 1080;
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return W; }
    std::int32_t Height() const override { return H; }
};

// A file system that has no memory left for writing page files (a buffer on
// the way to the file): creating one throws std::bad_alloc.
class TNoMemoryForPageFiles : public fakes::TFakeFileSystem {
  public:
    bool NoMemory = false;
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) override {
        if (NoMemory && path.ends_with(".bmp"))
            throw std::bad_alloc();
        return TFakeFileSystem::CreateReplacing(path);
    }
};

class PictureMemory : public ::testing::Test {
  protected:
    PictureMemory() {
        SetApplication(&App);
        Files.Folders.insert(kCache);
        auto view = std::make_unique<TFakeWebView>();
        View = view.get();
        Form = std::make_unique<TWorkingForm>(std::move(view), Files, kCache, Source);
        Form->OnPageTried = [this](std::int32_t index, const std::string&,
                                   const TPageFailure* failure) {
            Tried.push_back(std::to_string(index) + " " +
                            (failure ? FailureKindName(failure->Kind) : "captured"));
        };
    }
    ~PictureMemory() override {
        Form.reset();
        SetApplication(nullptr);
    }

    // The picture asked for a page of the display's width, 100000 rows tall.
    std::string PictureOfTallPage(std::int32_t width) {
        Source.W = width;
        Source.List = {"http://tall/"};
        View->Pages["http://tall/"] = {width, 100000};
        View->Log.clear();
        Form->StartCapture();
        View->Complete("about:blank");
        View->CompleteCurrent();
        for (const std::string& line : View->Log) {
            if (line.starts_with("picture "))
                return line.substr(0, line.find(" view"));
        }
        return "";
    }
    std::string Record(int k) {
        const auto file = Files.Files.find(GetFailureFileName(kCache, k));
        return file == Files.Files.end()
                   ? ""
                   : std::string(file->second.Data.begin(), file->second.Data.end());
    }

    fakes::TFakeApplicationPlatform AppPlatform;
    TApplication App{AppPlatform};
    TNoMemoryForPageFiles Files;
    TSource Source;
    TFakeWebView* View = nullptr;
    std::unique_ptr<TWorkingForm> Form;
    std::vector<std::string> Tried;
};

TEST_F(PictureMemory, TallPageIsCapturedDownToTheRowsItsWidthMayHold) {
    EXPECT_EQ(PictureOfTallPage(1920), "picture 1920x32000");
    EXPECT_EQ(PictureOfTallPage(3840), "picture 3840x17476");
    EXPECT_EQ(PictureOfTallPage(7680), "picture 7680x8738");
    // The log says how many rows were kept, once per page for the run.
    EXPECT_THAT(
        AppPlatform.LogLines,
        ElementsAre("\"http://tall/\" is 100000 pixels tall: its first 32000 are captured"));
}

TEST_F(PictureMemory, PageAtTheByteCapIsWholeAndOneRowMoreIsCut) {
    Source.W = 3840;
    Source.List = {"http://fits/", "http://over/"};
    View->Pages["http://fits/"] = {3840, 17476};
    View->Pages["http://over/"] = {3840, 17477};
    Form->StartCapture();
    View->Complete("about:blank");
    View->CompleteCurrent();
    View->CompleteCurrent();
    EXPECT_THAT(View->Log, Contains("picture 3840x17476 view 3840x1080"));
    EXPECT_THAT(AppPlatform.LogLines,
                ElementsAre("\"http://over/\" is 17477 pixels tall: its first 17476 are captured"));
}

// The picture cannot be held (the platform's bitmap or the picture's pixels,
// at once, from the view's own call): the page fails saying so, keeps its
// earlier file, and the pass goes on to the next page.
TEST_F(PictureMemory, PictureWithoutMemoryFailsThePageAndThePassGoesOn) {
    Files.AddFile(GetCacheFileName(kCache, 0), {1, 2, 3}, 0x4A000000);
    Source.List = {"http://big/", "http://small/"};
    Form->StartCapture();
    View->Complete("about:blank");
    View->OutOfMemoryOnPicture = true;
    View->CompleteCurrent();
    View->OutOfMemoryOnPicture = false;
    View->CompleteCurrent();

    EXPECT_THAT(Tried, ElementsAre("0 out-of-memory", "1 captured"));
    EXPECT_THAT(Record(0), StartsWith("out-of-memory 0\n"));
    EXPECT_EQ(Files.Files[GetCacheFileName(kCache, 0)].Date, 0x4A000000);
    EXPECT_TRUE(Files.Files.count(GetCacheFileName(kCache, 1)));
    EXPECT_THAT(AppPlatform.LogLines,
                Contains(StartsWith(
                    "\"http://big/\": メモリが足りないため、ページを取り込めませんでした")));
    EXPECT_FALSE(Form->Busy());
    EXPECT_EQ(View->PassesEnded, 1);

    // The next pass tries the page again, and a picture it can hold replaces
    // the record.
    Form->StartCapture();
    View->Complete("about:blank");
    View->CompleteCurrent();
    EXPECT_EQ(Record(0), "");
    EXPECT_EQ(Tried.at(2), "0 captured");
}

// A platform that answers later: the memory runs out in the continuation
// (the page file cannot be written for want of a buffer); the same failure,
// the same pass.
TEST_F(PictureMemory, MemoryRunningOutInALaterStepFailsOnlyThatPage) {
    View->Async = true;
    Source.List = {"http://a/", "http://b/"};
    Form->StartCapture();
    View->Complete("about:blank");
    Files.NoMemory = true;
    View->CompleteCurrent();
    View->RunSteps();
    Files.NoMemory = false;
    EXPECT_THAT(Tried, ElementsAre("0 out-of-memory"));
    EXPECT_THAT(Record(0), StartsWith("out-of-memory 0\nstd::bad_alloc"));
    EXPECT_EQ(View->Navigations.back(), "http://b/");
    View->CompleteCurrent();
    View->RunSteps();
    EXPECT_THAT(Tried, ElementsAre("0 out-of-memory", "1 captured"));
    EXPECT_FALSE(Form->Busy());
}

TEST(PageFailure, OutOfMemoryKindIsKeptByNameInTheRecord) {
    fakes::TFakeFileSystem files;
    files.Folders.insert(kCache);
    const TPageFailure written{TPageFailureKind::pfOutOfMemory, 0,
                               "not enough memory for a bitmap of 7680 x 8738 pixels"};
    ASSERT_TRUE(WriteFailureRecord(files, kCache, 4, written));
    TPageFailure read;
    ASSERT_TRUE(ReadFailureRecord(files, GetFailureFileName(kCache, 4), read));
    EXPECT_EQ(read.Kind, TPageFailureKind::pfOutOfMemory);
    EXPECT_EQ(read.Detail, written.Detail);
    EXPECT_EQ(FailureReasonText(read), "メモリが足りないため、ページを取り込めませんでした");
}

}  // namespace
}  // namespace lum
