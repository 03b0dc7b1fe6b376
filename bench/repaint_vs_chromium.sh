#!/usr/bin/env bash
# What the full-screen run costs against a browser showing a comparable
# page, measured one after the other in one Xvfb screen of 1024x768x24:
#   1. `Lumenary.scr /s` under Wine with the URL line and the clock on,
#      showing a cached 1024x768 page (the clock repaints once a second);
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
#              LUM_BENCH_PREFIX (Wine prefix, default <build>/bench-wineprefix).
# Needs wine, Xvfb (xvfb-run), python3, ImageMagick and chromium. Not a test:
# the figures depend on the machine and on what else runs on it.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/mingw-i686}" && pwd) || exit 2
SECONDS_MEASURED=${LUM_BENCH_SECONDS:-60}
WARMUP=${LUM_BENCH_WARMUP:-15}
case "$SECONDS_MEASURED$WARMUP" in *[!0-9]*) echo "whole seconds, please" >&2; exit 2 ;; esac

# A screen of our own, of the size the figures are about.
if [ -z "${LUM_BENCH_IN_XVFB:-}" ]; then
    LUM_BENCH_IN_XVFB=1 exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$BUILD"
fi

CONVERT=/usr/bin/convert  # by full path: another "convert" may come first on PATH
CHROMIUM=$(command -v chromium || command -v chromium-browser || true)
for tool in wine python3 "$CONVERT"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -n "$CHROMIUM" ] || { echo "missing: chromium" >&2; exit 2; }
[ -f "$BUILD/Lumenary.scr" ] || { echo "no $BUILD/Lumenary.scr: build the mingw-i686 preset" >&2; exit 2; }

WORK=$(mktemp -d)
SAVER_PID=
SERVER_PID=
BROWSER_PID=
cleanup() {
    for pid in $BROWSER_PID $SERVER_PID $SAVER_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# --- Measuring --------------------------------------------------------------
# measure <label> <seconds> <pids command> <tree pids command>: samples every
# second; prints "<label> cpu=<% alone> cpu_tree=<%> pss_kb=... pss_tree_kb=...
# rss_kb=... rss_tree_kb=..." (CPU over the window, memory the mean of the samples).
cat >"$WORK/measure.py" <<'PYEOF'
import glob, subprocess, sys, time

label, seconds, alone_cmd, tree_cmd = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]


def pids(cmd):
    out = subprocess.run(["bash", "-c", cmd], capture_output=True, text=True).stdout
    return sorted({int(p) for p in out.split()})


def thread_times(pid):
    """Nanoseconds on a CPU of each thread of pid (schedstat: exact, not in clock ticks)."""
    times = {}
    for path in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(path) as f:
                times[(pid, int(path.split("/")[4]))] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return times


def memory(pid):
    pss = rss = 0
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
                elif line.startswith("Rss:"):
                    rss = int(line.split()[1])
    except OSError:
        pass
    return pss, rss


alone, tree = pids(alone_cmd), pids(tree_cmd)
if not alone:
    sys.exit("%s: no process found" % label)
t0 = time.monotonic()
first, last = {}, {}
for p in set(alone) | set(tree):
    first.update(thread_times(p))
last.update(first)
alone_set, tree_set = set(alone), set(tree) | set(alone)
samples = []
while time.monotonic() - t0 < seconds:
    time.sleep(1)
    alone, tree = pids(alone_cmd), pids(tree_cmd)
    alone_set |= set(alone)
    tree_set |= set(tree) | set(alone)
    for p in set(alone) | set(tree):
        for tid, ns in thread_times(p).items():
            first.setdefault(tid, 0)  # a thread born in the window counts from its start
            last[tid] = ns
    mem_alone = [memory(p) for p in alone]
    mem_tree = [memory(p) for p in set(tree) | set(alone)]
    samples.append((sum(m[0] for m in mem_alone), sum(m[0] for m in mem_tree),
                    sum(m[1] for m in mem_alone), sum(m[1] for m in mem_tree)))
elapsed = time.monotonic() - t0


def cpu(group):
    used = sum(last[t] - first[t] for t in last if t[0] in group)
    return 100.0 * used / 1e9 / elapsed


