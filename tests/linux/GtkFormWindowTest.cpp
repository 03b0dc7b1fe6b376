#include "linux/GtkFormWindow.h"

#include <gtest/gtest.h>

#include "linux/ForeignWindow.h"
#include "linux/GtkApplication.h"
#include "linux/GtkTestSupport.h"
#include "platform/Canvas.h"

namespace lum::gtk {
namespace {

using testing::EnsureGtk;
using testing::ReadPixel;
using testing::RunUntil;
using testing::TForeignWindowProcess;
using testing::TRecordingForm;

class GtkFormWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EnsureGtk())
            GTEST_SKIP() << "no X display";
    }
    TGtkFormWindowFactory Factory;
};

void SendKey(TRecordingForm& form, guint keyval, bool press) {
    GdkEvent* event = gdk_event_new(press ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    GtkWidget* widget = GtkWindowOf(form.Window())->Widget();
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    event->key.keyval = keyval;
    event->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

TEST_F(GtkFormWindow, PaintsThroughTheDrawSignalOntoTheScreen) {
    TRecordingForm form(Factory, false);
    form.Painter = [](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, 0x000000FF);  // red
        canvas.FillRect(TRect{10, 10, 20, 20}, 0x00FF0000);                         // blue
    };
    form.SetBounds(30, 40, 200, 100);
    form.Show();
    ASSERT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > 0; }));
    testing::RunFor(100);
    EXPECT_EQ(ReadPixel(form.Handle(), 0, 0), 0xFF0000u);
    EXPECT_EQ(ReadPixel(form.Handle(), 15, 15), 0x0000FFu);
    EXPECT_EQ(ReadPixel(form.Handle(), 199, 99), 0xFF0000u);
    EXPECT_EQ(form.BoundsRect(), (TRect{30, 40, 230, 140}));
    EXPECT_TRUE(form.Visible());
    const int paints = form.Count(Msg::Paint);
    form.Invalidate();
    EXPECT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > paints; }));
}

TEST_F(GtkFormWindow, TimersSendWmTimerWithTheirIdUntilKilled) {
    TRecordingForm form(Factory, false);
    TTimer timer(&form);
    timer.Interval = 15;
    int fired = 0;
    timer.OnTimer = [&](TTimer*) { ++fired; };
    timer.SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return fired >= 3; }));
    timer.SetEnabled(false);
    const int afterStop = fired;
    testing::RunFor(100);
    EXPECT_EQ(fired, afterStop);
    EXPECT_GE(form.Count(Msg::Timer), 3);
}

TEST_F(GtkFormWindow, KeysReachTheFormAsVirtualKeysAndAreHeldUntilReleased) {
    TRecordingForm form(Factory, false);
    form.ShortCutX = true;
    form.Show();
    SendKey(form, GDK_KEY_z, true);
    EXPECT_TRUE(Factory.Keyboard().Held(Vk::Z));
    ASSERT_EQ(form.Count(Msg::KeyDown), 1);
    EXPECT_EQ(form.Messages.back().WParam, Vk::Z);
    SendKey(form, GDK_KEY_z, false);
    EXPECT_FALSE(Factory.Keyboard().Held(Vk::Z));
    EXPECT_EQ(form.Count(Msg::KeyUp), 1);
    // A shortcut consumes the key-down, yet the key counts as held.
    SendKey(form, GDK_KEY_x, true);
    EXPECT_EQ(form.Count(Msg::KeyDown), 1);
    EXPECT_TRUE(Factory.Keyboard().Held(Vk::X));
    SendKey(form, GDK_KEY_Escape, true);
    EXPECT_EQ(form.Messages.back().WParam, Vk::Escape);
}

