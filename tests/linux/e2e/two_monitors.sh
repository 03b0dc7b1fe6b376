#!/usr/bin/env bash
# The real lumenary on two monitors side by side (an Xorg server of its own
# with the dummy driver and two RandR outputs, 1024x768 and 800x600), which
# captures its pages there, from a server on 127.0.0.1 that logs each fetch:
# the full-screen run ("different" pages), the wall ("same" page) and two
# programs in windows of each monitor's size (as XScreenSaver starts them)
# show a page on each monitor, the 800-wide one a 1024-wide page whole and
# scaled, and every capture pass fetches each page exactly once. A mouse move
# ends the full-screen run on both monitors, SIGTERM the wall. Skipped when
# the Xorg server cannot start here.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

for tool in Xorg xrandr; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 0; }
done
source "$HERE/xorg_two_monitors.bash"
start_two_monitors "$WORK"
started=$?
PIDS+=("$XORG_PID")
[ $started = 1 ] && { echo "skipped: the Xorg server does not start"; exit 0; }
export DISPLAY=$XORG_DISPLAY
check "two monitors side by side" test $started = 0

# Two pages 1024 px wide and 700 tall, red and green, each with a blue
# marker at its right edge (x 1000 to 1024). Shown on the 800-wide monitor
# at 800/1024 of their size, the marker lies at x 781 to 800 of the monitor.
coproc SERVER { exec python3 "$HERE/serve.py" "$WORK/requests"; }
PIDS+=("$SERVER_PID")
read -r port <&"${SERVER[0]}" || fail "no page server"
first="#c00000" second="#00a000" marker="#0000ff"
RIGHT=1024  # the second monitor's left edge

# start_run <MonitorPages>: a new run's settings (a pass every second), an
# empty cache, request log and standard error.
start_run() {
    settings RefreshTime=0 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=0 \
        "MonitorPages=$1"
    urls "http://127.0.0.1:$port/first" "http://127.0.0.1:$port/second"
    rm -rf "$CACHE"
    : >"$WORK/requests"
    : >"$WORK/stderr"
    xdotool mousemove 500 400
}
# check_monitors <label> <colour of monitor 1> <colour of monitor 2>: both
# monitors show their page, the second the whole page scaled to its width.
check_monitors() {
    local label=$1 one=$2 two=$3
    check "$label: the first monitor shows its page" wait_for 30 pixel_is 500 400 "$one"
    check "$label: the second monitor shows its page" \
        wait_for 15 pixel_is $((RIGHT + 400)) 300 "$two"
    check "$label: the second monitor shows the page's right edge, scaled (x 781-800)" \
        scaled_edge_shown "$two"
    shot "two-monitors-$label"
}
# scaled_edge_shown <page colour>: the marker at x 792 of the second
# monitor, top and bottom, the page's own colour left of it.
scaled_edge_shown() {
    pixel_is $((RIGHT + 792)) 300 "$marker" && pixel_is $((RIGHT + 770)) 300 "$1" &&
        pixel_is $((RIGHT + 792)) 500 "$marker"
}
# The fetches of the log as one line; passes_done: whole passes in it.
fetches() { tr '\n' ' ' <"$WORK/requests"; }
passes_done() { [ "$(grep -c '^/second$' "$WORK/requests")" -ge "$1" ]; }
# check_fetches <label>: at least two passes, each of which fetched each
# page exactly once, in list order (the run may end after a pass's first).
check_fetches() {
    local seen ok=0
    seen=$(fetches)
    [[ "$seen" =~ ^(/first\ /second\ ){2,}(/first\ )?$ ]] && ok=1
    check "$1: each page fetched exactly once per capture pass ($seen)" test $ok = 1
    [ $ok = 1 ] || grep -v '^libEGL warning' "$WORK/stderr" | sed 's/^/        /'
}
ended_within() {  # ended_within <tenths of a second>
    local _
    for _ in $(seq 1 "$1"); do
        kill -0 "$LUM" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Full-screen, each monitor its own page.
start_run different
"$LUMENARY" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check_monitors full-screen "$first" "$second"
check "full-screen: two capture passes" wait_for 30 passes_done 2
# The first move shows where the mouse is; the next one ends the run.
xdotool mousemove 520 420 sleep 0.3 mousemove 1300 300
check "full-screen: a mouse move ends it on both monitors" ended_within 30
check_fetches full-screen
check "full-screen: no window is left" \
    bash -c "! xwininfo -root -tree | grep -q '\"Lumenary\"'"

# The wall, every monitor the same page.
start_run same
"$LUMENARY" --wall 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check_monitors wall "$first" "$first"
check "wall: two capture passes" wait_for 30 passes_done 2
xdotool mousemove 1300 200 sleep 0.2 click 1 sleep 0.2 key Escape
sleep 1
check "wall: input does not end it" kill -0 "$LUM"
kill -TERM "$LUM"
check "wall: SIGTERM ends it within a second" ended_within 10
check_fetches wall

# One program a monitor, each in a window of another process as large as its
# monitor (as XScreenSaver starts them): only one of them captures.
start_run different
lums=()
for geometry in "1024 768 0" "800 600 $RIGHT"; do
    read -r w h x <<<"$geometry"
    mkfifo "$WORK/in$x"
    "$FOREIGN" "$w" "$h" 404040 <"$WORK/in$x" >"$WORK/xid$x" &
    PIDS+=($!)
    # shellcheck disable=SC2034  # held open: the window lives while it is
    exec {keep}>"$WORK/in$x"
    wait_for 5 test -s "$WORK/xid$x" || fail "no window of ${w}x$h"
    xdotool windowmove "$(cat "$WORK/xid$x")" "$x" 0
done
for x in 0 "$RIGHT"; do
    "$LUMENARY" --window-id "$(cat "$WORK/xid$x")" 2>>"$WORK/stderr" &
    lums+=($!)
    PIDS+=($!)
done
check_monitors one-a-monitor "$first" "$second"
check "one-a-monitor: two capture passes" wait_for 30 passes_done 2
kill -TERM "${lums[@]}"
wait "${lums[@]}"
check_fetches one-a-monitor
finish
