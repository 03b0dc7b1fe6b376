// What a page's line asks of its capture, as the stand-in control was asked
// it in a real pass of the capture window: the zoom through
// OLECMDID_OPTICAL_ZOOM (set anew for every page), the headers through
// Navigate's Headers, and the wait once the page has settled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/browser/standin/StandinCaptureRig.h"

namespace lum::win32 {
namespace {

template <class F>
F* Export(const char* name) {
    const HMODULE dll = ::GetModuleHandleW(L"LumenaryStandin.dll");
    return dll ? reinterpret_cast<F*>(reinterpret_cast<void*>(::GetProcAddress(dll, name)))
               : nullptr;
}

class TOptionsSource final : public ICaptureSource {
  public:
    std::vector<std::string> Urls{"standin:fill", "standin:fixed"};
    std::vector<TCaptureOptions> Options{2};
    const std::vector<std::string>& URLs() const override { return Urls; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 1024; }
    std::int32_t Height() const override { return 768; }
    TCaptureOptions CaptureOptions(std::int32_t k) const override {
        return Options[static_cast<std::size_t>(k)];
    }
};

// What the control had been asked when a page was tried.
struct TAsked {
    LONG Zoom = 0;
    std::wstring Headers;
    DWORD At = 0;
};

class StandinCaptureOptions : public StandinCapture {};

TEST_F(StandinCaptureOptions, ZoomHeadersAndWaitReachTheControlForTheirPageOnly) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    TOptionsSource source;
    source.Options[0].ZoomPercent = 150;
    source.Options[0].WaitSeconds = 1;
    source.Options[0].Headers = {{"Authorization", "Bearer t0ken"}, {"X-A", "1"}};
    TWorkingForm form(CreateCaptureWebView(0), files, folder, source);
    std::vector<TAsked> asked;
    form.OnPageTried = [&](std::int32_t, const std::string&, const TPageFailure* failure) {
        EXPECT_EQ(failure, nullptr);
        wchar_t headers[256] = {};
        Export<LONG WINAPI(wchar_t*, LONG)>("StandinLastHeaders")(headers, 256);
        asked.push_back({Export<LONG WINAPI()>("StandinLastZoom")(), headers, ::GetTickCount()});
    };
    const DWORD start = ::GetTickCount();
    form.StartCapture();
    while ((form.Busy() || form.NextIndex() < 2) && ::GetTickCount() - start < 20000)
        PumpMessages(5);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].Zoom, 150);
    EXPECT_EQ(asked[0].Headers, L"Authorization: Bearer t0ken\r\nX-A: 1\r\n");
    EXPECT_GE(asked[0].At - start, 1000u);  // it waited its second once settled
    EXPECT_EQ(asked[1].Zoom, 100);          // set back for the next page
    EXPECT_EQ(asked[1].Headers, L"");
    for (const std::string name : {"0.bmp", "0.url", "1.bmp", "1.url"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

// A banner hidden by its selectors is gone from the picture, the page moved
// up in its place; a cropped panel is the picture, at its own size, with
// the page's rows inside it; a page without the panel fails so.
TEST_F(StandinCaptureOptions, HiddenBannerIsGoneAndACroppedPanelIsThePicture) {
    const std::string folder = TempFolder();
    TWin32FileSystem files;
    TOptionsSource source;
    source.Urls = {"standin:tall?h=2000&banner=40",
                   "standin:tall?h=2000&px=100&py=300&pw=200&ph=150", "standin:tall?h=2000"};
    source.Options = std::vector<TCaptureOptions>(3);
    source.Options[0].Hide = "#cookies, #banner";
    source.Options[1].Crop = "#panel";
    source.Options[2].Crop = "#panel";
    TWorkingForm form(CreateCaptureWebView(0), files, folder, source);
    std::vector<std::string> failures;
    form.OnPageTried = [&](std::int32_t, const std::string&, const TPageFailure* failure) {
        failures.push_back(failure ? failure->Detail : "");
    };
    const DWORD start = ::GetTickCount();
    form.StartCapture();
    while ((form.Busy() || form.NextIndex() < 3) && ::GetTickCount() - start < 20000)
        PumpMessages(5);
    ASSERT_EQ(failures.size(), 3u);
    const TPageBitmap hidden = ReadPicture(files, folder + "0.bmp");
    EXPECT_EQ(hidden.Height(), 2000);  // no banner rows above the page
    EXPECT_EQ(PixelAt(hidden, 10, 0), Expected(kTallTag, 0));
    const TPageBitmap panel = ReadPicture(files, folder + "1.bmp");
    EXPECT_EQ(panel.Width(), 200);
    EXPECT_EQ(panel.Height(), 150);
    EXPECT_EQ(PixelAt(panel, 0, 0), Expected(kTallTag, 300));
    EXPECT_EQ(PixelAt(panel, 199, 149), Expected(kTallTag, 449));
    EXPECT_EQ(failures[2], "no element matches crop=\"#panel\"");
    for (const std::string name : {"0.bmp", "0.url", "1.bmp", "1.url", "2.failed"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace
}  // namespace lum::win32
