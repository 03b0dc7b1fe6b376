#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

// --- Translate control -----------------------------------------------------------------

TEST(HostTranslate, FormCannotBeTranslateControl) {
    TRun r;
    auto& host = r.Run();
    TTestControl control(r.Form.get(), 0x5000);
    host.SetTranslateControl(&control);
    try {
        host.SetTranslateControl(r.Form.get());
        FAIL() << "the form was accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(),
                     "TranslateControlプロパティにメインフォームを指定することはできません");
    }
    EXPECT_EQ(host.GetTranslateControl(), &control);
    control.Send(Msg::KeyDown, 'A');  // its filter is still in place
    EXPECT_EQ(r.PostedCloses(), 1);
}

TEST(HostTranslate, ControlInputCountsAsFormInput) {
    TRun r;
    TTestControl control(nullptr, 0x5000);
    r.Stored = [&control](TZelScreenSaver& h) { h.SetTranslateControl(&control); };
    auto& host = r.Run();
    control.Send(Msg::KeyDown, 'K');
    EXPECT_EQ(r.PostedCloses(), 1);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 1);
    EXPECT_EQ(r.Form->OwnFull.back().WParam, static_cast<std::uintptr_t>('K'));
    EXPECT_EQ(control.Own.size(), 1u);  // the form's result was 0: passed on
    r.System.Cursor = TPoint{3, 4};
    control.Send(Msg::MouseMove);
    EXPECT_EQ(host.MousePos(), (TPoint{3, 4}));
    control.Send(Msg::RButtonDown);
    EXPECT_EQ(r.PostedCloses(), 2);
    control.Send(Msg::Timer, 1);  // not handed to the form
    EXPECT_EQ(r.Form->Count(Msg::Timer), 0);
    EXPECT_EQ(control.Own.back(), Msg::Timer);
    r.System.KeysDown = {Vk::Snapshot};
    control.Send(Msg::Timer, 1);
    EXPECT_EQ(r.PostedCloses(), 3);
}

TEST(HostTranslate, FilterWaitsForRunWhileLoading) {
    TRun r;
    TTestControl control(nullptr, 0x5000);
    bool sentWhileLoading = false;
    r.Stored = [&](TZelScreenSaver& h) {
        h.SetTranslateControl(&control);
        control.Send(Msg::KeyDown, 'A');
        sentWhileLoading = r.PostedCloses() == 0 && control.Own.size() == 1;
    };
    r.Run();
    EXPECT_TRUE(sentWhileLoading);
    control.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
}

TEST(HostTranslate, ChangingControlRestoresPreviousHandler) {
    TRun r;
    auto& host = r.Run();
    TTestControl a(nullptr, 0x5000);
    TTestControl b(nullptr, 0x5010);
    host.SetTranslateControl(&a);
    host.SetTranslateControl(&b);
    a.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(a.Own.size(), 1u);
    b.Send(Msg::KeyDown, 'B');
    EXPECT_EQ(r.PostedCloses(), 1);
    host.SetTranslateControl(nullptr);
    b.Send(Msg::KeyDown, 'B');
    EXPECT_EQ(r.PostedCloses(), 1);
    EXPECT_EQ(b.Own.size(), 2u);
}

TEST(HostTranslate, DestroyedControlClearsProperty) {
    TRun r;
    auto control = std::make_unique<TTestControl>(r.Form.get(), 0x5000);
    r.Stored = [&control](TZelScreenSaver& h) { h.SetTranslateControl(control.get()); };
    auto& host = r.Run();
    control.reset();
    EXPECT_EQ(host.GetTranslateControl(), nullptr);
    TTestControl other(nullptr, 0x5010);
    host.SetTranslateControl(&other);  // a new one is filtered again
    other.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
    r.Host.reset();
    other.Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 1);
}

TEST(HostTranslate, DestructionRestoresOldHandlers) {
    TRun r;
    TTestControl control(nullptr, 0x5000);
    int previous = 0;
    control.WindowProc = [&previous](TMessage&) { ++previous; };
    r.Stored = [&control](TZelScreenSaver& h) { h.SetTranslateControl(&control); };
    r.Run();
    r.Host.reset();
    control.Send(Msg::KeyDown, 'A');
    control.Send(Msg::Timer);
    EXPECT_EQ(previous, 2);
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 0);
    r.Window().Send(Msg::KeyDown, 'A');
    EXPECT_EQ(r.PostedCloses(), 0);
    EXPECT_EQ(r.Form->Count(Msg::KeyDown), 1);
}

}  // namespace
}  // namespace lum::testing
