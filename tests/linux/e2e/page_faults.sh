#!/usr/bin/env bash
# The real lumenary, full-screen, on a list of pages served on 127.0.0.1: an
# address where nothing listens, one on a port the engine refuses to use
# (1), a page that answers after 4 s, a page with
# body margins and a box in its bottom-right corner, and a tall page. The
# show reaches every good page, the failed one shows its card, each failed
# page is reported once a pass on standard error, scrolling never shows the
# background below a page, and holding Z moves on from page to page. Then
# the same in --window, which captures too (at the monitor's size:
# try_window.sh), and XScreenSaver's small settings preview, which only
# shows the cache.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

coproc SERVER { exec python3 "$HERE/serve.py" "$WORK/requests" 4; }
PIDS+=("$SERVER_PID")
read -r port <&"${SERVER[0]}" || fail "no server"
closed=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
base=http://127.0.0.1:$port
refused=http://127.0.0.1:$closed/refused
blocked=http://127.0.0.1:1/blocked
settings RefreshTime=1 URLShowTime=2 ShowURL=0 ShowClock=0 EnableScroll=1 \
    BackColor=clNavy ForeColor=clYellow
urls "$refused" "$blocked" "$base/slow" "$base/corner" "$base/tall"

# what: what the display shows now, as screen.py tells it.
what() {
    "$IMPORT" -window root -depth 8 ppm:- 2>/dev/null | python3 "$HERE/screen.py" 000080 ffff00
}
# watch <seconds> <log>: what the display shows, as often as it can be told.
watch() {
    local end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do what >>"$2"; done
}
seen() { grep -q "^$1 " "$2"; }
kinds() { cut -d' ' -f1 "$1" | sort -u | grep -vc -e loading -e other; }

xdotool mousemove 512 384
launch=$SECONDS
"$LUMENARY" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check "the good pages are captured and the refused ones are marked as failed" \
    wait_for 40 test -s "$CACHE/2.bmp" -a -s "$CACHE/3.bmp" -a -s "$CACHE/4.bmp" \
    -a -e "$CACHE/0.failed" -a -e "$CACHE/1.failed"
check "the page that answers after 4 s is not failed" test ! -e "$CACHE/2.failed"
# Each file is dated when its page was captured, not when the pass began:
# the slow page's picture is 4 s or more younger than the record of the page
# before it.
check "the slow page's picture is dated by its own capture" \
    test $(($(stat -c %Y "$CACHE/2.bmp") - $(stat -c %Y "$CACHE/1.failed"))) -ge 4

# The page with margins (in standards mode): its picture holds exactly the
# whole document, the box in the bottom-right corner of its 1200 x 900
# content included (from 1180, 880 to 1240, 940 with the body's 40 px
# margin), and the bottom margin below it. A document that overflows to the
# right ends with its content: the body's right margin is not part of it.
read -r w h < <(bmp_size "$CACHE/3.bmp")
check "the page with margins is captured whole (1240 x 980, got ${w}x${h})" \
    test "$w" -eq 1240 -a "$h" -eq 980
check "its bottom-right box is in the picture" \
    test "$(pixel "$CACHE/3.bmp" 1210 910)" = "#ff00ff" -a "$(pixel "$CACHE/3.bmp" 1235 935)" = "#ff00ff"

watch 30 "$WORK/shown"
for page in card slow corner tall; do
    check "the show reaches the $page page" seen $page "$WORK/shown"
done
check "scrolling never shows the background below a page" \
    bash -c "! grep -E '^(tall|corner) bg' '$WORK/shown'"
check "the refused address is reported once in the first pass, with its reason" \
    test "$(grep -c "\"$refused\"" "$WORK/stderr")" = 1
grep "\"$refused\"" "$WORK/stderr" | head -1
check "the report says the connection was refused" \
    grep -qiE "\"$refused\".*(拒否|refused)" "$WORK/stderr"
check "the address on the port the engine refuses is reported once" \
    test "$(grep -c "\"$blocked\"" "$WORK/stderr")" = 1
check "no good page is reported" bash -c "! grep -q '$base/' '$WORK/stderr'"

# Holding Z: a new page every tick, and the full-screen run goes on.
xdotool keydown z
watch 5 "$WORK/skipping"
xdotool keyup z
check "holding Z moves past the pages in full-screen ($(kinds "$WORK/skipping") kinds seen)" \
    test "$(kinds "$WORK/skipping")" -ge 3
check "Z does not end the full-screen run" kill -0 "$LUM"

# The second pass a minute after the first reports the refused page again.
reported_twice() { test "$(grep -c "\"$refused\"" "$WORK/stderr")" = 2; }
check "the second pass reports the refused address once more" \
    wait_for $((launch + 100 - SECONDS)) reported_twice
echo "standard error:"; sed 's/^/    /' "$WORK/stderr"
kill -TERM "$LUM"
wait "$LUM"

# --window captures as well, and Z moves on there too.
fetched() { grep -c "^$1\$" "$WORK/requests"; }
tall_before=$(fetched /tall)
"$LUMENARY" --window 2>"$WORK/stderr-window" &
LUM=$!
PIDS+=("$LUM")
sleep 3
xdotool mousemove 512 384 keydown z
watch 5 "$WORK/skipping-window"
xdotool keyup z
check "holding Z moves past the pages in --window ($(kinds "$WORK/skipping-window") kinds seen)" \
    test "$(kinds "$WORK/skipping-window")" -ge 3
captured_again() { test "$(fetched /tall)" -gt "$tall_before"; }
check "--window captures the pages (the tall page is fetched again)" wait_for 30 captured_again
kill -TERM "$LUM"
wait "$LUM"

# XScreenSaver's small settings preview (a window of another program, far
# smaller than the monitor) shows the cache and captures nothing.
before=$(ls -l --time-style=+%s.%N "$CACHE")
requests_before=$(wc -l <"$WORK/requests")
mkfifo "$WORK/preview-in"
"$FOREIGN" 320 240 404040 <"$WORK/preview-in" >"$WORK/preview-xid" &
PIDS+=($!)
exec {keep}>"$WORK/preview-in"
wait_for 5 test -s "$WORK/preview-xid" || fail "no preview window"
"$LUMENARY" --window-id "$(head -1 "$WORK/preview-xid")" 2>"$WORK/stderr-preview" &
LUM=$!
PIDS+=("$LUM")
sleep 5
check "the preview starts no capture program" bash -c "! pgrep -P $LUM >/dev/null"
check "the preview fetches no page" test "$(wc -l <"$WORK/requests")" = "$requests_before"
check "the preview leaves the cache as it was" \
    test "$(ls -l --time-style=+%s.%N "$CACHE")" = "$before"
kill -TERM "$LUM"
wait "$LUM"
exec {keep}>&-
finish
