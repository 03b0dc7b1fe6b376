#!/usr/bin/env bash
# `cmake --install` of the Linux build: the program where XScreenSaver looks
# for its programs (and a link to it in bin), its XScreenSaver settings file, the desktop entry that
# opens the settings dialog by the installed program's full path, and the
# icon under the name the entry gives; the installed program runs and says
# clearly what is wrong with a bad command line or a window that is gone.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

PREFIX=$WORK/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log"; fail "cmake --install"; }
check "lumenary is in libexec/xscreensaver" test -x "$PREFIX/libexec/xscreensaver/lumenary"
check "its capture program is beside it" test -x "$PREFIX/libexec/xscreensaver/lumenary-capture"
check "bin/lumenary leads to it" \
    test "$(readlink -f "$PREFIX/bin/lumenary")" = "$PREFIX/libexec/xscreensaver/lumenary"
check "the XScreenSaver settings file names the program" \
    grep -q '<screensaver name="lumenary"' "$PREFIX/share/xscreensaver/config/lumenary.xml"
entry=$PREFIX/share/applications/lumenary.desktop
check "the desktop entry opens the settings dialog of the installed program" \
    grep -qx "Exec=$PREFIX/libexec/xscreensaver/lumenary --config" "$entry"
check "the desktop entry's icon is installed" \
    test -f "$PREFIX/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$entry").svg"
"$PREFIX/libexec/xscreensaver/lumenary" --help >"$WORK/help" 2>&1
check "the installed program answers --help" grep -q -- "--window-id" "$WORK/help"
"$PREFIX/libexec/xscreensaver/lumenary" --no-such-option >/dev/null 2>"$WORK/usage"
code=$?
check "a garbage option gets the usage on standard error and exit code 2 (got $code)" \
    bash -c "[ $code = 2 ] && grep -q -- '--window-id' '$WORK/usage'"
timeout 10 "$PREFIX/libexec/xscreensaver/lumenary" --window-id 0x1ffffff >/dev/null 2>"$WORK/gone"
code=$?
check "a window that does not exist is a clear error, exit code 1 (got $code)" \
    bash -c "[ $code = 1 ] && grep -q 'does not exist' '$WORK/gone'"
finish
