#!/usr/bin/env bash
# XScreenSaver starts one program per screen: two lumenary processes at once
# for the same user capture only once (one of them runs WebKit's helper
# processes, the other none), and both show the page.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

bands_page "$WORK/page.html" 300 "#e07000" "#3050f0"
settings RefreshTime=60 URLShowTime=60 EnableScroll=1
urls "file://$WORK/page.html"

# Two windows of another process, each as large as the monitor (as
# XScreenSaver gives them); each lives while its input stays open.
lums=()
xids=()
for n in 1 2; do
    mkfifo "$WORK/in$n"
    "$FOREIGN" 1024 768 404040 <"$WORK/in$n" >"$WORK/xid$n" &
    PIDS+=($!)
    exec {keep}>"$WORK/in$n"
    wait_for 5 test -s "$WORK/xid$n" || fail "no window $n"
    xids+=("$(cat "$WORK/xid$n")")
done
for xid in "${xids[@]}"; do
    "$LUMENARY" --window-id "$xid" 2>>"$WORK/stderr" &
    lums+=($!)
    PIDS+=($!)
done

# The capturing process runs WebKit's helper processes only while it
# captures: watch both until the page file is there.
h1=0 h2=0
for _ in $(seq 1 150); do
    pgrep -P "${lums[0]}" >/dev/null && h1=1
    pgrep -P "${lums[1]}" >/dev/null && h2=1
    [ -s "$CACHE/0.bmp" ] && break
    sleep 0.2
done
check "the page is captured" test -s "$CACHE/0.bmp"
check "exactly one of the two runs WebKit's helpers (first: $h1, second: $h2)" \
    test $((h1 + h2)) -eq 1
# Both windows lie at the top left; the second covers the first. Its picture
# comes from the cache that the other process filled.
check "the window on top shows the captured page" wait_for 10 pixel_is 200 150 "#e07000"
shot two-instances
finish
