# Helpers of the end-to-end scripts of the screen-saver host (host_*.sh):
# starting Lumenary.scr and the helper programs under Wine, waiting with time
# limits, looking at windows, input and screenshots, and counting failures.
# Sourced with the build folder and the source folder as $1 and $2; needs the
# DISPLAY of an Xvfb screen of 1024x768.

# shellcheck disable=SC2034  # variables set here are read by the scripts
set -u
BUILD=$(realpath "$1")
SRC=$(realpath "$2")
# shellcheck source=/dev/null
source "$SRC/scripts/wine-env.sh"
SCR="$BUILD/Lumenary.scr"
PARENT_EXE="$BUILD/TestParent.exe"
PROBE_EXE="$BUILD/WinProbe.exe"
SHOTS="$BUILD/screenshots"
CONVERT=/usr/bin/convert  # by full path: a stand-in of the same name may come first on PATH
FORM_CLASS=TScreenSaverDisplayForm
FAILURES=0
BG_PIDS=()
LAST_RC=""

if [ -z "${DISPLAY:-}" ]; then
    echo "no DISPLAY: run under xvfb-run -s '-screen 0 1024x768x24'"
    exit 1
fi
for f in "$SCR" "$PARENT_EXE" "$PROBE_EXE"; do
    [ -f "$f" ] || { echo "missing $f: build the mingw tree first"; exit 1; }
done
mkdir -p "$SHOTS"
WORK=$(mktemp -d "$BUILD/e2e-host.XXXXXX")

# Whatever is still running when the script ends (a failed check) is ended
# here, by its own process id, so that the next script finds no saver and no
# held mutex.
host_cleanup() {
    local pid
    for pid in "${BG_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null && kill "$pid" 2>/dev/null
    done
    rm -rf "$WORK"
}
trap host_cleanup EXIT
lum_wine_start

ok() { echo "  ok    $*"; }
bad() { echo "  FAIL  $*"; FAILURES=$((FAILURES + 1)); }
note() { echo "  note  $*"; }
section() { echo "== $*"; }
check() {  # check <description> <command...>
    local what=$1
    shift
    if "$@"; then ok "$what"; else bad "$what"; fi
}
finish() {
    if [ "$FAILURES" -eq 0 ]; then
        echo "all checks passed"
        exit 0
    fi
    echo "$FAILURES check(s) failed"
    exit 1
}

now_ms() { date +%s%3N; }
winpath() { printf 'Z:%s' "$1"; }  # drive Z: of the prefix is the Unix root

probe() { wine "$PROBE_EXE" "$@" 2>/dev/null | tr -d '\r'; }

# start_bg <program> <args...>: runs it under Wine in the background; its
# process id is left in BG.
start_bg() {
    wine "$@" 2>>"$WORK/wine.log" &
    BG=$!
    BG_PIDS+=("$BG")
}

alive() { kill -0 "$1" 2>/dev/null; }

# wait_exit <pid> <ms>: true when the process ends within the time; its exit
# code is then in LAST_RC. A process still running is left running.
wait_exit() {
    local pid=$1 limit=$2 start
    start=$(now_ms)
    while alive "$pid"; do
        [ $(($(now_ms) - start)) -gt "$limit" ] && { LAST_RC=running; return 1; }
        sleep 0.02
    done
    wait "$pid" 2>/dev/null
    LAST_RC=$?
    return 0
}

# ends_ok <pid> <ms>: the process ends within the time with exit code 0.
ends_ok() { wait_exit "$1" "$2" && [ "$LAST_RC" = 0 ]; }

# stays_shown <pid> <ms>: after the time the process still runs and its
# display form is still visible. (A run that was ended hides its form at
# once, but under Wine without a window manager the process then waits about
# 2 s for the X server to withdraw the window: only the form tells.)
stays_shown() {
    sleep "$(awk "BEGIN{print $2/1000}")"
    alive "$1" && [ "$(visible_forms)" = 1 ]
}

# The field <name>= of a line of WinProbe or TestParent output.
field() { grep -o "$1=[^ ]*" | head -n1 | cut -d= -f2-; }

# wait_match <file> <extended regex> <ms>: the file has a matching line.
wait_match() {
    local file=$1 regex=$2 limit=$3 start
    start=$(now_ms)
    until [ -f "$file" ] && grep -Eq "$regex" "$file"; do
        [ $(($(now_ms) - start)) -gt "$limit" ] && return 1
        sleep 0.02
    done
}

# Visible windows of class TScreenSaverDisplayForm of any process.
visible_forms() { probe class "$FORM_CLASS" | grep -c 'visible=1'; }

