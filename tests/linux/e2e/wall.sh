#!/usr/bin/env bash
# The real `lumenary --wall`: full-screen on the display's monitor, it shows
# the captured page; keys, clicks and mouse moves (sent by xdotool through
# the X server) do not end it; SIGTERM ends it within a second.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

bands=("#c00000" "#00a000" "#0000c0")
bands_page "$WORK/bands.html" 400 "${bands[@]}"
settings RefreshTime=60 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=0
urls "file://$WORK/bands.html"

xdotool mousemove 512 384
"$LUMENARY" --wall 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check "the page is captured" wait_for 30 test -s "$CACHE/0.bmp"
check "the wall shows the captured page" wait_for 10 pixel_is 300 200 "${bands[0]}"

xdotool mousemove 10 10 sleep 0.2 click 1 sleep 0.2 mousemove 1000 700 sleep 0.2 click 3 \
    sleep 0.2 key Escape sleep 0.2 key space sleep 0.2 key a
sleep 1
check "keys, clicks and mouse moves do not end it" kill -0 "$LUM"
check "it still shows the page" pixel_is 300 200 "${bands[0]}"
check "the program complains about nothing" test ! -s "$WORK/stderr"

check_ends_on_sigterm "$LUM"
finish
