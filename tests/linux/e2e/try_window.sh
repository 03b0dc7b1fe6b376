#!/usr/bin/env bash
# The real lumenary in the window of --window, made smaller than its monitor
# as soon as it opens: the page of coloured bands served on 127.0.0.1 is
# captured into the cache at the size of the monitor (1024 x 768 here),
# never at the window's, and the window shows that picture scaled down to
# its width, not the loading text; resized again, the picture follows.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

coproc SERVER { exec python3 "$HERE/serve.py" "$WORK/requests"; }
PIDS+=("$SERVER_PID")
read -r port <&"${SERVER[0]}" || fail "no server"
# /tall: bands 1000 px wide and 500 px tall, on the page's white.
red="#c00000" green="#00a000" white="#ffffff"
# Without scrolling a page is captured at exactly the monitor's size.
settings RefreshTime=60 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=0 \
    BackColor=clNavy ForeColor=clYellow
urls "http://127.0.0.1:$port/tall"

xdotool mousemove 512 384
"$LUMENARY" --window 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
window() { xdotool search --onlyvisible --pid "$LUM" 2>/dev/null | head -1; }
has_window() { test -n "$(window)"; }
check "the window opens" wait_for 10 has_window
wid=$(window)
[ -n "$wid" ] || fail "no window"
# Half the monitor's size, before the page is captured: what is captured
# from here on must still be the monitor's size.
xdotool windowsize --sync "$wid" 512 384
xdotool windowmove --sync "$wid" 0 0
check "the page is captured into the cache as 0.bmp" wait_for 40 test -s "$CACHE/0.bmp"
read -r w h < <(bmp_size "$CACHE/0.bmp")
check "the picture has the monitor's size, not the window's (1024 x 768, got ${w}x${h})" \
    test "$w" = 1024 -a "$h" = 768
check "the picture holds the page's first band" test "$(pixel "$CACHE/0.bmp" 500 250)" = "$red"
check "the page was fetched from the server" grep -q '^/tall$' "$WORK/requests"

# Scaled to 512 x 384: the first band's 500 rows take 250, the page's
# 1000 px of width take 500 and its white beyond them the last 12 columns.
# Unscaled, all three points would show the first band.
check "the window shows the first band at the top" wait_for 10 pixel_is 250 120 "$red"
shot try-window-half
check "below it the second band, scaled" pixel_is 250 320 "$green"
check "right of the bands the page's white, scaled" pixel_is 506 120 "$white"
# The loading text is yellow on the navy background.
check "no loading text: nothing navy or yellow in the window" \
    bash -c "! $CONVERT '$SHOTS/try-window-half.png' -crop 512x384+0+0 +repage \
             -unique-colors txt:- | grep -qiE '#000080|#ffff00'"

# Back to the monitor's width: shown at its own size again, a band 500 rows tall.
xdotool windowsize --sync "$wid" 1024 768
check "at 1024 x 768 the first band reaches row 480" wait_for 10 pixel_is 512 480 "$red"
check "and the second band starts below row 500" pixel_is 512 560 "$green"
shot try-window-full

check "the program complains about nothing" test ! -s "$WORK/stderr"
check_ends_on_sigterm "$LUM"
finish
