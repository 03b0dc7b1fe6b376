// Which URL of the dialog's URL box a sign-in opens: the one on the line of
// the text cursor, else the box's first URL, else a saved one. Pure text
// rules shared by both programs' dialogs; nothing here fails.
#pragma once

#include <string>

namespace lum {

// The trimmed line number line (from 0) of text (lines end in LF; a CR
// before it is trimmed with the blanks) when it holds anything, else the
// box's first non-blank line, else saved trimmed; empty when all are blank.
std::string SignInUrlAt(const std::string& text, int line, const std::string& saved = {});

}  // namespace lum
