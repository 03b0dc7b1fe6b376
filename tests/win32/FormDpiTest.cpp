// A change of DPI reaching real form windows under Wine (which draws every
// monitor at one DPI, so the message is sent as the system would send it):
// an ordinary form takes the suggested rectangle and paints itself whole
// again; a form that covers a monitor stays on it. The DPI a window is drawn
// at is never unreadable.
#include "win32/PumpMessages.h"
#include "win32/WindowDpi.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "app/win32/AppServices.h"
#include "common/Form.h"
#include "platform/Canvas.h"

namespace lum::win32 {
namespace {

class TSilentPlatform : public IApplicationPlatform {
  public:
    int Reports = 0;
    void ShowErrorReport(const std::string&, const std::string&) override { ++Reports; }
    void PostDeferred(std::function<void()> action) override { action(); }
};

TFormWindowStyle StyleAt(const char* className, const RECT& r) {
    TFormWindowStyle style;
    style.ClassName = className;
    style.Caption = className;
    style.Bounds = TRect{r.left, r.top, r.right, r.bottom};
    return style;
}

// A form that counts its paints and the width of its text.
class TCountingForm : public TForm {
  public:
    TCountingForm(IFormWindowFactory& factory, const RECT& r)
        : TForm(nullptr, factory, StyleAt("TDpiTestForm", r)) {}
    HWND Wnd() { return reinterpret_cast<HWND>(Handle()); }
    int Paints = 0;

  protected:
    void Paint(ICanvas& canvas) override {
        ++Paints;
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, 0x00202020);
        canvas.TextOut(5, 5, "http://example.com/", 0x00FFFFFF, 0x00202020);
    }
};

RECT WindowRectOf(HWND wnd) {
    RECT r{};
    ::GetWindowRect(wnd, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return ::EqualRect(&a, &b) != FALSE;
}

LRESULT SendDpiChanged(HWND wnd, int dpi, const RECT& suggested) {
    return ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                          reinterpret_cast<LPARAM>(&suggested));
}

class FormDpi : public ::testing::Test {
  protected:
    FormDpi() : FApplication(FPlatform) { SetApplication(&FApplication); }
    ~FormDpi() override { SetApplication(nullptr); }

    TSilentPlatform FPlatform;
    TApplication FApplication;
};

TEST_F(FormDpi, FormTakesTheSuggestedRectangleAndPaintsWholeAgain) {
    TAppServices services;
    TCountingForm form(services.Windows, RECT{40, 40, 360, 240});
    form.Show();
    PumpMessages(100);
    ASSERT_GE(form.Paints, 1);
    const int paints = form.Paints;
    const RECT suggested{60, 50, 60 + 480, 50 + 300};  // 150 % of the form
    EXPECT_EQ(SendDpiChanged(form.Wnd(), 144, suggested), 0);
    EXPECT_TRUE(SameRect(WindowRectOf(form.Wnd()), suggested));
    // The whole client area waits for its paint, not a corner of it.
    RECT update{};
    ASSERT_TRUE(::GetUpdateRect(form.Wnd(), &update, FALSE));
    EXPECT_EQ(update.right - update.left, 480);
    EXPECT_EQ(update.bottom - update.top, 300);
    PumpMessages(100);
    EXPECT_GT(form.Paints, paints);
    EXPECT_FALSE(::GetUpdateRect(form.Wnd(), nullptr, FALSE));
    EXPECT_EQ(FPlatform.Reports, 0);
}

TEST_F(FormDpi, FormOfAMonitorStaysOnItsMonitor) {
    TAppServices services;
    const RECT monitor{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    TSlideShowForm form(services.Display, StyleAt("TDpiMonitorTestForm", monitor));
    form.SetMonitorBounds(TRect{monitor.left, monitor.top, monitor.right, monitor.bottom});
    const HWND wnd = reinterpret_cast<HWND>(form.Handle());
    form.Show();
    PumpMessages(100);
    const RECT suggested{0, 0, monitor.right * 3 / 2, monitor.bottom * 3 / 2};
    SendDpiChanged(wnd, 144, suggested);
    EXPECT_TRUE(SameRect(WindowRectOf(wnd), monitor));
    EXPECT_TRUE(::GetUpdateRect(wnd, nullptr, FALSE)) << "repainted at the new scale";
    PumpMessages(100);
    EXPECT_EQ(FPlatform.Reports, 0);
}

TEST_F(FormDpi, WindowDpiIsTheMonitorsOrTheSystemsAndNeverZero) {
    TAppServices services;
    TCountingForm form(services.Windows, RECT{40, 40, 200, 140});
    const int system = SystemDpi();
    EXPECT_GE(system, 96);
    // Wine draws every monitor at the system's DPI.
    EXPECT_EQ(WindowDpi(form.Wnd()), system);
    EXPECT_EQ(WindowDpi(nullptr), system);
    // A window that is gone reads as the system's, not as 0.
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ::DestroyWindow(gone);
    EXPECT_EQ(WindowDpi(gone), system);
    EXPECT_EQ(ScaleToDpi(16, 144), 24);
}

}  // namespace
}  // namespace lum::win32
