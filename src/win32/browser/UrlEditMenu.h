// The URL box's own context menu: the usual items of an edit box, enabled as
// the system's own menu enables them, and after them the sign-in window for
// the URL on the caret's line. Nothing here throws.
#pragma once

#include <windows.h>

#include <string>

namespace lum::win32 {

// The menu's commands, as TrackPopupMenu returns them.
enum TUrlMenuCommand : UINT {
    cmUrlUndo = 1,
    cmUrlCut,
    cmUrlCopy,
    cmUrlPaste,
    cmUrlDelete,
    cmUrlSelectAll,
    cmUrlSignIn,
};

inline constexpr const char* kSignInMenuText = "このページにサインイン...";

// Gives the multi-line edit box the menu (for the mouse and for Shift+F10 or
// the menu key); the sign-in window it opens is owned by the edit's
// top-level window. The subclass goes with the window.
bool AttachUrlEditMenu(HWND edit);
// The menu for edit as it stands now; the caller destroys it.
HMENU BuildUrlEditMenu(HWND edit);
// What the menu's sign-in opens: the trimmed URL on the caret's line, else
// the first one of the box; empty when the box holds none.
std::string UrlEditSignInUrl(HWND edit);
// Carries out a command of the menu on edit.
void RunUrlEditCommand(HWND edit, UINT command);

}  // namespace lum::win32
