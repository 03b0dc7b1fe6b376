// A tall page scrolled on a real window under Wine: the picture goes
// straight to the window while the URL line and the clock stay on screen,
// the window then shows exactly the frame, and the back buffer still serves
// whatever paint the system asks for afterwards.
#include "win32/PumpMessages.h"
#include "win32/Win32FormWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "common/Form.h"
#include "platform/Canvas.h"
#include "win32/DeviceContexts.h"
#include "win32/DoubleBuffer.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {
namespace {

constexpr int kW = 320;
constexpr int kH = 200;
constexpr int kPageHeight = 2000;
constexpr TColor kBack = 0x00336699;
constexpr TColor kFore = 0x0000FFFF;
constexpr std::uint32_t kForePixel = 0xFFFF00;  // 0x00RRGGBB of kFore
constexpr char kURL[] = "http://example.com/tall";

class TQuietPlatform : public IApplicationPlatform {
  public:
    std::vector<std::string> Reports;
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override { action(); }
};

// Row y of the page has a colour of its own; no row has the text colours.
std::uint32_t RowPixel(int y) {
    return 0x000040C8u | static_cast<std::uint32_t>((y % 256) << 16) |
           static_cast<std::uint32_t>((y / 256) << 10);
}

TPageBitmap TallPage() {
    TPageBitmap page(kW, kPageHeight);
    for (int y = 0; y < kPageHeight; ++y)
        for (int x = 0; x < kW; ++x)
            page.Pixels()[y * kW + x] = RowPixel(y);
    return page;
}

// A form that paints as the display does: background, the page at its
// scroll position, the URL line and the clock.
class TScrollForm : public TForm {
  public:
    TScrollForm(IFormWindowFactory& factory, const TPageBitmap& page)
        : TForm(nullptr, factory, Style()), FPage(page) {}
    HWND Wnd() { return reinterpret_cast<HWND>(Handle()); }
    void PaintFrame(ICanvas& canvas) const {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, kBack);
        canvas.DrawBitmap(FPage, 0, -Scroll);
        canvas.TextOut(5, 5, kURL, kFore, kBack);
        const TSize extent = canvas.TextExtent(Clock);
        canvas.TextOut(kW - extent.Width - 5, kH - extent.Height - 5, Clock, kFore, kBack);
    }

    int Scroll = 0;
    std::string Clock = "PM 12:00:00";

  protected:
    void Paint(ICanvas& canvas) override { PaintFrame(canvas); }

  private:
    static TFormWindowStyle Style() {
        TFormWindowStyle style;
        style.ClassName = "TScrollTestForm";
        style.Popup = true;
        style.Bounds = TRect{0, 0, kW, kH};
        return style;
    }
    const TPageBitmap& FPage;
};

// The window's client area as 0x00RRGGBB pixels, copied in one BitBlt.
std::vector<std::uint32_t> Grab(HWND wnd) {
    std::vector<std::uint32_t> pixels(kW * kH, 0);
    const WindowDc screen(wnd);
    const UniqueMemoryDc memory(::CreateCompatibleDC(screen.Get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kW;
    info.bmiHeader.biHeight = -kH;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const UniqueGdiObject dib(
        ::CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib)
        return pixels;
    {
        const SelectedObject selection(memory.Get(), dib.Get());
        ::BitBlt(memory.Get(), 0, 0, kW, kH, screen.Get(), 0, 0, SRCCOPY);
        ::GdiFlush();
    }
    const auto* from = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < kW * kH; ++i)
        pixels[i] = from[i] & 0x00FFFFFF;
    return pixels;
}

// How many pixels of a part of the URL line's text are in the text colour,
// and how many are the page's (whose blue, 0xC8, no blend of the text's
// colours has): a page pixel there means the line is gone.
struct TLineLook {
    int Fore = 0;
    int Page = 0;
};
TLineLook LineAt(const std::vector<std::uint32_t>& pixels, const RECT& cell) {
    TLineLook look;
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x) {
            const std::uint32_t p = pixels[y * kW + x];
            look.Fore += p == kForePixel;
            look.Page += (p & 0xFF) == 0xC8;
        }
    return look;
}

// The page rows expected on screen at scroll, outside the two text lines.
int WrongPageRows(const std::vector<std::uint32_t>& pixels, int scroll) {
    int wrong = 0;
    for (int y = 40; y < kH - 40; ++y)
        wrong += pixels[y * kW + kW / 2] != RowPixel(y + scroll);
    return wrong;
}

class ScrollPaint : public ::testing::Test {
  protected:
    ScrollPaint() : FApplication(FPlatform), FPage(TallPage()), FForm(FFactory, FPage) {
        SetApplication(&FApplication);
        FForm.Show();
        PumpMessages(100);
    }
    ~ScrollPaint() override { SetApplication(nullptr); }

