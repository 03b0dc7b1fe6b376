// Form windows and their double-buffered paint under Wine: a paint that
// throws ends its paint and is reported once; repaints keep one back buffer
// and one font and leave the process's GDI objects where they were.
#include "win32/PumpMessages.h"
#include "win32/Win32FormWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Bmp.h"
#include "common/Form.h"
#include "platform/Canvas.h"
#include "win32/DeviceContexts.h"
#include "win32/DoubleBuffer.h"
#include "win32/tools/GdiTable.h"

namespace lum::win32 {
namespace {

constexpr TColor kBack = 0x00336699;
constexpr TColor kFore = 0x0000FFFF;

class TRecordingPlatform : public IApplicationPlatform {
  public:
    std::vector<std::string> Reports;
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override { action(); }
};

// A borderless form whose paint is the test's.
class TPaintForm : public TForm {
  public:
    TPaintForm(IFormWindowFactory& factory, std::function<void(ICanvas&)> paint)
        : TForm(nullptr, factory, Style()), FPaint(std::move(paint)) {}
    HWND Wnd() { return reinterpret_cast<HWND>(Handle()); }

  protected:
    void Paint(ICanvas& canvas) override { FPaint(canvas); }

  private:
    static TFormWindowStyle Style() {
        TFormWindowStyle style;
        style.ClassName = "TPaintTestForm";
        style.Caption = "PaintTestForm";
        style.Bounds = TRect{40, 40, 40 + 320, 40 + 200};
        return style;
    }
    std::function<void(ICanvas&)> FPaint;
};

// What the display form draws each second: background, a line of text with
// its extent measured, and a page picture.
void DrawFrame(ICanvas& canvas, const TPageBitmap& page) {
    canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, kBack);
    const TSize extent = canvas.TextExtent("http://example.com/ 12:34:56");
    canvas.TextOut(5, 5, "http://example.com/ 12:34:56", kFore, kBack);
    canvas.DrawBitmap(page, 10, 10 + extent.Height);
}

long GdiObjects() {
    const long table = probe::CountGdiTable(::GetCurrentProcess());
    return table >= 0 ? table
                      : static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
}

class FormWindow : public ::testing::Test {
  protected:
    FormWindow() : FApplication(FPlatform) { SetApplication(&FApplication); }
    ~FormWindow() override { SetApplication(nullptr); }