mean = [sum(s[i] for s in samples) // len(samples) for i in range(4)]
print("%s cpu=%.3f cpu_tree=%.3f pss_kb=%d pss_tree_kb=%d rss_kb=%d rss_tree_kb=%d processes=%d"
      % (label, cpu(alone_set), cpu(tree_set), mean[0], mean[1], mean[2], mean[3], len(tree_set)))
PYEOF

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
# A process and all its descendants.
cat >"$WORK/tree.sh" <<'EOF'
ps -e -o pid=,ppid= | awk -v root="$1" '
    { parent[$1] = $2; pids[NR] = $1 }
    END { for (i in pids) { p = pids[i]; q = p
          while (q != "" && q != 0 && q != root) q = parent[q]
          if (q == root) print p } }'
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
reg "" EnableScroll 0
reg "" BackColor '$00336699'
reg "" ForeColor clYellow
reg '\URLList' 1 "http://127.0.0.1/clock.html"
# The cached picture of the page: a fresh file, so the run shows it and
# captures nothing.
"$CONVERT" -size 1024x768 gradient:'#e8eef8-#8aa4d0' -fill '#203050' -draw 'rectangle 40,40 984,120' \
    -type TrueColor "BMP3:$WORK/saver/LumenaryCache/0.bmp" || exit 1

echo "== Lumenary.scr /s: ${WARMUP} s to settle, then ${SECONDS_MEASURED} s measured"
(cd "$WORK/saver" && exec wine ./Lumenary.scr /s) >/dev/null 2>&1 &
SAVER_PID=$!
sleep "$WARMUP"
kill -0 "$SAVER_PID" 2>/dev/null || { echo "Lumenary.scr /s ended by itself" >&2; exit 1; }
LUM=$(python3 "$WORK/measure.py" lumenary "$SECONDS_MEASURED" \
    "bash $WORK/wine_program.sh '$WINEPREFIX' $WORK/wine_tree.sh Lumenary.scr" \
    "bash $WORK/wine_tree.sh '$WINEPREFIX'") || exit 1
echo "$LUM"
/usr/bin/import -silent -window root "$WORK/lumenary.png" 2>/dev/null
kill "$SAVER_PID" 2>/dev/null
wait "$SAVER_PID" 2>/dev/null
SAVER_PID=
wine reg delete "$KEY" /f >/dev/null 2>&1
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

# --- 2. chromium --kiosk -------------------------------------------------------
mkdir -p "$WORK/site" "$WORK/profile"
cat >"$WORK/site/clock.html" <<'EOF'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>clock</title>
<style>body{margin:0;background:#e8eef8;font:24px sans-serif}#t{padding:40px}</style>
</head><body><div id="t"></div>
<script>
function tick(){document.getElementById("t").textContent="http://127.0.0.1/clock.html  "+new Date().toLocaleTimeString();}
tick();setInterval(tick,1000);
</script></body></html>
EOF
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$WORK/site" >/dev/null 2>&1 &
SERVER_PID=$!
sleep 0.5

echo "== chromium --kiosk: ${WARMUP} s to settle, then ${SECONDS_MEASURED} s measured"
"$CHROMIUM" --kiosk --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$WORK/profile" --window-position=0,0 --window-size=1024,768 \
    "http://127.0.0.1:$PORT/clock.html" >/dev/null 2>&1 &
BROWSER_PID=$!
sleep "$WARMUP"
kill -0 "$BROWSER_PID" 2>/dev/null || { echo "chromium ended by itself" >&2; exit 1; }
CHR=$(python3 "$WORK/measure.py" chromium "$SECONDS_MEASURED" "echo $BROWSER_PID" \
    "echo $BROWSER_PID; bash $WORK/tree.sh $BROWSER_PID") || exit 1
echo "$CHR"
kill "$BROWSER_PID" 2>/dev/null
wait "$BROWSER_PID" 2>/dev/null
BROWSER_PID=

# --- Ratios -------------------------------------------------------------------
python3 - "$LUM" "$CHR" <<'PYEOF'
import sys


def parse(line):
    return {k: float(v) for k, v in (f.split("=") for f in line.split()[1:])}


lum, chr_ = parse(sys.argv[1]), parse(sys.argv[2])
mb = lambda kb: kb / 1024.0
print()
print("%-34s %10s %12s %12s" % ("", "CPU %", "PSS MB", "RSS MB"))
print("%-34s %10.3f %12.1f %12.1f" % ("Lumenary.scr alone", lum["cpu"], mb(lum["pss_kb"]), mb(lum["rss_kb"])))
print("%-34s %10.3f %12.1f %12.1f" % ("Lumenary.scr, whole Wine tree", lum["cpu_tree"],
                                       mb(lum["pss_tree_kb"]), mb(lum["rss_tree_kb"])))
print("%-34s %10.3f %12.1f %12.1f" % ("chromium --kiosk, whole tree", chr_["cpu_tree"],
                                       mb(chr_["pss_tree_kb"]), mb(chr_["rss_tree_kb"])))
ratio = lambda a, b: a / b if b else float("inf")
print()
print("ratio Lumenary.scr alone / chromium:  CPU %.3f  PSS %.3f  (targets: CPU <= 0.2, memory <= 0.1)"
      % (ratio(lum["cpu"], chr_["cpu_tree"]), ratio(lum["pss_kb"], chr_["pss_tree_kb"])))
print("ratio whole Wine tree / chromium:     CPU %.3f  PSS %.3f"
      % (ratio(lum["cpu_tree"], chr_["cpu_tree"]), ratio(lum["pss_tree_kb"], chr_["pss_tree_kb"])))
PYEOF
