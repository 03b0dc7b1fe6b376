#!/usr/bin/env bash
# The whole program on the kept web session: after signing in with typed keys
# in `lumenary --sign-in`, the screen saver itself, full-screen (its capture
# program loads pages in the kept session), shows the signed-in page.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

PROBE=$BUILD/lum_web_session_probe
"$PROBE" serve "$WORK/port" &
PIDS+=($!)
wait_for 5 test -s "$WORK/port" || fail "the sign-in site did not start"
SITE="http://127.0.0.1:$(cat "$WORK/port")/"
settings RefreshTime=60 URLShowTime=60 EnableScroll=0
urls "$SITE"

"$LUMENARY" --sign-in 2>"$WORK/sign-in.err" &
SIGNIN=$!
PIDS+=($SIGNIN)
window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_of "$1")" ]; }
wait_for 20 has_window 'Please sign in - Lumenaryサインイン' || fail "no sign-in window"
xdotool windowfocus --sync "$(window_of 'Please sign in - Lumenaryサインイン')"
sleep 0.5
xdotool type --delay 40 alice
xdotool key Tab
xdotool type --delay 40 secret
xdotool key Return
wait_for 20 has_window 'Signed in - Lumenaryサインイン' || fail "not signed in"
xdotool key ctrl+w
wait_for 15 bash -c "! kill -0 $SIGNIN 2>/dev/null" || fail "Ctrl+W did not end the sign-in"

# Full-screen: only a run at a whole monitor's size captures.
"$LUMENARY" 2>"$WORK/run.err" &
LUM=$!
PIDS+=($LUM)
check "the screen saver shows the signed-in page" wait_for 60 pixel_is 512 400 "#00b000"
shot signed_in_show

# A new run, on an empty cache, captures it signed in once more: the session
# outlives the program, not only the sign-in window.
kill -TERM "$LUM"
wait "$LUM"
rm -rf "$CACHE"
"$LUMENARY" 2>>"$WORK/run.err" &
PIDS+=($!)
check "after a restart the capture is still signed in" wait_for 60 test -s "$CACHE/0.bmp"
check "and the screen shows the signed-in page" wait_for 20 pixel_is 512 400 "#00b000"
finish