    // The form's one-second repaint: a tick moved the page.
    void Tick(int scroll, const std::string& clock) {
        FForm.Scroll = scroll;
        FForm.Clock = clock;
        FForm.Invalidate();
        ::UpdateWindow(FForm.Wnd());
    }

    TQuietPlatform FPlatform;
    TApplication FApplication;
    TWin32FormWindowFactory FFactory;
    TPageBitmap FPage;
    TScrollForm FForm;
    const RECT FURLCell{5, 5, 5 + 60, 5 + 8};  // inside the line's text, whatever the font
};

TEST_F(ScrollPaint, ScrolledPageShowsTheWholeFrameWithItsLines) {
    std::vector<std::uint32_t> pixels = Grab(FForm.Wnd());
    EXPECT_EQ(WrongPageRows(pixels, 0), 0);
    EXPECT_GT(LineAt(pixels, FURLCell).Fore, 0);
    for (int tick = 1; tick <= 6; ++tick) {
        std::string clock = "PM 12:00:00";
        clock.back() = static_cast<char>('0' + tick);
        Tick(tick * 66, clock);
        pixels = Grab(FForm.Wnd());
        EXPECT_EQ(WrongPageRows(pixels, tick * 66), 0) << "tick " << tick;
        const TLineLook line = LineAt(pixels, FURLCell);
        EXPECT_GT(line.Fore, 0) << "tick " << tick;
        EXPECT_EQ(line.Page, 0) << "tick " << tick;
    }
    // Pixel for pixel what the whole frame shows, drawn at once from the
    // buffer for a paint of the whole window.
    ::RedrawWindow(FForm.Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(Grab(FForm.Wnd()), pixels);
    EXPECT_TRUE(FPlatform.Reports.empty());
}

// While the picture goes straight to the window the lines over it are not
// touched: they are presented from the buffer afterwards, so there is no
// moment without the URL line. The returned parts are the lines only.
TEST_F(ScrollPaint, PictureGoesStraightAndTheLinesStayOnScreen) {
    TDoubleBuffer buffer;
    const auto render = [&]() {
        const PaintDc dc(FForm.Wnd());
        return buffer.Render(FForm.Wnd(), dc.Get(),
                             [&](ICanvas& canvas) { FForm.PaintFrame(canvas); });
    };
    ASSERT_EQ(render().size(), 1u);  // a new buffer: everything
    FForm.Scroll = 300;
    FForm.Clock = "PM 12:00:01";
    const std::vector<RECT> changed = render();
    // Not yet presented: the new page is there, the old lines too.
    const std::vector<std::uint32_t> pixels = Grab(FForm.Wnd());
    EXPECT_EQ(WrongPageRows(pixels, 300), 0);
    const TLineLook line = LineAt(pixels, FURLCell);
    EXPECT_GT(line.Fore, 0);
    EXPECT_EQ(line.Page, 0);
    ASSERT_FALSE(changed.empty());
    for (const RECT& r : changed)
        EXPECT_LT((r.right - r.left) * (r.bottom - r.top), kW * kH / 4);
}

// Where the buffer must serve: the last step of a scroll (background shows
// below the page) is drawn whole through it, and so is a paint the system
// asks for after pictures went straight to the window.
TEST_F(ScrollPaint, LastStepAndSystemPaintsComeFromTheBuffer) {
    TDoubleBuffer buffer;
    const auto render = [&]() {
        const PaintDc dc(FForm.Wnd());
        return buffer.Render(FForm.Wnd(), dc.Get(),
                             [&](ICanvas& canvas) { FForm.PaintFrame(canvas); });
    };
    render();
    FForm.Scroll = kPageHeight - kH - 10;
    render();
    FForm.Scroll = kPageHeight - kH + 40;  // the page ends 40 rows above the bottom
    std::vector<RECT> changed = render();
    int area = 0;
    for (const RECT& r : changed)
        area += (r.right - r.left) * (r.bottom - r.top);
    EXPECT_GE(area, kW * (kH - 40));

    // Straight to the window, then a paint of the system: the buffer must
    // hold the page where it went straight.
    Tick(600, "PM 12:00:02");
    Tick(900, "PM 12:00:03");
    const HWND cover = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 20,
                                         30, 200, 120, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(cover);
    PumpMessages(50);
    ::DestroyWindow(cover);
    PumpMessages(100);
    ::RedrawWindow(FForm.Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const std::vector<std::uint32_t> pixels = Grab(FForm.Wnd());
    EXPECT_EQ(WrongPageRows(pixels, 900), 0);
    EXPECT_GT(LineAt(pixels, FURLCell).Fore, 0);
    // A clock-only tick after the scroll keeps the page and its lines.
    Tick(900, "PM 12:00:04");
    EXPECT_EQ(WrongPageRows(Grab(FForm.Wnd()), 900), 0);
}

}  // namespace
}  // namespace lum::win32
