#!/usr/bin/env bash
# The real lumenary on two monitors side by side (an Xorg server of its own
# with the dummy driver and two RandR outputs, 1024x768 and 800x600): the
# full-screen run and the wall show a window on each monitor, each at its
# own page; a mouse move ends the full-screen run on both, SIGTERM the wall.
# WebKit's page process does not start on that server here, so the pages are
# captured first on the test's Xvfb display, and the runs on two monitors
# show that cache (the capture lock is held meanwhile, as by another
# instance). Skipped when the Xorg server cannot start here.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

for tool in Xorg xrandr; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 0; }
done
cat >"$WORK/xorg.conf" <<'CONF'
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 1824 768
    EndSubSection
EndSection
CONF
first="#c00000" second="#00a000"
bands_page "$WORK/first.html" 2000 "$first"
bands_page "$WORK/second.html" 2000 "$second"
settings RefreshTime=60 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=0
urls "file://$WORK/first.html" "file://$WORK/second.html"
"$LUMENARY" --root 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
wait_for 60 test -s "$CACHE/1.bmp" || fail "the pages are not captured on $DISPLAY"
kill -TERM "$LUM"
wait "$LUM"
# The capture lock held by another (a sleep holding it, its output not the
# test's, so that nothing of it outlives the test).
(exec 9>"$XDG_RUNTIME_DIR/lumenary-capture.lock" && flock 9 && exec sleep 600) >/dev/null 2>&1 &
PIDS+=($!)

num=$((RANDOM % 400 + 200))
while [ -e "/tmp/.X11-unix/X$num" ]; do num=$((num + 1)); done
Xorg ":$num" -config "$WORK/xorg.conf" -noreset -nolisten tcp -logfile "$WORK/xorg.log" \
    >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY=":$num"
wait_for 15 xdpyinfo >/dev/null 2>&1 || { echo "skipped: the Xorg server does not start"; exit 0; }
xrandr --newmode 800x600_b 40 800 840 968 1056 600 601 605 628
xrandr --addmode DUMMY1 800x600_b
xrandr --output DUMMY1 --mode 800x600_b --right-of DUMMY0
check "two monitors side by side" \
    bash -c "xrandr --listmonitors | grep -q '800/.*x600/.*+1024+0'"

# run_on_both <label> <lumenary args...>: starts it and checks both monitors.
run_on_both() {
    local label=$1; shift
    xdotool mousemove 500 400
    "$LUMENARY" "$@" 2>"$WORK/stderr" &
    LUM=$!
    PIDS+=("$LUM")
    check "$label: the first monitor shows the first page" wait_for 15 pixel_is 500 400 "$first"
    check "$label: the second monitor shows the second page" \
        wait_for 15 pixel_is $((1024 + 400)) 300 "$second"
    shot "two-monitors-$label"
}
ended_within() {  # ended_within <tenths of a second>
    local _
    for _ in $(seq 1 "$1"); do
        kill -0 "$LUM" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

run_on_both full-screen
# The first move shows where the mouse is; the next one ends the run.
xdotool mousemove 520 420 sleep 0.3 mousemove 1300 300
check "full-screen: a mouse move ends it on both monitors" ended_within 30
check "full-screen: no window is left" \
    bash -c "! xwininfo -root -tree | grep -q '\"Lumenary\"'"

run_on_both wall --wall
xdotool mousemove 1300 200 sleep 0.2 click 1 sleep 0.2 key Escape
sleep 1
check "wall: input does not end it" kill -0 "$LUM"
kill -TERM "$LUM"
check "wall: SIGTERM ends it within a second" ended_within 10
finish
