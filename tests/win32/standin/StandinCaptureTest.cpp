// The capture window and the capture pass of the Win32 layer driven end to end
// against the stand-in WebBrowser control (LumenaryStandin.dll), registered
// for the WebBrowser class only while each test runs: in-place activation,
// completion through the message loop, the body's sizes by late binding,
// sizing through the site, OleDraw into the capture bitmap and the page file.
// The stand-in draws a known picture, not a rendered page: these tests prove
// the host's side of the contract, not how a real engine lays out or draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "slideshow/Working.h"
#include "win32/Strings.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32WebView.h"
#include "win32/standin/StandinPages.h"
#include "win32/standin/StandinRegistration.h"

namespace lum::win32 {
namespace {

using namespace lum::standin;

void Pump(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(2);
    } while (::GetTickCount() - start < milliseconds);
}

// Pumps until n completions have been seen or 5 s have passed.
void PumpUntil(const std::vector<std::string>& seen, std::size_t n) {
    const DWORD start = ::GetTickCount();
    while (seen.size() < n && ::GetTickCount() - start < 5000)
        Pump(5);
}

// The Win32 file system with the program (and so the cache folder) moved to
// a folder of the test's own.
class TRedirectedFiles final : public IFileSystem {
  public:
    explicit TRedirectedFiles(std::string programPath) : FProgramPath(std::move(programPath)) {}
    std::string ProgramPath() override { return FProgramPath; }
    bool CreateDirectory(const std::string& path) override { return FReal.CreateDirectory(path); }
    std::int32_t FileDate(const std::string& path) override { return FReal.FileDate(path); }
    std::vector<TFileEntry> FindFiles(const std::string& mask) override {
        return FReal.FindFiles(mask);
    }
    bool DeleteFile(const std::string& path) override { return FReal.DeleteFile(path); }
    std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
        return FReal.OpenRead(path);
    }
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) override {
        return FReal.CreateReplacing(path);
    }

  private:
    TWin32FileSystem FReal;
    std::string FProgramPath;
};

class TSource final : public ICaptureSource {
  public:
    std::vector<std::string> Urls;
    bool Scroll = true;
    const std::vector<std::string>& URLs() const override { return Urls; }
    bool EnableScroll() const override { return Scroll; }
    std::int32_t Width() const override { return 1024; }
    std::int32_t Height() const override { return 768; }
};

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

class StandinCapture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FRegistration.Register(Widen(LUM_STANDIN_DLL)));
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    }
    void TearDown() override {
        Pump(20);
        ::OleUninitialize();
        FRegistration.Unregister();
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

TEST_F(StandinCapture, DrawnPictureIsUprightAtTheBitmapSizeAndLosesItsScrollBar) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->Navigate("standin:tall?h=700");
    PumpUntil(seen, 1);
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    auto draw = [&](const std::string& name) {
        auto bitmap = view->CreateCaptureBitmap();
        bitmap->SetWidth(300);
        bitmap->SetHeight(716);
        bitmap->DrawView(8, TRect{0, 0, 300, 716});
        bitmap->SaveToFile(files, folder + name);
        return ReadPicture(files, folder + name);
    };
    const TPageBitmap before = draw("before.bmp");
    ASSERT_EQ(before.Width(), 300);
    ASSERT_EQ(before.Height(), 716);
    EXPECT_EQ(PixelAt(before, 0, 0), Expected(kTallTag, 0));
    EXPECT_EQ(PixelAt(before, 299, 715), "128,128,128");  // the scroll bar

    auto style = view->GetDocumentBody()->GetObjectProperty("style");
    style->PutStringProperty("overflow", "hidden");
    style->PutStringProperty("border", "0");
    const TPageBitmap after = draw("after.bmp");
    for (const std::int32_t y : {0, 1, 255, 256, 300, 715}) {
        EXPECT_EQ(PixelAt(after, 0, y), Expected(kTallTag, y)) << "row " << y;
        EXPECT_EQ(PixelAt(after, 299, y), Expected(kTallTag, y)) << "row " << y;
    }
    files.DeleteFile(folder + "before.bmp");
    files.DeleteFile(folder + "after.bmp");
    ::RemoveDirectoryW(Widen(folder).c_str());
}

TEST_F(StandinCapture, FramesCompleteFirstAndANewNavigationDropsWhatIsLeft) {
    std::vector<std::string> seen;
    auto view = NewView(seen);
    view->Navigate("standin:frames?n=2");
    PumpUntil(seen, 3);
    Pump(30);
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
    Pump(30);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"standin:frame?1&of=standin:frames?n=3", "standin:fill"}));
}

TEST_F(StandinCapture, PassWritesEachPageFileAtItsSizeAndSkipsTheBlankEntry) {
    const std::string folder = TempFolder();
    TRedirectedFiles files(folder + "Lumenary.scr");
    files.CreateDirectory(folder + "LumenaryCache");
    TSource source;
    source.Urls = {"standin:fixed?w=500&h=300", "about:blank", "standin:frames?n=1",
                   "http://example.invalid/"};
    TWin32WebViewFactory factory;
    auto form = std::make_unique<TWorkingForm>(factory.CreateWebView(0), files, source);
    form->StartCapture();
    const DWORD start = ::GetTickCount();
    while ((form->Busy() || form->NextIndex() == 0) && ::GetTickCount() - start < 10000)
        Pump(5);
    EXPECT_FALSE(form->Busy());
    EXPECT_EQ(form->NextIndex(), 4);
    form.reset();

    const std::string cache = folder + "LumenaryCache\\";
    const TPageBitmap fixed = ReadPicture(files, cache + "0.bmp");
    EXPECT_EQ(fixed.Width(), 516);
    EXPECT_EQ(fixed.Height(), 316);
    EXPECT_EQ(PixelAt(fixed, 515, 315), Expected(kFixedTag, 315));
    EXPECT_EQ(files.FileDate(cache + "1.bmp"), -1);
    // The first frame's completion captured the page as it stood.
    const TPageBitmap frames = ReadPicture(files, cache + "2.bmp");
    EXPECT_EQ(frames.Width(), kFramesWidth + 16);
    EXPECT_EQ(frames.Height(), kFramesHeight + 16);
    EXPECT_EQ(PixelAt(frames, 10, 400), Expected(kFramesTag, 400));
    const TPageBitmap unknown = ReadPicture(files, cache + "3.bmp");
    EXPECT_EQ(unknown.Width(), kUnknownWidth + 16);
    EXPECT_EQ(PixelAt(unknown, 0, 0), Expected(kUnknownTag, 0));
    for (const char* name : {"0.bmp", "2.bmp", "3.bmp"})
        files.DeleteFile(cache + name);
    ::RemoveDirectoryW(Widen(cache).c_str());
    ::RemoveDirectoryW(Widen(folder).c_str());
}

TEST_F(StandinCapture, TeardownReleasesEveryObjectOfTheControl) {
    for (int i = 0; i < 5; ++i) {
        std::vector<std::string> seen;
        auto view = NewView(seen);
        view->Navigate("standin:frames?n=1");
        PumpUntil(seen, 1);
        auto body = view->GetDocumentBody();
        body->GetObjectProperty("style")->PutStringProperty("overflow", "hidden");
        body.reset();
        view.reset();
        Pump(10);
        EXPECT_EQ(LiveObjects(), 0) << "round " << i;
        EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    }
}

}  // namespace
}  // namespace lum::win32