TEST_F(GtkFormWindow, TheMainWindowsCloseDestroysItAndEndsTheLoop) {
    TRecordingForm form(Factory, true);
    form.Show();
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            static_cast<TRecordingForm*>(data)->Perform(Msg::Close, 0, 0);
            return G_SOURCE_REMOVE;
        },
        &form);
    guint guard = g_timeout_add(
        3000,
        [](gpointer) -> gboolean {
            QuitMainLoop();
            return G_SOURCE_REMOVE;
        },
        nullptr);
    RunMainLoop();
    EXPECT_EQ(form.Count(Msg::Destroy), 1);
    EXPECT_EQ(form.Handle(), 0u);
    EXPECT_FALSE(form.Visible());
    form.Invalidate();  // a destroyed window ignores what it is asked
    form.SetBounds(0, 0, 10, 10);
    g_source_remove(guard);
}

TEST_F(GtkFormWindow, DrawsInsideAWindowOfAnotherProcessAtItsSize) {
    TForeignWindowProcess foreign(320, 240, 0x000080);
    ASSERT_NE(foreign.Id(), 0u);
    TRecordingForm form(Factory, true);
    form.Painter = [](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, 0x0000FF00);  // green
        canvas.TextOut(5, 5, "Lumenary", clWhite, clBlack);
    };
    form.SetParentWindow(foreign.Id());
    form.Show();
    ASSERT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > 0; }));
    testing::RunFor(100);
    EXPECT_EQ(form.BoundsRect(), (TRect{0, 0, 320, 240}));
    EXPECT_EQ(ReadPixel(foreign.Id(), 319, 239), 0x00FF00u);
    EXPECT_EQ(ReadPixel(foreign.Id(), 5, 5), 0x000000u);

    ASSERT_TRUE(foreign.Command("resize 400 300"));
    EXPECT_TRUE(RunUntil([&] { return form.BoundsRect() == TRect{0, 0, 400, 300}; }));
    testing::RunFor(150);
    EXPECT_EQ(ReadPixel(foreign.Id(), 399, 299), 0x00FF00u);
}

// The foreign window goes while the form keeps drawing into it as fast as it
// can: the loop ends, the form hears of its window's end, the process lives.
void ExpectCleanEndWhenTheParentGoes(TGtkFormWindowFactory& factory, bool killOwner) {
    TForeignWindowProcess foreign(200, 150, 0x000080);
    ASSERT_NE(foreign.Id(), 0u);
    TRecordingForm form(factory, true);
    TTimer timer(&form);
    timer.Interval = 10;
    timer.OnTimer = [&](TTimer*) { form.Invalidate(); };
    form.Painter = [](ICanvas& canvas) {
        canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, 0x00808080);
    };
    form.SetParentWindow(foreign.Id());
    form.Show();
    timer.SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return form.Count(Msg::Paint) > 3; }));
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<std::pair<TForeignWindowProcess*, bool>*>(data);
            if (p->second)
                p->first->Kill();
            else
                p->first->Command("destroy");
            return G_SOURCE_REMOVE;
        },
        new std::pair<TForeignWindowProcess*, bool>(&foreign, killOwner));
    bool timedOut = false;
    guint guard = g_timeout_add(
        3000,
        [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            QuitMainLoop();
            return G_SOURCE_REMOVE;
        },
        &timedOut);
    RunMainLoop();
    if (!timedOut)
        g_source_remove(guard);
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(form.Count(Msg::Destroy), 1);
    EXPECT_EQ(form.Handle(), 0u);
    testing::RunFor(200);  // late X errors, if any, must not end the process
}

TEST_F(GtkFormWindow, AForeignWindowThatIsDestroyedEndsTheProgramCleanly) {
    ExpectCleanEndWhenTheParentGoes(Factory, false);
}

TEST_F(GtkFormWindow, AForeignWindowWhoseOwnerDiesEndsTheProgramCleanly) {
    ExpectCleanEndWhenTheParentGoes(Factory, true);
}

TEST_F(GtkFormWindow, AWindowIdThatDoesNotExistIsAClearError) {
    TRecordingForm form(Factory, false);
    try {
        form.SetParentWindow(0x1FFFFFF0);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "the window 0x1ffffff0 does not exist");
    }
}

}  // namespace
}  // namespace lum::gtk