# wait_form_hidden <ms>: no display form is visible any more.
wait_form_hidden() {
    local limit=$1 start
    start=$(now_ms)
    until [ "$(visible_forms)" = 0 ]; do
        [ $(($(now_ms) - start)) -gt "$limit" ] && return 1
        sleep 0.05
    done
}

# The X server reports every window that is mapped on the screen: the
# watch tells whether a run showed any window at all, however briefly.
watch_maps_start() {
    if ! command -v xev >/dev/null; then
        XEV_PID=""
        return
    fi
    xev -root -event substructure >"$WORK/xev.txt" 2>/dev/null &
    XEV_PID=$!
    sleep 0.15
}
watch_maps_count() {  # prints the number of windows mapped since the start, or "unknown"
    if [ -z "$XEV_PID" ]; then
        echo unknown
        return
    fi
    sleep 0.2
    kill "$XEV_PID" 2>/dev/null
    wait "$XEV_PID" 2>/dev/null
    grep -c '^MapNotify' "$WORK/xev.txt"
}
no_window_shown() {  # <count from watch_maps_count>
    [ "$1" = 0 ] && return 0
    [ "$1" = unknown ] && { note "xev (x11-utils) missing: mapped windows not watched"; return 0; }
    return 1
}

shot() { import -window root "$SHOTS/$1.png" 2>/dev/null; }

# pixel <png> <x> <y>: "r,g,b" of one pixel.
pixel() {
    "$CONVERT" "$1" -format \
        "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" \
        info:
}

# count_pixels <png> <WxH+X+Y> <dark|light>: pixels of the area below or
# above half brightness.
count_pixels() {
    local negate=()
    [ "$3" = dark ] && negate=(-negate)
    "$CONVERT" "$1" -crop "$2" +repage -colorspace Gray -threshold 50% "${negate[@]}" \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}

# ink_box <png> <WxH+X+Y>: "w h x y" of what differs from the area's corner
# colour, in the area's own coordinates.
ink_box() {
    "$CONVERT" "$1" -crop "$2" +repage -format '%@' info: 2>/dev/null |
        sed -E 's/^([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2 \3 \4/'
}

near() { [ $(($1 - $2)) -le "$3" ] && [ $(($2 - $1)) -le "$3" ]; }  # |a-b| <= tolerance

# start_parent <name> [--disabled]: TestParent with its handle and state
# files in $WORK/<name>.*; sets PARENT_PID, PARENT_TOP, PARENT_PREVIEW,
# PARENT_STATE.
start_parent() {
    local name=$1
    shift
    rm -f "$WORK/$name".*
    PARENT_STATE="$WORK/$name.state"
    start_bg "$PARENT_EXE" "$(winpath "$WORK/$name.handles")" 90 "$(winpath "$PARENT_STATE")" "$@"
    PARENT_PID=$BG
    wait_match "$WORK/$name.handles" '^previewrect=' 10000 || return 1
    PARENT_TOP=$(field top <"$WORK/$name.handles")
    PARENT_PREVIEW=$(field preview <"$WORK/$name.handles")
    PARENT_PREVIEW_RECT=$(field previewrect <"$WORK/$name.handles")
    wait_match "$PARENT_STATE" '^enabled=' 5000
}

# start_saver: a full-screen run, shown within 10 s; sets SAVER_PID.
start_saver() {
    start_bg "$SCR" /s
    SAVER_PID=$BG
    probe wait Lumenary.scr "$FORM_CLASS" 10000 >"$WORK/saver.list" &&
        grep -q "class=$FORM_CLASS visible=1" "$WORK/saver.list"
}

# end_saver <description> <xdotool arguments...>: the input ends the run:
# the form is hidden at once and the process ends with exit code 0.
end_saver() {
    local what=$1
    shift
    if [ "$1" = key ]; then
        # Without a window manager X may leave the keyboard focus on the root
        # window after an earlier run's windows went, and keys then reach no
        # window at all: the keys go to the window under the pointer, the
        # saver's (it covers the screen).
        local WINDOW=""
        eval "$(xdotool getmouselocation --shell 2>/dev/null | grep '^WINDOW=')"
        [ -n "$WINDOW" ] && xdotool windowfocus --sync "$WINDOW" 2>/dev/null
    fi
    xdotool "$@"
    check "$what hides the saver within 2 s" wait_form_hidden 2000
    check "$what ends the process (exit 0) within 6 s" ends_ok "$SAVER_PID" 6000
}

# A new full-screen run starts and shows its window: no earlier run holds the
# single-instance mutex any more. A key ends it again.
check_fresh_saver() {
    xdotool mousemove 700 500
    if start_saver; then
        ok "a new /s run starts and shows its window ($1)"
        end_saver "a key" key space
    else
        bad "a new /s run starts and shows its window ($1)"
    fi
}
