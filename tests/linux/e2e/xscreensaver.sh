#!/usr/bin/env bash
# lumenary inside the real XScreenSaver: the daemon, started in an X server
# of its own with lumenary as its only program, is activated; the screen then
# shows the captured page, and deactivating ends lumenary. XScreenSaver
# refuses to start programs as root, so as root the daemon runs as the
# ordinary user "lumenary-test" (created when missing).
set -uo pipefail
source "$(dirname "$0")/lib.bash"

bands=("#c00000" "#00a000" "#0000c0")
bands_page "$WORK/bands.html" 400 "${bands[@]}"
settings RefreshTime=60 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=1
urls "file://$WORK/bands.html"

RUN=()
USERHOME=$WORK/home
mkdir -p "$USERHOME"
if [ "$(id -u)" -eq 0 ]; then
    id lumenary-test >/dev/null 2>&1 || useradd -M -s /bin/sh lumenary-test || fail "useradd"
    chown -R lumenary-test "$WORK/config" "$WORK/run" "$USERHOME"
    mkdir -p "$WORK/cache" && chown lumenary-test "$WORK/cache"
    RUN=(runuser -u lumenary-test --)
fi
cat >"$USERHOME/.xscreensaver" <<X
timeout: 0:30:00
lock: False
splash: False
fade: False
unfade: False
mode: one
selected: 0
programs: $LUMENARY \\n
X
[ "$(id -u)" -eq 0 ] && chown lumenary-test "$USERHOME/.xscreensaver"

user_cleanup() {
    [ ${#RUN[@]} -gt 0 ] && pkill -u lumenary-test 2>/dev/null
    cleanup
}
trap user_cleanup EXIT

# An X server of its own that the other user may use (-ac).
num=$((RANDOM % 400 + 200))
while [ -e "/tmp/.X11-unix/X$num" ]; do num=$((num + 1)); done
Xvfb ":$num" -ac -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY=":$num"
wait_for 10 xdpyinfo >/dev/null 2>&1 || fail "no X server"
as_user() {
    "${RUN[@]}" env HOME="$USERHOME" DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" \
        XDG_CACHE_HOME="$XDG_CACHE_HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"
}
# Now and then the daemon does not come up on a loaded machine (its log gives
# no reason): it is started once more before the check fails.
start_daemon() {
    as_user xscreensaver -no-splash >>"$WORK/xscreensaver.log" 2>&1 &
    PIDS+=($!)
    wait_for 20 as_user xscreensaver-command -version
}
if ! start_daemon; then
    [ ${#RUN[@]} -gt 0 ] && pkill -u lumenary-test -x xscreensaver
    sleep 1
    start_daemon
fi
check "the daemon answers" as_user xscreensaver-command -version
# The programs of this display only (another lumenary may run elsewhere on
# the machine, a benchmark's or a user's).
hacks() {
    local pid
    for pid in $(pgrep -f "^$LUMENARY"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxE "DISPLAY=$DISPLAY(\.[0-9]+)?" && echo "$pid"
    done
}
runs() { [ -n "$(hacks)" ]; }
ended() { ! runs; }
as_user xscreensaver-command -activate >/dev/null 2>&1
check "XScreenSaver starts lumenary" wait_for 10 runs
check "lumenary captures the page" wait_for 30 test -s "$CACHE/0.bmp"
# It scrolls through the page at once: any of its bands will do.
check "the screen shows the captured page" wait_for 10 pixel_among 400 200 "${bands[@]}"
shot xscreensaver
as_user xscreensaver-command -deactivate >/dev/null 2>&1
check "deactivating ends lumenary" wait_for 5 ended
as_user xscreensaver-command -exit >/dev/null 2>&1
finish
