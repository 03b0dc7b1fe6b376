#!/usr/bin/env bash
# The real lumenary drawing into a window that another process owns, as it
# does inside XScreenSaver: a tall page of coloured bands is captured by
# WebKitGTK, shown from the top, scrolled by a third of the window's height
# a second, with the URL line at the top left and the clock at the bottom
# right in the configured colours; SIGTERM ends it within a second.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

bands=("#ff0000" "#00c000" "#0000ff" "#ff00ff" "#00ffff" "#808000")
bands_page "$WORK/bands.html" 768 "${bands[@]}"
settings RefreshTime=60 URLShowTime=60 ShowURL=1 ShowClock=1 EnableScroll=1 \
    BackColor=clNavy ForeColor=clYellow
urls "file://$WORK/bands.html"

# The window of another process, as large as the display's monitor (as
# XScreenSaver gives it; a smaller one would only show the cache).
coproc WIN { "$FOREIGN" 1024 768 404040; }
PIDS+=("$WIN_PID")
read -r xid <&"${WIN[0]}" || fail "no foreign window"
"$LUMENARY" --window-id "$xid" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")

check "the page is captured into the cache as 0.bmp" wait_for 30 test -s "$CACHE/0.bmp"
read -r w h < <(bmp_size "$CACHE/0.bmp")
check "the page file is exactly the page's size (1024 x 4608, got ${w}x${h})" \
    test "$w" = 1024 -a "$h" = 4608

# The first picture shows the top band; the scroll then moves down the page.
check "the top band is shown" wait_for 10 pixel_is 320 240 "${bands[0]}"
shot display-top
check "a third of the height a second scrolls the next band into view" \
    wait_for 6 pixel_is 320 240 "${bands[1]}"
shot display-scrolled

# URL line: navy cells with yellow text at the top left; clock at the bottom right.
png=$SHOTS/display-scrolled.png
check "the URL line is drawn navy with yellow text" \
    bash -c "$CONVERT '$png' -crop 200x14+6+6 +repage txt:- | grep -qi '#000080' &&
             $CONVERT '$png' -crop 200x14+6+6 +repage txt:- | grep -qi '#ffff00'"
check "the clock is drawn at the bottom right" \
    bash -c "$CONVERT '$png' -crop 60x14+954+746 +repage txt:- | grep -qi '#ffff00'"
check "the program complains about nothing" test ! -s "$WORK/stderr"

check_ends_on_sigterm "$LUM"
check "the foreign window is still there" kill -0 "$WIN_PID"
finish
