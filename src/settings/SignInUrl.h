// Which URL of the dialog's URL box a sign-in opens: the one on the line of
// the text cursor, else the box's first URL, else a saved one; and the
// sign-in window's title. Pure text rules shared by both programs; nothing
// here fails.
#pragma once

#include <string>

namespace lum {

// The trimmed line number line (from 0) of text (lines end in LF; a CR
// before it is trimmed with the blanks) when it holds anything, else the
// box's first non-blank line, else saved trimmed; empty when all are blank.
std::string SignInUrlAt(const std::string& text, int line, const std::string& saved = {});

// The sign-in window's name, its title while its page names none.
inline constexpr const char* kSignInWindowName = "Lumenaryサインイン";
// The sign-in window's title: the page's title (or what stands for it)
// before the window's name, as browsers do.
std::string SignInWindowTitle(const std::string& page);

}  // namespace lum
