#!/usr/bin/env bash
# Time to capture a page: the Linux capture (one long-lived off-screen
# WebKitGTK view, lum_webkit_capture) against `chromium --headless
# --screenshot`, on the same pages served from 127.0.0.1: the short page and
# the 10,000 px tall page of tests/pages. Median of RUNS runs each (default 5).
# The capture tool runs in Xvfb unless DISPLAY is set, its page processes in
# WebKit's sandbox (bubblewrap), as in the program. Also prints the memory
# of the capture's process tree while capturing and after the view is gone.
#
#   bash bench/capture_vs_chromium.sh            # builds build/linux first
#   LUM_CAPTURE=path/to/lum_webkit_capture RUNS=9 bash bench/capture_vs_chromium.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
capture=${LUM_CAPTURE:-$root/build/linux/lum_webkit_capture}
if [ -z "${LUM_CAPTURE:-}" ]; then
    cmake --preset linux >/dev/null
    cmake --build "$root/build/linux" --target lum_webkit_capture -j2 >/dev/null
fi
command -v chromium >/dev/null || { echo "chromium is not installed" >&2; exit 1; }

work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$root/tests/pages" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
    python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/short.html')" \
        2>/dev/null && break
    sleep 0.1
done
base="http://127.0.0.1:$port"
pages=(short.html tall.html)
heights=(768 10016)  # chromium draws only its window: give it the page's height

median() { sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
now_ms() { date +%s%N | awk '{printf "%.1f", $1/1e6}'; }

# Ours: one process, one view, "about:blank" then every page RUNS times.
mkdir -p "$work/ours"
wrap=()
[ -z "${DISPLAY:-}" ] && wrap=(xvfb-run -a -s "-screen 0 1024x768x24")
start=$(now_ms)
"${wrap[@]}" timeout 300 "$capture" --repeat "$runs" --out "$work/ours" \
    "${pages[@]/#/$base/}" >"$work/ours.tsv"
whole=$(awk -v s="$start" -v e="$(now_ms)" 'BEGIN {printf "%.0f", e - s}')
blank=$(awk -F'\t' '$1 == "about:blank" {print $2}' "$work/ours.tsv")

# Chromium: a new process and a fresh profile for every capture.
for i in "${!pages[@]}"; do
    for _ in $(seq "$runs"); do
        profile=$(mktemp -d "$work/profile.XXXX")
        s=$(now_ms)
        timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
            --disable-background-networking --disable-component-update --disable-sync \
            --user-data-dir="$profile" --window-size=1024,"${heights[$i]}" \
            --screenshot="$work/chromium.png" "$base/${pages[$i]}" >/dev/null 2>&1
        awk -v s="$s" -v e="$(now_ms)" 'BEGIN {printf "%.1f\n", e - s}' >>"$work/chromium.$i"
        rm -rf "$profile"
    done
done

printf 'Capture time per page, median of %s runs (ms)\n' "$runs"
printf '%-12s %14s %12s %8s %16s\n' page "lumenary (file)" chromium ratio "lumenary (memory)"
# ours URL COLUMN: median of that column of the capture tool's lines for URL.
ours() { awk -F'\t' -v u="$1" -v c="$2" '$1 == u {print $c}' "$work/ours.tsv" | median; }
for i in "${!pages[@]}"; do
    ours=$(ours "$base/${pages[$i]}" 2)
    inMemory=$(ours "$base/${pages[$i]}" 4)
    theirs=$(median <"$work/chromium.$i")
    printf '%-12s %14.1f %12.1f %8.3f %16.1f\n' "${pages[$i]}" "$ours" "$theirs" \
        "$(awk -v a="$ours" -v b="$theirs" 'BEGIN {print a / b}')" "$inMemory"
done
printf '(file: from Navigate to the BMP file written; memory: to the picture in memory)\n'
printf 'lumenary: helper processes started by the first page of a pass ("about:blank") in %s ms;\n' \
    "$blank"
printf '          the whole run (start, %s pages, end) took %s ms\n' "$((runs * ${#pages[@]}))" \
    "$whole"

# Memory, in a run of its own (sampling costs time): the capture process and
# its helper processes while capturing, and after the view is destroyed.
"${wrap[@]}" timeout 300 "$capture" --memory --repeat "$runs" --out "$work/ours" \
    "${pages[@]/#/$base/}" | grep '^memory'