    TRecordingPlatform FPlatform;
    TApplication FApplication;
    TWin32FormWindowFactory FFactory;
};

TEST_F(FormWindow, PaintThatThrowsEndsItsPaintAndIsReportedOnce) {
    int paints = 0;
    TPaintForm form(FFactory, [&](ICanvas&) {
        ++paints;
        throw Exception("paint failed");
    });
    form.Show();
    // A paint left open would come back with every look at the queue.
    PumpMessages(300);
    EXPECT_EQ(paints, 1);
    ASSERT_EQ(FPlatform.Reports.size(), 1u);
    EXPECT_EQ(FPlatform.Reports[0], "paint failed");
    EXPECT_FALSE(::GetUpdateRect(form.Wnd(), nullptr, FALSE));

    // Each later repaint fails once and is reported once, and every failed
    // paint gives its DC back (one kept would be lost for good).
    const long objects = GdiObjects();
    for (int i = 0; i < 20; ++i)
        ::RedrawWindow(form.Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(50);
    EXPECT_EQ(paints, 21);
    EXPECT_EQ(FPlatform.Reports.size(), 21u);
    EXPECT_FALSE(::GetUpdateRect(form.Wnd(), nullptr, FALSE));
    EXPECT_EQ(GdiObjects(), objects);
}

TEST_F(FormWindow, ThousandRepaintsMakeNoGdiObjects) {
    const TPageBitmap page(64, 48);
    int paints = 0;
    std::vector<long> during;  // sampled every 50th paint (a count reads the whole table)
    TPaintForm form(FFactory, [&](ICanvas& canvas) {
        DrawFrame(canvas, page);
        if (paints++ % 50 == 0)
            during.push_back(GdiObjects());
    });
    form.Show();
    PumpMessages(50);
    ASSERT_GE(paints, 1);
    const long before = GdiObjects();
    ASSERT_GT(before, 0) << "no GDI object count on this system";

    paints = 0;
    during.clear();
    for (int i = 0; i < 1000; ++i)
        ::RedrawWindow(form.Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_EQ(paints, 1000);
    EXPECT_EQ(GdiObjects(), before);
    // Nothing is made for a paint and deleted after it: while a paint draws,
    // the process holds what it holds between paints plus the paint's DC.
    long withPaintDc = 0;
    {
        const PaintDc dc(form.Wnd());
        withPaintDc = GdiObjects();
    }
    ASSERT_EQ(during.size(), 20u);
    for (long count : during)
        ASSERT_EQ(count, withPaintDc);
    EXPECT_TRUE(FPlatform.Reports.empty());
}

TEST_F(FormWindow, BackBufferIsKeptUntilTheSizeChanges) {
    TPaintForm form(FFactory, [](ICanvas&) {});
    form.Show();
    TDoubleBuffer buffer;
    int seenWidth = 0;
    const auto paint = [&]() {
        const PaintDc dc(form.Wnd());
        buffer.Render(form.Wnd(), dc.Get(), [&](ICanvas& canvas) { seenWidth = canvas.Width(); });
    };
    paint();
    const HGDIOBJ bitmap = buffer.Bitmap();
    const HGDIOBJ font = buffer.Font();
    ASSERT_TRUE(bitmap);
    ASSERT_TRUE(font);
    paint();
    paint();
    EXPECT_EQ(buffer.Bitmap(), bitmap);
    EXPECT_EQ(buffer.Font(), font);
    EXPECT_EQ(seenWidth, 320);

    form.SetBounds(40, 40, 400, 250);
    paint();
    EXPECT_NE(buffer.Bitmap(), bitmap);
    EXPECT_EQ(buffer.Font(), font);  // same screen, same font
    BITMAP info{};
    ASSERT_TRUE(::GetObjectW(buffer.Bitmap(), sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 400);
    EXPECT_EQ(info.bmHeight, 250);
    EXPECT_EQ(seenWidth, 400);
}

TEST_F(FormWindow, RepaintShowsTheNewFrameWholeOnScreen) {
    TColor color = 0x000000FF;
    TColor mark = 0x0000FF00;
    TPaintForm form(FFactory, [&](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, color);
        canvas.FillRect(TRect{300, 180, 310, 190}, mark);
    });
    form.Show();
    PumpMessages(50);
    const auto pixelAt = [&](int x, int y) {
        const WindowDc dc(form.Wnd());
        return ::GetPixel(dc.Get(), x, y);
    };
    EXPECT_EQ(pixelAt(0, 0), RGB(0xFF, 0, 0));
    EXPECT_EQ(pixelAt(319, 199), RGB(0xFF, 0, 0));
    EXPECT_EQ(pixelAt(305, 185), RGB(0, 0xFF, 0));
    // The kept buffer is drawn over, not shown as it was.
    color = 0x00FF8000;
    ::RedrawWindow(form.Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(pixelAt(0, 0), RGB(0, 0x80, 0xFF));
    EXPECT_EQ(pixelAt(319, 199), RGB(0, 0x80, 0xFF));
    // The form's own invalidation shows what changed, far from the corner
    // that it invalidates, and keeps the rest.
    mark = 0x00FFFFFF;
    form.Invalidate();
    ::UpdateWindow(form.Wnd());
    EXPECT_EQ(pixelAt(305, 185), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(pixelAt(299, 185), RGB(0, 0x80, 0xFF));
    EXPECT_EQ(pixelAt(0, 0), RGB(0, 0x80, 0xFF));
    color = 0x00000080;
    form.Invalidate();
    ::UpdateWindow(form.Wnd());
    EXPECT_EQ(pixelAt(0, 0), RGB(0x80, 0, 0));
    EXPECT_EQ(pixelAt(200, 100), RGB(0x80, 0, 0));
    EXPECT_EQ(pixelAt(305, 185), RGB(0xFF, 0xFF, 0xFF));
}

// Restores a system colour when the test ends, whatever its outcome.
class TSystemColorChange {
  public:
    TSystemColorChange(int index, COLORREF color) : FIndex(index), FOld(::GetSysColor(index)) {
        ::SetSysColors(1, &FIndex, &color);
    }
    ~TSystemColorChange() { ::SetSysColors(1, &FIndex, &FOld); }

  private:
    INT FIndex;
    COLORREF FOld;
};

TEST_F(FormWindow, ColourSchemeChangeRepaintsEverythingDrawnInASystemColour) {
    // Background in clBtnFace, a line that changes each frame in a colour of
    // its own: only the line ever differs between two frames' records.
    int frames = 0;
    TPaintForm form(FFactory, [&](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, SystemColor(COLOR_BTNFACE));
        canvas.FillRect(TRect{0, 190, 10 + frames++ % 50, 200}, kFore);
    });
    form.Show();
    PumpMessages(50);
    const auto pixelAt = [&](int x, int y) {
        const WindowDc dc(form.Wnd());
        return ::GetPixel(dc.Get(), x, y);
    };
    const COLORREF before = ::GetSysColor(COLOR_BTNFACE);
    ASSERT_EQ(pixelAt(100, 50), before);
    const COLORREF scheme = before == RGB(10, 200, 30) ? RGB(200, 10, 30) : RGB(10, 200, 30);
    {
        const TSystemColorChange change(COLOR_BTNFACE, scheme);
        PumpMessages(100);  // WM_SYSCOLORCHANGE, and the paint it leads to
        EXPECT_EQ(pixelAt(100, 50), scheme);
        EXPECT_EQ(pixelAt(319, 0), scheme);
        // The form's own next frame keeps it.
        form.Invalidate();
        ::UpdateWindow(form.Wnd());
        EXPECT_EQ(pixelAt(100, 50), scheme);
    }
    PumpMessages(100);
    EXPECT_EQ(pixelAt(100, 50), before);
}

// A window inside another program's (the preview) is not told of a new
// scheme (only top-level windows are): its next frame finds it out itself.
TEST_F(FormWindow, EmbeddedFormFollowsTheColourSchemeAtItsNextFrame) {
    const HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300,
                                          nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    int frames = 0;
    TPaintForm form(FFactory, [&](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, SystemColor(COLOR_BTNFACE));
        canvas.FillRect(TRect{0, 190, 10 + frames++ % 50, 200}, kFore);
    });
    form.Show();
    form.Window().SetParentWindow(reinterpret_cast<THandle>(parent));
    PumpMessages(50);
    const auto pixelAt = [&](int x, int y) {
        const WindowDc dc(form.Wnd());
        return ::GetPixel(dc.Get(), x, y);
    };
    const COLORREF before = ::GetSysColor(COLOR_BTNFACE);
    ASSERT_EQ(pixelAt(100, 50), before);
    const COLORREF scheme = before == RGB(10, 200, 30) ? RGB(200, 10, 30) : RGB(10, 200, 30);
    {
        const TSystemColorChange change(COLOR_BTNFACE, scheme);
        PumpMessages(50);
        form.Invalidate();
        ::UpdateWindow(form.Wnd());
        EXPECT_EQ(pixelAt(100, 50), scheme);
        EXPECT_EQ(pixelAt(319, 0), scheme);
    }
    form.Invalidate();
    ::UpdateWindow(form.Wnd());
    EXPECT_EQ(pixelAt(100, 50), before);
    ::DestroyWindow(parent);
}

TEST_F(FormWindow, OnlyWhatChangedIsDrawnAgain) {
    TPaintForm form(FFactory, [](ICanvas&) {});
    form.Show();
    PumpMessages(50);
    TDoubleBuffer buffer;
    std::string clock = "12:00:00";
    const TPageBitmap page(320, 200);
    const auto render = [&]() {
        const PaintDc dc(form.Wnd());
        return buffer.Render(form.Wnd(), dc.Get(), [&](ICanvas& canvas) {
            canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, kBack);
            canvas.DrawBitmap(page, 0, 0);
            canvas.TextOut(200, 170, clock, kFore, kBack);
        });
    };
    std::vector<RECT> changed = render();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].right, 320);
    EXPECT_EQ(changed[0].bottom, 200);
    EXPECT_TRUE(render().empty());

    clock = "12:00:01";
    changed = render();
    ASSERT_EQ(changed.size(), 1u);  // the clock's cell with a line's margin round it
    EXPECT_LE(changed[0].left, 200);
    EXPECT_LE(changed[0].top, 170);
    EXPECT_GT(changed[0].left, 100);
    EXPECT_GT(changed[0].top, 120);
}

}  // namespace
}  // namespace lum::win32
