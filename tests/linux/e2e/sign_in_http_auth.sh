#!/usr/bin/env bash
# HTTP authentication in the sign-in window: a page that asks for a user name
# and password gets a dialog of the sign-in window's own; what is typed there
# signs in, and cancelling leaves the page unsigned. Without a desktop keyring
# (none runs here) it cannot be remembered, and the window says so.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

PROBE=$BUILD/lum_web_session_probe
export XDG_DATA_HOME=$WORK/data
unset DBUS_SESSION_BUS_ADDRESS  # XDG_RUNTIME_DIR is the script's own: no bus, no keyring

"$PROBE" serve "$WORK/port" &
PIDS+=($!)
wait_for 5 test -s "$WORK/port" || fail "the site did not start"
SITE="http://127.0.0.1:$(cat "$WORK/port")/basic"

window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_of "$1")" ]; }
sign_in() {  # sign_in <password>: types into the dialog; the dialog must be there
    xdotool windowfocus --sync "$(window_of '認証が必要です')"
    sleep 0.3
    xdotool type --delay 40 alice
    xdotool key Tab
    xdotool type --delay 40 "$1"
    xdotool key Return
}

"$LUMENARY" --sign-in "$SITE" 2>"$WORK/sign-in.err" &
SIGNIN=$!
PIDS+=($SIGNIN)
check "the site's question opens the credentials dialog" wait_for 20 has_window '認証が必要です'
shot sign_in_http_auth
check "without a keyring it says the password is forgotten" \
    grep -q "no desktop keyring runs; the password for 127.0.0.1 is forgotten" "$WORK/sign-in.err"
sign_in wrong
check "a wrong password asks again" wait_for 20 has_window '認証が必要です'
sign_in secret
check "the right one signs in" wait_for 20 has_window 'Signed in - Lumenaryサインイン'
xdotool windowfocus --sync "$(window_of 'Signed in - Lumenaryサインイン')"
xdotool key ctrl+w
check "Ctrl+W ends the sign-in" wait_for 15 bash -c "! kill -0 $SIGNIN 2>/dev/null"

# Cancelling the dialog leaves the site's own answer.
"$LUMENARY" --sign-in "$SITE" 2>>"$WORK/sign-in.err" &
SIGNIN=$!
PIDS+=($SIGNIN)
wait_for 20 has_window '認証が必要です' || fail "no credentials dialog"
xdotool windowfocus --sync "$(window_of '認証が必要です')"
xdotool key Escape
check "a cancelled dialog goes away" \
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '認証が必要です' >/dev/null"
check "the window stays open without the page" bash -c \
    "kill -0 $SIGNIN && ! xdotool search --onlyvisible --name 'Signed in' >/dev/null"
kill "$SIGNIN"
finish
