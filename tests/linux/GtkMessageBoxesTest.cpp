// The message boxes of the Linux program as real GTK dialogs: caption, kind,
// text, button captions with their access keys, and the answers of the
// buttons, Esc and the close box.
#include "linux/GtkMessageBoxes.h"

#include <gtest/gtest.h>

#include <string>

#include "common/stdDialogs.h"
#include "linux/GtkConfigDialogScript.h"

namespace lum::gtk {
namespace {

struct TSeenBox {
    std::string Title;
    GtkMessageType Type = GTK_MESSAGE_OTHER;
    std::string Text;
    std::string First;
    std::string Second;
};

// Looks at the box on screen, then answers it with response.
std::function<void()> Answer(TSeenBox& seen, gint response) {
    return [&seen, response] {
        GtkWidget* box = OpenMessageBox();
        ASSERT_NE(box, nullptr);
        seen.Title = gtk_window_get_title(GTK_WINDOW(box));
        gchar* text = nullptr;
        g_object_get(box, "message-type", &seen.Type, "text", &text, nullptr);
        seen.Text = text ? text : "";
        g_free(text);
        auto label = [box](gint id) -> std::string {
            GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), id);
            return button ? gtk_button_get_label(GTK_BUTTON(button)) : "";
        };
        seen.First = label(GTK_RESPONSE_ACCEPT);
        seen.Second = label(GTK_RESPONSE_CANCEL);
        if (response == GTK_RESPONSE_NONE) {
            FocusIn(box);
            PressKey(box, GDK_KEY_Escape);
        } else {
            gtk_dialog_response(GTK_DIALOG(box), response);
        }
    };
}

class GtkMessageBoxesTest : public ::testing::Test {
  protected:
    // Without a display the tests fail (a failing suite set-up would only
    // skip them).
    static void SetUpTestSuite() { OpenTestDisplay(); }
    void SetUp() override { ASSERT_NE(gdk_display_get_default(), nullptr) << "no display"; }
    TGtkMessageBoxes FBoxes;
};

TEST_F(GtkMessageBoxesTest, YesNoBoxHasItsCaptionsAndEscAnswersNo) {
    TSeenBox seen;
    {
        TScript script({Answer(seen, GTK_RESPONSE_NONE)});
        EXPECT_FALSE(AskYesNo(FBoxes, "削除しますか", mtConfirmation, 0));
    }
    EXPECT_EQ(seen.Title, "確認");
    EXPECT_EQ(seen.Type, GTK_MESSAGE_QUESTION);
    EXPECT_EQ(seen.Text, "削除しますか");
    EXPECT_EQ(seen.First, "はい(_Y)");
    EXPECT_EQ(seen.Second, "いいえ(_N)");
    TScript script({Answer(seen, GTK_RESPONSE_ACCEPT)});
    EXPECT_TRUE(AskYesNo(FBoxes, "削除しますか", mtConfirmation, 0));
}

TEST_F(GtkMessageBoxesTest, NoticeShowsItsLinesWithOneButton) {
    TSeenBox seen;
    TScript script({Answer(seen, GTK_RESPONSE_ACCEPT)});
    ShowMsg(FBoxes, "一行目\r二行目\r\n三行目", mtError, 0);
    EXPECT_EQ(seen.Title, "エラー");
    EXPECT_EQ(seen.Type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(seen.Text, "一行目\n二行目\n三行目");
    EXPECT_EQ(seen.First, "OK");
    EXPECT_EQ(seen.Second, "");
}

TEST(GtkMessageBoxes, AccessKeysBecomeMnemonics) {
    EXPECT_EQ(MnemonicCaption("はい(&Y)"), "はい(_Y)");
    EXPECT_EQ(MnemonicCaption("a&&b_c"), "a&b__c");
    EXPECT_EQ(MnemonicCaption("OK"), "OK");
}

}  // namespace
}  // namespace lum::gtk
