#!/usr/bin/env bash
# What the full-screen run costs against a browser showing a comparable
# page, measured one after the other in one Xvfb screen of 1024x768x24:
#   1. `Lumenary.scr /s` under Wine with the URL line and the clock on,
#      showing a cached 1024x768 page (the clock repaints once a second), or,
#      with LUM_BENCH_PAGE=tall, a cached page many screens tall that scrolls
#      by a third of the screen every second from before the measuring window
#      starts until after it ends;
#   2. `chromium --kiosk` on a local page (served on 127.0.0.1) whose text
#      changes once a second.
# For each: CPU in % of one core over the measuring window, and memory (PSS,
# the process's share of the pages it maps, and RSS), of the program alone
# and of its whole process tree (for Wine: every process of the bench's own
# prefix, wineserver and the Wine services included). Then the ratios.
#
# Usage: bash bench/repaint_vs_chromium.sh [build folder]   (default build/mingw-i686)
# Environment: LUM_BENCH_SECONDS (measuring window, default 60),
#              LUM_BENCH_WARMUP (seconds before it, default 15),
#              LUM_BENCH_PREFIX (Wine prefix, default <build>/bench-wineprefix),
#              LUM_BENCH_PAGE (screen: one still page, the default; tall: a
#              page that scrolls throughout),
#              LUM_BENCH_SHOT (a file that receives the screenshot of the saver
#              taken at the end of its measuring window).
# Needs wine, Xvfb (xvfb-run), python3, ImageMagick and chromium. Not a test:
# the figures depend on the machine and on what else runs on it.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/mingw-i686}" && pwd) || exit 2
SECONDS_MEASURED=${LUM_BENCH_SECONDS:-60}
WARMUP=${LUM_BENCH_WARMUP:-15}
case "$SECONDS_MEASURED$WARMUP" in *[!0-9]*) echo "whole seconds, please" >&2; exit 2 ;; esac
PAGE=${LUM_BENCH_PAGE:-screen}
case "$PAGE" in screen | tall) ;; *) echo "LUM_BENCH_PAGE: screen or tall" >&2; exit 2 ;; esac
# The tall page scrolls 256 rows a tick (768 / 3) and must not reach its end
# before the measuring window does: one tick a second, and 10 to spare for
# the saver's start.
ROWS=768
[ "$PAGE" = tall ] && ROWS=$((768 + 256 * (WARMUP + SECONDS_MEASURED + 10)))

# A screen of our own, of the size the figures are about.
if [ -z "${LUM_BENCH_IN_XVFB:-}" ]; then
    LUM_BENCH_IN_XVFB=1 exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$BUILD"
fi

CONVERT=/usr/bin/convert  # by full path: another "convert" may come first on PATH
for tool in wine python3 "$CONVERT"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -f "$BUILD/Lumenary.scr" ] || { echo "no $BUILD/Lumenary.scr: build the mingw-i686 preset" >&2; exit 2; }

WORK=$(mktemp -d)
source "$ROOT/bench/kiosk_lib.bash"
[ -n "$CHROMIUM" ] || { echo "missing: chromium" >&2; exit 2; }
SAVER_PID=
cleanup() {
    [ -n "$SAVER_PID" ] && kill "$SAVER_PID" 2>/dev/null && wait "$SAVER_PID" 2>/dev/null
    stop_kiosk
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# Every process whose environment names this Wine prefix, but for the
# shells and tools of this script, which have it too.
cat >"$WORK/wine_tree.sh" <<'EOF'
for d in /proc/[0-9]*; do
    tr '\0' '\n' <"$d/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$1" || continue
    case $(cat "$d/comm" 2>/dev/null) in
        bash | sh | sleep | python3 | timeout | ps | awk | grep | tr | cat | import | convert) ;;
        *) echo "${d#/proc/}" ;;
    esac
done
EOF
# The process of a Windows program of that prefix, by its file name.
cat >"$WORK/wine_program.sh" <<'EOF'
for p in $(bash "$2" "$1"); do
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qi "$3" && echo "$p"
done
EOF

