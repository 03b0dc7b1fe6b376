// The capture window and the capture pass of the Win32 layer driven end to end
// against the stand-in WebBrowser control (LumenaryStandin.dll), registered
// for the WebBrowser class only while each test runs: in-place activation,
// completion through the message loop, the body's sizes by late binding,
// sizing through the site, OleDraw into the picture, and the page files.
// The stand-in draws a known picture, not a rendered page: these tests prove
// the host's side of the contract, not how a real engine lays out or draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "common/Forms.h"
#include "slideshow/Working.h"
#include "win32/PumpMessages.h"
#include "win32/Strings.h"
#include "win32/Win32FileSystem.h"
#include "win32/browser/DispatchObject.h"
#include "win32/browser/Win32WebView.h"
#include "win32/browser/standin/StandinPages.h"
#include "win32/browser/standin/StandinRegistration.h"

namespace lum::win32 {
namespace {

using namespace lum::standin;

// Pumps until n completions have been seen or 5 s have passed.
void PumpUntil(const std::vector<std::string>& seen, std::size_t n) {
    const DWORD start = ::GetTickCount();
    while (seen.size() < n && ::GetTickCount() - start < 5000)
        PumpMessages(5);
}

class TSource final : public ICaptureSource {
  public:
    std::vector<std::string> Urls;
    bool Scroll = true;
    const std::vector<std::string>& URLs() const override { return Urls; }
    bool EnableScroll() const override { return Scroll; }
    std::int32_t Width() const override { return 1024; }
    std::int32_t Height() const override { return 768; }
};

// A new folder under the temporary folder, with its trailing backslash.
std::string TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::string folder = Narrow(temp) + "lum-standin-" + std::to_string(::GetTickCount());
    ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
    return folder + "\\";
}

TPageBitmap ReadPicture(IFileSystem& files, const std::string& path) {
    auto reader = files.OpenRead(path);
    return reader ? ReadBmp(*reader) : TPageBitmap();
}

// "r,g,b" of a pixel of a decoded page file (32-bit rows, top-down).
std::string PixelAt(const TPageBitmap& image, std::int32_t x, std::int32_t y) {
    if (x >= image.Width() || y >= image.Height())
        return "outside";
    const std::uint32_t p = image.Pixel(x, y);
    return std::to_string((p >> 16) & 0xFF) + "," + std::to_string((p >> 8) & 0xFF) + "," +
           std::to_string(p & 0xFF);
}

std::string Expected(std::uint8_t tag, std::int32_t y) {
    const TRgb c = RowColor(tag, y);
    return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
}

class TQuietPlatform : public IApplicationPlatform {
  public:
    void ShowErrorReport(const std::string&, const std::string& message) override {
        ADD_FAILURE() << "error report: " << message;
    }
    void PostDeferred(std::function<void()> action) override { action(); }
};

class StandinCapture : public ::testing::Test {
  protected:
    // The capture logs a page it skips (the blank entry) through the
    // application object, as the program has one.
    void SetUp() override {
        SetApplication(&FApplication);
        ASSERT_TRUE(FRegistration.Register(Widen(LUM_STANDIN_DLL)));
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    }
    void TearDown() override {
        PumpMessages(20);
        ::OleUninitialize();
        FRegistration.Unregister();
        SetApplication(nullptr);
    }

    // Objects of the stand-in alive now (0 when its DLL is not loaded).
    static long LiveObjects() {
        const HMODULE dll = ::GetModuleHandleW(L"LumenaryStandin.dll");
        if (!dll)
            return 0;
        auto live = reinterpret_cast<LONG(WINAPI*)()>(::GetProcAddress(dll, "StandinLiveObjects"));
        return live ? live() : -1;
    }

    std::unique_ptr<TWin32WebView> NewView(std::vector<std::string>& seen) {
        auto view = CreateCaptureWebView(0);
        view->OnDocumentComplete = [&seen](const std::string& url) { seen.push_back(url); };
        return view;
    }

    TStandinRegistration FRegistration;
    TQuietPlatform FPlatform;
    TApplication FApplication{FPlatform};
};

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

TEST_F(StandinCapture, FramesCompleteFirstAndANewNavigationDropsWhatIsLeft) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->Navigate("standin:frames?n=2");
    PumpUntil(seen, 3);
    PumpMessages(30);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "standin:frame?1&of=standin:frames?n=2");
    EXPECT_EQ(seen[1], "standin:frame?2&of=standin:frames?n=2");
    EXPECT_EQ(seen[2], "standin:frames?n=2");

    // Navigating from the first frame's completion: the page's other
    // completions never come, the new page's do.
    seen.clear();
    view->OnDocumentComplete = [&](const std::string& url) {
        seen.push_back(url);
        if (seen.size() == 1)
            view->Navigate("standin:fill");
    };
    view->Navigate("standin:frames?n=3");
    PumpUntil(seen, 2);
    PumpMessages(30);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"standin:frame?1&of=standin:frames?n=3", "standin:fill"}));
}

// Runs capture passes over urls into folder's files; false when a pass
// does not end within 10 s.
bool RunPasses(const std::vector<std::string>& urls, const std::string& cache, int passes) {
    TWin32FileSystem files;
    TSource source;
    source.Urls = urls;
    auto form = std::make_unique<TWorkingForm>(CreateCaptureWebView(0), files, cache, source);
    for (int pass = 0; pass < passes; ++pass) {
        form->StartCapture();
        const DWORD start = ::GetTickCount();
        while ((form->Busy() || form->NextIndex() == 0) && ::GetTickCount() - start < 10000)
            PumpMessages(5);
        if (form->Busy() || form->NextIndex() != static_cast<std::int32_t>(urls.size()))
            return false;
    }
    return true;
}

TEST_F(StandinCapture, PassWritesEachPageFileAtItsSizeAndSkipsTheBlankEntry) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    ASSERT_TRUE(RunPasses({"standin:fixed?w=500&h=300", "about:blank", "standin:frames?n=1",
                           "http://example.invalid/", "standin:tall?h=2000"},
                          folder, 1));
    const TPageBitmap fixed = ReadPicture(files, folder + "0.bmp");
    // Never smaller than the window the page is shown in.
    EXPECT_EQ(fixed.Width(), 1024);
    EXPECT_EQ(fixed.Height(), 768);
    EXPECT_EQ(PixelAt(fixed, 1023, 767), Expected(kFixedTag, 767));
    EXPECT_EQ(files.FileDate(folder + "1.bmp"), -1);
    // The first frame's completion captured the page as it stood.
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

}  // namespace
}  // namespace lum::win32
