#!/usr/bin/env bash
# What showing pictures costs on Linux against a browser showing the same
# page, measured one after the other in one Xvfb screen of 1024x768x24:
#   1. `lumenary` full-screen with the URL line and the clock on, showing its
#      capture of a local page (served on 127.0.0.1), once the capture pass is
#      over (the clock repaints once a second);
#   2. `chromium --kiosk` on the same page, whose text changes once a second.
# For each: CPU in % of one core over the measuring window and memory (PSS and
# RSS) of the program alone and of its whole process tree; then the ratios.
#
# Usage: bash bench/display_vs_chromium.sh [build folder]   (default build/linux)
# Environment: LUM_BENCH_SECONDS (measuring window, default 60),
#              LUM_BENCH_WARMUP (seconds before it, default 15).
# Needs Xvfb (xvfb-run), python3 and chromium. Not a test: the figures depend
# on the machine and on what else runs on it.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/linux}" && pwd) || exit 2
SECONDS_MEASURED=${LUM_BENCH_SECONDS:-60}
WARMUP=${LUM_BENCH_WARMUP:-15}
case "$SECONDS_MEASURED$WARMUP" in *[!0-9]*) echo "whole seconds, please" >&2; exit 2 ;; esac
[ -x "$BUILD/lumenary" ] || { echo "no $BUILD/lumenary: build the linux preset" >&2; exit 2; }

if [ -z "${LUM_BENCH_IN_XVFB:-}" ]; then
    LUM_BENCH_IN_XVFB=1 exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$BUILD"
fi

WORK=$(mktemp -d)
source "$ROOT/bench/kiosk_lib.bash"
SAVER_PID=
cleanup() {
    [ -n "$SAVER_PID" ] && kill "$SAVER_PID" 2>/dev/null && wait "$SAVER_PID" 2>/dev/null
    stop_kiosk
    rm -rf "$WORK"
}
trap cleanup EXIT
serve_clock_page

# --- 1. lumenary ---------------------------------------------------------------
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$XDG_CONFIG_HOME/lumenary" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf '%s\n' '[Lumenary]' 'RefreshTime=60' 'URLShowTime=60' 'ShowURL=1' 'ShowClock=1' \
    '[Lumenary\URLList]' "1=$PAGE_URL" >"$XDG_CONFIG_HOME/lumenary/lumenary.ini"
echo "== lumenary: its capture pass, ${WARMUP} s to settle, then ${SECONDS_MEASURED} s measured"
"$BUILD/lumenary" >/dev/null 2>"$WORK/lumenary.err" &
SAVER_PID=$!
for _ in $(seq 1 150); do
    [ -s "$XDG_CACHE_HOME/lumenary/0.bmp" ] && break
    sleep 0.2
done
[ -s "$XDG_CACHE_HOME/lumenary/0.bmp" ] || { echo "lumenary captured nothing" >&2; exit 1; }
sleep "$WARMUP"
kill -0 "$SAVER_PID" 2>/dev/null || { echo "lumenary ended by itself" >&2; exit 1; }
LUM=$(measure lumenary "echo $SAVER_PID" "echo $SAVER_PID; tree_pids $SAVER_PID") || exit 1
echo "$LUM"
kill "$SAVER_PID" 2>/dev/null
wait "$SAVER_PID" 2>/dev/null
SAVER_PID=

# --- 2. chromium --kiosk -------------------------------------------------------
echo "== chromium --kiosk: ${WARMUP} s to settle, then ${SECONDS_MEASURED} s measured"
CHR=$(measure_chromium) || exit 1
echo "$CHR"

print_ratios lumenary "whole tree" "$LUM" "$CHR" 0.333 0.2
