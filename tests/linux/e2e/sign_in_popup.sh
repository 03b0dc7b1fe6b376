#!/usr/bin/env bash
# A single sign-on in a pop-up: the page opens a window (the web view's
# "create"), which shows as a window of its own on the same session; signing
# in there reloads the opener and closes the pop-up from its script, and the
# capture then sees the signed-in page.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

PROBE=$BUILD/lum_web_session_probe
export XDG_DATA_HOME=$WORK/data

"$PROBE" serve "$WORK/port" &
PIDS+=($!)
wait_for 5 test -s "$WORK/port" || fail "the sign-in site did not start"
SITE="http://127.0.0.1:$(cat "$WORK/port")/opener"

"$LUMENARY" --sign-in "$SITE" 2>"$WORK/sign-in.err" &
SIGNIN=$!
PIDS+=($SIGNIN)
window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_of "$1")" ]; }
wait_for 20 has_window 'Opener - Lumenaryサインイン' || fail "no sign-in window"
xdotool windowfocus --sync "$(window_of 'Opener - Lumenaryサインイン')"
sleep 0.5
xdotool key Return  # the focused button opens the pop-up
check "the pop-up opens as a window of its own" wait_for 20 has_window 'SSO sign in - Lumenaryサインイン'
POPUP=$(window_of 'SSO sign in - Lumenaryサインイン')
xdotool windowfocus --sync "$POPUP"
sleep 0.5
xdotool type --delay 40 alice
xdotool key Tab
xdotool type --delay 40 secret
xdotool key Return
check "the pop-up closes itself after signing in" \
    wait_for 20 bash -c "! xdotool search --onlyvisible --name 'SSO sign in|Done' >/dev/null"
check "the opener, reloaded by the pop-up, is signed in" \
    wait_for 20 has_window 'Signed in - Lumenaryサインイン'
check "the sign-in still runs" kill -0 "$SIGNIN"
xdotool windowfocus --sync "$(window_of 'Signed in - Lumenaryサインイン')"
xdotool key ctrl+w
check "Ctrl+W on the last window ends the sign-in" \
    wait_for 15 bash -c "! kill -0 $SIGNIN 2>/dev/null"
check "a capture sees the signed-in page" test "$("$PROBE" capture "$SITE")" = "#00b000"
finish