# --- 1. Lumenary.scr /s --------------------------------------------------------
export WINEPREFIX=${LUM_BENCH_PREFIX:-$BUILD/bench-wineprefix}
# shellcheck source=/dev/null
source "$ROOT/scripts/wine-env.sh"
echo "== Wine prefix $WINEPREFIX (made on first use)"
lum_wine_start

mkdir -p "$WORK/saver/LumenaryCache"
cp "$BUILD/Lumenary.scr" "$WORK/saver/"
KEY='HKCU\Software\Orvane\Lumenary'
wine reg delete "$KEY" /f >/dev/null 2>&1
reg() { wine reg add "$KEY$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null 2>&1; }
reg "" RefreshTime 60
reg "" URLShowTime 60
reg "" ShowURL 1
reg "" ShowClock 1
reg "" EnableScroll "$([ "$PAGE" = tall ] && echo 1 || echo 0)"
reg "" BackColor '$00336699'
reg "" ForeColor clYellow
reg '\URLList' 1 "http://127.0.0.1/clock.html"
# The cached picture of the page: a fresh file, so the run shows it and
# captures nothing. The tall one (beyond what ImageMagick draws) has a bar
# every 400 rows, so that each scroll step changes the picture.
if [ "$PAGE" = screen ]; then
    "$CONVERT" -size 1024x768 gradient:'#e8eef8-#8aa4d0' -fill '#203050' \
        -draw 'rectangle 40,40 984,120' -type TrueColor "BMP3:$WORK/saver/LumenaryCache/0.bmp" ||
        exit 1
else
    python3 - "$ROWS" "$WORK/saver/LumenaryCache/0.bmp" <<'PYEOF' || exit 1
import struct, sys

rows, path = int(sys.argv[1]), sys.argv[2]
width = 1024
size = 54 + width * 3 * rows
with open(path, "wb") as out:
    out.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
    out.write(struct.pack("<IiiHHIIiiII", 40, width, rows, 1, 24, 0, width * 3 * rows, 2835, 2835, 0, 0))
    bar = bytes((0x50, 0x30, 0x20)) * (width - 80)
    for y in reversed(range(rows)):  # bottom-up
        shade = 0xE8 - (y * 0x5E // rows)
        line = bytes((0xF8 - (y * 0x54 // rows), 0xEE - (y * 0x4A // rows), shade)) * width
        if y % 400 >= 40 and y % 400 < 120:
            line = line[:120] + bar + line[120 + len(bar):]
        out.write(line)
PYEOF
fi
# A picture is shown only under the address it was taken from.
printf '%s\n' "http://127.0.0.1/clock.html" >"$WORK/saver/LumenaryCache/0.url"

echo "== Lumenary.scr /s, a page of 1024x$ROWS: ${WARMUP} s to settle, then ${SECONDS_MEASURED} s measured"
(cd "$WORK/saver" && exec wine ./Lumenary.scr /s) >/dev/null 2>&1 &
SAVER_PID=$!
sleep "$WARMUP"
kill -0 "$SAVER_PID" 2>/dev/null || { echo "Lumenary.scr /s ended by itself" >&2; exit 1; }
LUM=$(measure lumenary \
    "bash $WORK/wine_program.sh '$WINEPREFIX' $WORK/wine_tree.sh Lumenary.scr" \
    "bash $WORK/wine_tree.sh '$WINEPREFIX'") || exit 1
echo "$LUM"
/usr/bin/import -silent -window root "$WORK/lumenary.png" 2>/dev/null
[ -n "${LUM_BENCH_SHOT:-}" ] && cp "$WORK/lumenary.png" "$LUM_BENCH_SHOT"
kill "$SAVER_PID" 2>/dev/null
wait "$SAVER_PID" 2>/dev/null
SAVER_PID=
wine reg delete "$KEY" /f >/dev/null 2>&1
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

# --- 2. chromium --kiosk -------------------------------------------------------
serve_clock_page
echo "== chromium --kiosk: ${WARMUP} s to settle, then ${SECONDS_MEASURED} s measured"
CHR=$(measure_chromium) || exit 1
echo "$CHR"

print_ratios Lumenary.scr "whole Wine tree" "$LUM" "$CHR" 0.2 0.1
