#!/usr/bin/env bash
# The real lumenary follows its monitors when xrandr changes them (an Xorg
# server of its own with the dummy driver and two RandR outputs, 1024x768+0+0
# and 800x600+1024+0): the wall and the full-screen run start again with one
# window on each monitor at its new size and place, once for each change
# (xev counts the windows made), and show the page there. The second
# monitor gets another mode (1024x768), then goes to the first one's left.
# A full-screen run that started again still ends on a mouse move. This
# server's libEGL warning (one a capture pass) stays out of lumenary's
# standard error. Skipped when the Xorg server cannot start here.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

for tool in Xorg xrandr xev xwininfo; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 0; }
done
source "$HERE/xorg_two_monitors.bash"
start_two_monitors "$WORK"
started=$?
PIDS+=("$XORG_PID")
[ $started = 1 ] && { echo "skipped: the Xorg server does not start"; exit 0; }
export DISPLAY=$XORG_DISPLAY
check "two monitors side by side" test $started = 0

bands=("#c00000" "#00a000")
bands_page "$WORK/bands.html" 400 "${bands[@]}"
settings RefreshTime=60 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=0 \
    BackColor=clNavy MonitorPages=same
urls "file://$WORK/bands.html"

# The program's windows as "WxH+X+Y" in screen order, on one line.
windows() {
    xwininfo -root -tree | awk '/"Lumenary": \("lumenary"/ { print $(NF - 1) }' | sort -t+ -k2n |
        tr '\n' ' '
}
windows_are() { [ "$(windows)" = "${1:+$1 }" ]; }
# watch_windows: from now on xev writes the root window's new children;
# windows_made: how many of them are as large as a monitor (the leader and
# pop-up windows of GTK are smaller).
watch_windows() {
    [ -n "${XEV:-}" ] && kill "$XEV" 2>/dev/null
    : >"$WORK/xev"
    xev -root -event substructure >>"$WORK/xev" 2>/dev/null &
    XEV=$!
    PIDS+=("$XEV")
    sleep 0.5  # xev selects its events before the change
}
windows_made() {
    awk '/CreateNotify/ { getline; for (i = 1; i < NF; i++) if ($i == "width") n += ($(i + 1) + 0 >= 640) }
         END { print n + 0 }' "$WORK/xev"
}
# change <label> <windows afterwards> <xrandr arguments...>: the windows follow
# the change, made once; the second monitor shows the page at x 700.
change() {
    local label=$1 after=$2; shift 2
    watch_windows
    xrandr "$@"
    check "$label: the windows follow ($after)" wait_for 20 windows_are "$after"
    sleep 2  # a second start, if the change were seen twice, would show by now
    check "$label: the run starts again once (windows made: $(windows_made))" \
        test "$(windows_made)" = 2
    check "$label: both monitors show the page" wait_for 30 pages_shown
    shot "monitor-geometry-$label"
}
# The page's top band at the top left of each monitor.
pages_shown() {
    local w
    for w in $(windows); do
        [[ $w =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
        pixel_is $((BASH_REMATCH[3] + 300)) $((BASH_REMATCH[4] + 100)) "${bands[0]}" || return 1
    done
}
# Back to the server's first layout.
first_layout() {
    xrandr --output DUMMY1 --mode 800x600_b --right-of DUMMY0 &&
        xrandr --listmonitors | grep -q '800/.*x600/.*+1024+0'
}

# The wall.
xdotool mousemove 500 400
"$LUMENARY" --wall 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check "wall: a window on each monitor" wait_for 20 windows_are "1024x768+0+0 800x600+1024+0"
check "wall: the page is captured" wait_for 30 test -s "$CACHE/0.bmp"
check "wall: both monitors show the page" wait_for 30 pages_shown
change "wall-mode" "1024x768+0+0 1024x768+1024+0" --output DUMMY1 --mode 1024x768
check "wall-mode: the page shows at the new monitor's right edge" \
    wait_for 10 pixel_is $((1024 + 990)) 500 "${bands[1]}"
change "wall-left-of" "800x600+0+0 1024x768+800+0" --output DUMMY1 --mode 800x600_b \
    --left-of DUMMY0
check "wall: it still runs" kill -0 "$LUM"
check_ends_on_sigterm "$LUM"
check "wall: no libEGL line on standard error" bash -c "! grep -q libEGL '$WORK/stderr'"
echo "standard error:"; sed 's/^/    /' "$WORK/stderr"

# The full-screen run: the pointer stays still on the first monitor.
check "the first layout again" first_layout
xdotool mousemove 300 300
"$LUMENARY" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check "full-screen: a window on each monitor" \
    wait_for 20 windows_are "1024x768+0+0 800x600+1024+0"
change "full-screen-mode" "1024x768+0+0 1024x768+1024+0" --output DUMMY1 --mode 1024x768
check "full-screen: it still runs" kill -0 "$LUM"
# The first move shows where the mouse is; the next one ends the run.
xdotool mousemove 310 310 sleep 0.3 mousemove 1500 300
check "full-screen: a mouse move ends it" wait_for 10 bash -c "! kill -0 $LUM 2>/dev/null"
check "full-screen: no window is left" windows_are ""
xrandr --output DUMMY1 --mode 800x600_b
finish
