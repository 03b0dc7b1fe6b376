#!/usr/bin/env bash
# How long the Windows capture keeps the message loop from the user: the
# real capture window (the stand-in control in place of the WebBrowser
# control) captures a page far taller than the height cap at 1920x1080,
# pass after pass, while a second thread posts a message every 5 ms; the
# longest wait of such a message to be handled is printed per pass. The
# program's windows answer input no later than that.
#
# Usage: bash bench/capture_gaps.sh [build folder] [url] [passes]
#        (default build/mingw-i686, standin:giant, 3)
# Needs wine and Xvfb (xvfb-run). Not a test: the figures depend on the
# machine and on what else runs on it.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/mingw-i686}" && pwd) || exit 2
URL=${2:-standin:giant}
PASSES=${3:-3}
if [ -z "${LUM_BENCH_IN_XVFB:-}" ]; then
    LUM_BENCH_IN_XVFB=1 exec xvfb-run -a -s '-screen 0 1920x1080x24 -noreset' \
        bash "$0" "$BUILD" "$URL" "$PASSES"
fi
for file in CaptureGaps.exe LumenaryStandin.dll; do
    [ -f "$BUILD/$file" ] || { echo "no $BUILD/$file: build the mingw-i686 preset" >&2; exit 2; }
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
source "$ROOT/scripts/wine-env.sh"
lum_wine_start
timeout 600 wine "$BUILD/CaptureGaps.exe" "$(winepath -w "$BUILD/LumenaryStandin.dll")" \
    "$(winepath -w "$WORK")" "$URL" "$PASSES" | cat
rc=${PIPESTATUS[0]}
lum_wine_stop
exit "$rc"
