#include "common/stdDialogs.h"

#include <gtest/gtest.h>

#include "fakes/FakeMessageBoxes.h"

namespace lum {
namespace {

TEST(StdDialogs, BeepForTypeUsesTheSoundOfEachTypeAndNoneForOthers) {
    fakes::TFakeMessageBoxes boxes;
    for (auto type :
         {mtWarning, mtError, mtInformation, mtConfirmation, TMsgDlgType(4), TMsgDlgType(-1)}) {
        BeepForType(boxes, type);
    }
    ASSERT_EQ(boxes.Calls.size(), 4u);
    EXPECT_EQ(boxes.Calls[0].Beep, 0x30u);
    EXPECT_EQ(boxes.Calls[1].Beep, 0x10u);
    EXPECT_EQ(boxes.Calls[2].Beep, 0x40u);
    EXPECT_EQ(boxes.Calls[3].Beep, 0x20u);
}

TEST(StdDialogs, ShowMsgBeepsThenShowsOneOKButtonCaptionedByType) {
    fakes::TFakeMessageBoxes boxes;
    ShowMsg(boxes, "text", mtInformation, 0);
    ShowMsg(boxes, "oops", mtError, 0);
    ShowMsg(boxes, "careful", mtWarning, 0);
    ASSERT_EQ(boxes.Calls.size(), 6u);
    EXPECT_TRUE(boxes.Calls[0].IsBeep);
    const auto shown = boxes.Boxes();
    EXPECT_EQ(shown[0].Text, "text");
    EXPECT_EQ(shown[0].Caption, "情報");
    EXPECT_EQ(shown[0].Icon, MsgIcon::Asterisk);
    EXPECT_EQ(shown[0].Buttons, TMsgButtons::OneButton);
    EXPECT_EQ(shown[0].FirstButton, "OK");
    EXPECT_EQ(shown[1].Caption, "エラー");
    EXPECT_EQ(shown[1].Icon, MsgIcon::Hand);
    EXPECT_EQ(shown[2].Caption, "警告");
}

TEST(StdDialogs, AskYesNoOffersYesAsDefaultAndNoAsCancelAndReturnsTheAnswer) {
    fakes::TFakeMessageBoxes boxes;
    boxes.Answers = {true, false};
    EXPECT_TRUE(AskYesNo(boxes, "sure?", mtConfirmation, 0));
    EXPECT_FALSE(AskYesNo(boxes, "sure?", mtConfirmation, 0));
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].Caption, "確認");
    EXPECT_EQ(shown[0].Icon, MsgIcon::Question);
    EXPECT_EQ(shown[0].Buttons, TMsgButtons::AcceptCancel);
    EXPECT_EQ(shown[0].FirstButton, "はい(&Y)");
    EXPECT_EQ(shown[0].SecondButton, "いいえ(&N)");
    EXPECT_TRUE(boxes.Calls[0].IsBeep);
    EXPECT_EQ(boxes.Calls[0].Beep, 0x20u);
}

TEST(StdDialogs, OtherTypesShowWithoutCaptionIconOrSound) {
    fakes::TFakeMessageBoxes boxes;
    ShowMsg(boxes, "plain", TMsgDlgType(9), 0);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Box.Caption, "");
    EXPECT_EQ(boxes.Calls[0].Box.Icon, MsgIcon::None);
}

}  // namespace
}  // namespace lum
