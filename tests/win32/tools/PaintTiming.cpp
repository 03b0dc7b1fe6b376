// Times one slide-show tick plus one double-buffered GDI paint of a
// 1920 x 1080 form, for a page as tall as the form and one 16000 pixels
// tall; then a tick plus the paint of a real form window of the screen's
// size that shows a tall page scrolling (its one-second repaint, asked for
// as the display form asks for it). Prints milliseconds per tick+paint; an
// optional argument names a file that receives the same lines.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/Bmp.h"
#include "common/Form.h"
#include "slideshow/PaintLayout.h"
#include "slideshow/SlideShow.h"
#include "win32/GdiCanvas.h"
#include "win32/Win32Clock.h"
#include "win32/Win32FormWindow.h"

namespace {

using namespace lum;

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kRounds = 100;
constexpr int kRepeats = 5;  // the fastest repeat is reported, the least disturbed one
constexpr std::int32_t kDate = 0x5B873000;

// Every page file exists with one date and is never opened: the loop
// measures the steady state (no reload).
class TSteadyFiles : public IFileSystem {
  public:
    std::string ProgramPath() override { return "C:\\Lumenary.scr"; }
    bool CreateDirectory(const std::string&) override { return false; }
    std::int32_t FileDate(const std::string&) override { return kDate; }
    std::vector<TFileEntry> FindFiles(const std::string&) override { return {}; }
    bool DeleteFile(const std::string&) override { return false; }
    std::unique_ptr<IFileReader> OpenRead(const std::string&) override { return nullptr; }
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string&) override { return nullptr; }
};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

void SetUpShow(TSlideShow& show, IClock& clock, int width, int pageHeight) {
    show.FURLs = {"https://example.com/a/rather/long/path/of/a/page.html"};
    show.FURLShowTime = INT_MAX;
    show.FRefreshTime = 60;
    show.FEnableScroll = true;
    show.FShowURL = true;
    show.FShowClock = true;
    show.FBitmap = TPageBitmap(width, pageHeight);
    std::uint32_t* pixels = show.FBitmap.Pixels();
    for (int i = 0; i < width * pageHeight; ++i)
        pixels[i] = 0x00336699u + i;
    show.FFileDate = kDate;
    show.StartRun(clock.TickCount());
}

double TimePage(HDC target, int pageHeight, bool ownFont) {
    TSteadyFiles files;
    win32::TWin32Clock clock;
    win32::TWin32Locale locale;
    TSlideShow show(files, clock);
    SetUpShow(show, clock, kW, pageHeight);

    win32::UniqueGdiObject font = win32::CreateFormFont(::GetDeviceCaps(target, LOGPIXELSY));
    LARGE_INTEGER start, stop;
    ::QueryPerformanceCounter(&start);
    for (int round = 0; round < kRounds; ++round) {
        if (show.FScrollPos > pageHeight)
            show.FScrollPos = 0;
        show.TimerTimer(kH);
        win32::TGdiCanvas canvas(target, kW, kH,
                                 ownFont ? nullptr : static_cast<HFONT>(font.Get()));
        TPaintContext context{TDisplayMode::dmNormal, kW, kH, clBlack, clWhite, "", clock.Now()};
        PaintDisplay(canvas, show, context, locale);
    }
    ::GdiFlush();
    ::QueryPerformanceCounter(&stop);
    return Milliseconds(start, stop) / kRounds;
}

class TQuietPlatform : public IApplicationPlatform {
  public:
    void ShowErrorReport(const std::string&, const std::string&) override {}
    void PostDeferred(std::function<void()> action) override { action(); }
};

// A full-screen form that paints the show as the display form does.
class TShowForm : public TForm {
  public:
    TShowForm(IFormWindowFactory& factory, const TFormWindowStyle& style, TSlideShow& show)
        : TForm(nullptr, factory, style), FShow(show) {}

  protected:
    void Paint(ICanvas& canvas) override {
        TPaintContext context{TDisplayMode::dmNormal,
                              canvas.Width(),
                              canvas.Height(),
                              clBlack,
                              clWhite,
                              "",
                              FClock.Now()};
        PaintDisplay(canvas, FShow, context, FLocale);
    }

  private:
    TSlideShow& FShow;
    win32::TWin32Clock FClock;
    win32::TWin32Locale FLocale;
};

// A tick and the repaint it asks for, of a window of the screen's size
// showing a page 16000 pixels tall that scrolls a third of the screen each
// tick (back to its top before its end, so that every tick scrolls).
double TimeWindow() {
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    constexpr int kPageHeight = 16000;
    TQuietPlatform platform;
    TApplication application(platform);
    SetApplication(&application);
    TSteadyFiles files;
    win32::TWin32Clock clock;
    TSlideShow show(files, clock);
    SetUpShow(show, clock, w, kPageHeight);
    win32::TWin32FormWindowFactory factory;
    TFormWindowStyle style;
    style.ClassName = "TPaintTimingForm";
    style.Popup = true;
    style.Bounds = TRect{0, 0, w, h};
    double ms = 0;
    {
        TShowForm form(factory, style, show);
        form.Show();
        const auto tick = [&]() {
            if (show.FScrollPos + 2 * h > kPageHeight)
                show.FScrollPos = 0;
            show.TimerTimer(h);
            form.Invalidate();
            ::UpdateWindow(reinterpret_cast<HWND>(form.Handle()));
        };
        tick();  // the first paint makes the buffer
        LARGE_INTEGER start, stop;
        ::QueryPerformanceCounter(&start);
        for (int round = 0; round < kRounds; ++round)
            tick();
        ::GdiFlush();
        ::QueryPerformanceCounter(&stop);
        ms = Milliseconds(start, stop) / kRounds;
    }
    SetApplication(nullptr);
    return ms;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    win32::UniqueMemoryDc target(::CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kW;
    info.bmiHeader.biHeight = -kH;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win32::UniqueGdiObject dib(
        ::CreateDIBSection(target.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!target || !dib)
        return 1;
    win32::SelectedObject selection(target.Get(), dib.Get());

    std::string report;
    char line[160];
    for (int height : {kH, 16000}) {
        for (bool ownFont : {true, false}) {
            double ms = 1e30;
            for (int r = 0; r < kRepeats; ++r)
                ms = std::min(ms, TimePage(target.Get(), height, ownFont));
            std::snprintf(line, sizeof line, "page 1920x%d, %s: %.3f ms per tick+paint\n", height,
                          ownFont ? "font made per paint" : "font kept", ms);
            report += line;
        }
    }
    double ms = 1e30;
    for (int r = 0; r < kRepeats; ++r)
        ms = std::min(ms, TimeWindow());
    std::snprintf(line, sizeof line, "window %dx%d, page scrolling: %.3f ms per tick+paint\n",
                  ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), ms);
    report += line;
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);
    if (commandLine && *commandLine) {
        if (FILE* out = ::_wfopen(commandLine, L"w")) {
            std::fputs(report.c_str(), out);
            std::fclose(out);
        }
    }
    return 0;
}
