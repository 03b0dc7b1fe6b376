#include "linux/GtkApplication.h"

#include <gtest/gtest.h>

#include "linux/GtkClock.h"
#include "linux/GtkTestSupport.h"

namespace lum::gtk {
namespace {

TEST(GtkApplication, WithoutDialogsBoxesAndReportsGoToStandardError) {
    TStandardErrorBoxes boxes;
    TMessageBoxRequest request;
    request.Caption = "エラー";
    request.Text = "the window 0x5 does not exist";
    request.Buttons = TMsgButtons::AcceptCancel;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(boxes.ShowMessageBox(request));  // answers cancel
    boxes.MessageBeep(0x10);
    TGtkApplicationPlatform platform(boxes);
    platform.ShowErrorReport("Lumenary", "a page file cannot be read");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "エラー: the window 0x5 does not exist\n"
              "Lumenary: a page file cannot be read\n");
}

TEST(GtkApplication, DeferredActionsRunFromTheLoopAfterTheCurrentEvent) {
    ASSERT_TRUE(testing::EnsureGtk());
    TStandardErrorBoxes boxes;
    TGtkApplicationPlatform platform(boxes);
    std::vector<int> order;
    platform.PostDeferred([&] { order.push_back(1); });
    platform.PostDeferred([&] { order.push_back(2); });
    order.push_back(0);
    EXPECT_TRUE(testing::RunUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    platform.PostDeferred([&] { order.push_back(3); });
    // Whatever is still queued runs when the platform goes.
}

TEST(GtkApplication, AQuitBeforeTheLoopStartsEndsTheNextLoopAtOnce) {
    ASSERT_TRUE(testing::EnsureGtk());
    QuitMainLoop();
    RunMainLoop();  // returns at once
    SUCCEED();
}

TEST(GtkClock, TicksAreMillisecondsAndKeysAreReadFromTheWindows) {
    TKeyboardState keys;
    TGtkClock clock(keys);
    const std::uint32_t start = clock.TickCount();
    g_usleep(30000);
    const std::uint32_t elapsed = clock.TickCount() - start;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
    keys.Press(Vk::X);
    EXPECT_TRUE(clock.KeyHeld(Vk::X));
    EXPECT_FALSE(clock.KeyHeld(Vk::Z));
    EXPECT_FALSE(clock.KeyHeld(0x1234));
    keys.Clear();
    EXPECT_FALSE(clock.KeyHeld(Vk::X));
    const TLocalTime now = clock.Now();
    EXPECT_GE(now.Year, 2024);
    EXPECT_GE(now.Month, 1);
    EXPECT_LE(now.Month, 12);
}

TEST(GtkClock, DatesAndTimesAreWrittenNumerically) {
    TGtkLocale locale;
    EXPECT_EQ(locale.FormatShortDate(TLocalTime{2026, 12, 7, 0, 0, 0}), "2026/12/07");
    EXPECT_EQ(locale.FormatLongTime(TLocalTime{2026, 12, 7, 9, 4, 5}), "09:04:05");
    EXPECT_EQ(locale.TimeSeparator(), ":");
}

}  // namespace
}  // namespace lum::gtk
