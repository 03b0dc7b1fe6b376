#!/usr/bin/env bash
# What settling costs a page: the time from Navigate to the picture in memory
# with one long-lived WebKitGTK view (lum_webkit_capture), taken at the load
# event and taken once the page has settled, median of RUNS runs (default 5)
# over the demo pages (data/demo) and the test pages (tests/pages), served
# from 127.0.0.1. The tool runs in Xvfb unless DISPLAY is set.
#
#   bash bench/settle_cost.sh            # builds build/linux first
#   LUM_CAPTURE=path/to/lum_webkit_capture RUNS=9 bash bench/settle_cost.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
capture=${LUM_CAPTURE:-$root/build/linux/lum_webkit_capture}
if [ -z "${LUM_CAPTURE:-}" ]; then
    cmake --preset linux >/dev/null
    cmake --build "$root/build/linux" --target lum_webkit_capture -j2 >/dev/null
fi

work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site/demo" "$work/site/tests"
cp "$root"/data/demo/*.html "$work/site/demo/"
cp "$root"/tests/pages/*.html "$work/site/tests/"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
    python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/tests/short.html')" \
        2>/dev/null && break
    sleep 0.1
done
base="http://127.0.0.1:$port"
pages=()
for f in "$work"/site/demo/*.html "$work"/site/tests/*.html; do
    pages+=("$base/${f#"$work/site/"}")
done

median() { sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
wrap=()
[ -z "${DISPLAY:-}" ] && wrap=(xvfb-run -a -s "-screen 0 1024x768x24")
"${wrap[@]}" timeout 600 "$capture" --repeat "$runs" --out "$work" "${pages[@]}" >"$work/load.tsv"
"${wrap[@]}" timeout 600 "$capture" --settle --repeat "$runs" --out "$work" "${pages[@]}" \
    >"$work/settled.tsv"

printf 'Time from Navigate to the picture in memory, median of %s runs (ms)\n' "$runs"
printf '%-20s %12s %12s %10s\n' page "at the load" settled "settling"
ours() { awk -F'\t' -v u="$1" '$1 == u {print $4}' "$2" | median; }
all_load=() all_settled=()
for url in "${pages[@]}"; do
    load=$(ours "$url" "$work/load.tsv")
    settled=$(ours "$url" "$work/settled.tsv")
    printf '%-20s %12.1f %12.1f %10.1f\n' "${url#"$base/"}" "$load" "$settled" \
        "$(awk -v a="$settled" -v b="$load" 'BEGIN {print a - b}')"
    all_load+=("$load")
    all_settled+=("$settled")
done
printf '%-20s %12.1f %12.1f\n' "median of the pages" \
    "$(printf '%s\n' "${all_load[@]}" | median)" "$(printf '%s\n' "${all_settled[@]}" | median)"
