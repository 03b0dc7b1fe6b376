// What the stand-in capture tests share: a capture source of the display's
// size, temporary cache folders, page files read back by their pixels, a
// platform that keeps the capture's log lines, and the fixture that registers
// the stand-in control for each test.
#pragma once

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
#include "win32/browser/Win32WebView.h"
#include "win32/browser/standin/StandinPages.h"
#include "win32/browser/standin/StandinRegistration.h"

namespace lum::win32 {

using namespace lum::standin;

// Pumps until n completions have been seen or 5 s have passed.
inline void PumpUntil(const std::vector<std::string>& seen, std::size_t n) {
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
inline std::string TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::string folder = Narrow(temp) + "lum-standin-" + std::to_string(::GetTickCount());
    ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
    return folder + "\\";
}

inline TPageBitmap ReadPicture(IFileSystem& files, const std::string& path) {
    auto reader = files.OpenRead(path);
    return reader ? ReadBmp(*reader) : TPageBitmap();
}

// "r,g,b" of a pixel of a decoded page file (32-bit rows, top-down).
inline std::string PixelAt(const TPageBitmap& image, std::int32_t x, std::int32_t y) {
    if (x >= image.Width() || y >= image.Height())
        return "outside";
    const std::uint32_t p = image.Pixel(x, y);
    return std::to_string((p >> 16) & 0xFF) + "," + std::to_string((p >> 8) & 0xFF) + "," +
           std::to_string(p & 0xFF);
}

inline std::string Expected(std::uint8_t tag, std::int32_t y) {
    const TRgb c = RowColor(tag, y);
    return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
}

class TQuietPlatform : public IApplicationPlatform {
  public:
    void ShowErrorReport(const std::string&, const std::string& message) override {
        ADD_FAILURE() << "error report: " << message;
    }
    void PostDeferred(std::function<void()> action) override { action(); }
    void WriteLog(const std::string& line) override { Lines.push_back(line); }
    std::vector<std::string> Lines;  // the log, line by line
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

// Runs capture passes over urls into folder's files, the pages settled
// within limits; false when a pass does not end within 10 s.
inline bool RunPasses(const std::vector<std::string>& urls,
                      const std::string& cache,
                      int passes,
                      const TSettleLimits& limits = {}) {
    TWin32FileSystem files;
    TSource source;
    source.Urls = urls;
    auto view = CreateCaptureWebView(0);
    view->SetSettleLimits(limits);
    auto form = std::make_unique<TWorkingForm>(std::move(view), files, cache, source);
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

}  // namespace lum::win32
