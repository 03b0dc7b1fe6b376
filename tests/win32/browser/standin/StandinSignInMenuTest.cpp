// The URL box's own context menu in the settings dialog: the edit box's
// items, greyed as the system greys them (undo, selection, clipboard), their
// commands, and the sign-in item after them, greyed without any URL.
#include "win32/browser/standin/StandinSignInRig.h"

namespace lum::win32 {
namespace {

class StandinSignInMenu : public TSignInRig {};

const std::wstring kSignIn = L"このページにサインイン...";

std::vector<TItem> Expected(bool undo, bool selection, bool paste, bool selectAll, bool signIn) {
    return {{L"元に戻す(&U)", !undo},
            {L"-", false},
            {L"切り取り(&T)", !selection},
            {L"コピー(&C)", !selection},
            {L"貼り付け(&P)", !paste},
            {L"削除(&D)", !selection},
            {L"-", false},
            {L"すべて選択(&A)", !selectAll},
            {L"-", false},
            {kSignIn, !signIn}};
}

// The items of the menu that WM_CONTEXTMENU with where opens on edit, read
// while it is open, then cancelled.
std::vector<TItem> ShownMenu(HWND edit, LPARAM where) {
    std::vector<TItem> items;
    TTimerScript script([&] {
        HMENU menu = OpenMenu();
        if (!menu)
            return false;
        items = Items(menu);
        ::EndMenu();
        return true;
    });
    ::SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), where);
    EXPECT_FALSE(TTimerScript::TimedOut());
    return items;
}

std::vector<TItem> BuiltMenu(HWND edit) {
    HMENU menu = BuildUrlEditMenu(edit);
    std::vector<TItem> items = Items(menu);
    ::DestroyMenu(menu);
    return items;
}

TEST_F(StandinSignInMenu, KeyboardMenuOfTheUrlBoxHasTheEditItemsThenTheSignIn) {
    SetClipboardText(nullptr);
    Fill({"http://a.invalid/", "standin:fill"}, 1);
    // Shift+F10 and the menu key: lParam -1, the menu at the caret.
    EXPECT_EQ(ShownMenu(Edit(), -1), Expected(false, false, false, true, true));
    // What the mouse opens, with a selection and text on the clipboard.
    SetClipboardText(L"http://clip.invalid/");
    ::SendMessageW(Edit(), EM_SETSEL, 0, 4);
    RECT rect{};
    ::GetWindowRect(Edit(), &rect);
    EXPECT_EQ(ShownMenu(Edit(), MAKELPARAM(rect.left + 20, rect.top + 20)),
              Expected(false, true, true, true, true));
    EXPECT_EQ(Edit(), ::GetFocus());
}

TEST_F(StandinSignInMenu, EditItemsFollowUndoSelectionAndClipboardAndDoTheirWork) {
    SetClipboardText(nullptr);
    Fill({"http://a.invalid/", "http://b.invalid/"}, 0);
    EXPECT_EQ(BuiltMenu(Edit()), Expected(false, false, false, true, true));
    RunUrlEditCommand(Edit(), cmUrlSelectAll);
    DWORD start = 1, end = 0;
    ::SendMessageW(Edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, static_cast<DWORD>(::GetWindowTextLengthW(Edit())));
    // Everything selected: select-all greyed, cut/copy/delete not.
    EXPECT_EQ(BuiltMenu(Edit()), Expected(false, true, false, false, true));
    RunUrlEditCommand(Edit(), cmUrlCopy);
    EXPECT_TRUE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
    RunUrlEditCommand(Edit(), cmUrlDelete);
    EXPECT_EQ(Text(Edit()), L"");
    // Deleted: undo offered, paste offered; no URL left for a sign-in.
    EXPECT_EQ(BuiltMenu(Edit()), Expected(true, false, true, false, false));
    RunUrlEditCommand(Edit(), cmUrlUndo);
    EXPECT_EQ(Text(Edit()), L"http://a.invalid/\r\nhttp://b.invalid/");
    ::SendMessageW(Edit(), EM_SETSEL, 0, 0);
    RunUrlEditCommand(Edit(), cmUrlPaste);
    EXPECT_EQ(Text(Edit()),
              L"http://a.invalid/\r\nhttp://b.invalid/http://a.invalid/\r\nhttp://b.invalid/");
    ::SendMessageW(Edit(), EM_SETSEL, 0, 17);
    RunUrlEditCommand(Edit(), cmUrlCut);
    EXPECT_EQ(Text(Edit()).substr(0, 2), L"\r\n");
}

TEST_F(StandinSignInMenu, WithoutAnyUrlTheSignInIsGreyedAndOpensNothing) {
    SetClipboardText(nullptr);
    Fill({"", "   ", "\t  "}, 1);
    const std::wstring before = LastNavigate();
    const std::vector<TItem> shown = ShownMenu(Edit(), -1);
    ASSERT_EQ(shown.size(), 10u);
    EXPECT_EQ(shown.back(), (TItem{kSignIn, true}));
    EXPECT_EQ(UrlEditSignInUrl(Edit()), "");
    RunUrlEditCommand(Edit(), cmUrlSignIn);
    EXPECT_EQ(::FindWindowW(kSignInClass, nullptr), nullptr);
    EXPECT_EQ(LastNavigate(), before);
    EXPECT_TRUE(::IsWindowEnabled(Dialog()));
}

}  // namespace
}  // namespace lum::win32
