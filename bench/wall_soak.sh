#!/usr/bin/env bash
# Soak benchmark of `lumenary --wall`: in an X server of its own (Xvfb), the
# wall captures three pages served on 127.0.0.1 with RefreshTime=0 (a pass a
# second) for PASSES passes; lumenary's resident memory (VmRSS), its open
# file descriptors, its X resources (xrestop when installed, else the
# display's window count), the entries left in the session's runtime folder
# (WebKit's sandbox leaves one a capture program if nothing removes them) and
# the bytes written to storage per pass (write_bytes of /proc/<pid>/io, the
# capture program's own included once it has ended) are sampled after WARMUP
# passes, at every quarter of the run and at the end. Not a test: it passes
# or fails nothing.
# Usage: bench/wall_soak.sh [PASSES (default 100)] [BUILD (default build/linux)]
set -uo pipefail

PASSES=${1:-100}
BUILD=$(cd "${2:-build/linux}" && pwd) || exit 1
WARMUP=${WARMUP:-5}
LUMENARY=$BUILD/lumenary
[ -x "$LUMENARY" ] || { echo "no $LUMENARY (build the linux preset first)" >&2; exit 1; }
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

# A settings file, a cache and a runtime folder of its own.
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/run
export XDG_DATA_HOME=$WORK/data
mkdir -p "$XDG_CONFIG_HOME/lumenary" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# The pages, on 127.0.0.1, from the end-to-end tests' page server (a
# one-colour page, another, and a tall one of coloured bands); every request
# is a line of its log.
HERE=$(cd "$(dirname "$0")" && pwd)
coproc SERVER { exec python3 "$HERE/../tests/linux/e2e/serve.py" "$WORK/requests.log"; }
PIDS+=("$SERVER_PID")
read -r port <&"${SERVER[0]}" || { echo "the page server did not start" >&2; exit 1; }
touch "$WORK/requests.log"
{
    echo '[Lumenary]'
    echo 'RefreshTime=0'
    echo 'URLShowTime=1'
    echo 'ShowURL=1'
    echo 'ShowClock=1'
    echo 'EnableScroll=1'
    echo '[Lumenary\URLList]'
    echo "1=http://127.0.0.1:$port/first"
    echo "2=http://127.0.0.1:$port/second"
    echo "3=http://127.0.0.1:$port/tall"
} >"$XDG_CONFIG_HOME/lumenary/lumenary.ini"

# An X server of its own.
num=$((RANDOM % 400 + 600))
while [ -e "/tmp/.X11-unix/X$num" ]; do num=$((num + 1)); done
Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY=":$num"
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done

"$LUMENARY" --wall 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")

# passes: how many times the first page was asked for.
passes() { grep -c '^/first$' "$WORK/requests.log"; }
wait_passes() {  # wait_passes <count>: false when lumenary ended
    while [ "$(passes)" -lt "$1" ]; do
        kill -0 "$LUM" 2>/dev/null || return 1
        sleep 1
    done
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$LUM/status"; }
fds() { find "/proc/$LUM/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
windows() { xwininfo -root -tree 2>/dev/null | grep -c '^ *0x'; }
# runtime_entries: everything below the runtime folder but the capture lock
# (a pass under way has its capture program's own there); leftovers: the
# folders of engine processes that no longer run, which would pile up.
runtime_entries() { find "$XDG_RUNTIME_DIR" -mindepth 1 ! -name lumenary-capture.lock | wc -l; }
leftovers() {
    local dir pid count=0
    for dir in "$XDG_RUNTIME_DIR"/.flatpak/webkit-* "$XDG_RUNTIME_DIR"/lumenary-display-*; do
        [ -d "$dir" ] || continue
        pid=${dir##*/}
        pid=${pid#webkit-}
        pid=${pid#lumenary-display-}
        pid=${pid%%-*}
        kill -0 "$pid" 2>/dev/null || count=$((count + 1))
    done
    echo "$count"
}
# written_kb: storage writes of lumenary and its ended children, in KB.
written_kb() {
    awk '/^write_bytes:/ { w = $2 } END { print int(w / 1024) }' "/proc/$LUM/io" 2>/dev/null
}
# x_resources: "windows pixmaps pixmap-KB total-KB" of lumenary's X clients
# (by PID, or by name where the server cannot tell the PID), summed.
x_resources() {
    command -v xrestop >/dev/null || { echo "- - - -"; return; }
    xrestop -b -m 1 2>/dev/null | awk -v pid="$LUM" '
        /^[0-9]+ - / { mine = 0; id = $0; sub(/.*PID: */, "", id); sub(/ *\):.*/, "", id)
                       mine = (id == pid) || (id == "?" && $0 ~ /umenary/) }
        mine && /^\twindows/ { w += $3 }
        mine && /^\tpixmaps/ { p += $3 }
        mine && /^\tpixmap bytes/ { b += $4 }
        mine && /^\ttotal bytes/ { t += substr($4, 2) }
        END { printf "%d %d %d %d\n", w, p, b / 1024, t / 1024 }'
}
sample() {  # sample <label>: prints the figures; sets RSS, FDS, WRITTEN and DONE
    local x
    x=$(x_resources)
    RSS=$(rss_kb) FDS=$(fds) WRITTEN=$(written_kb) DONE=$(passes)
    printf '%-8s passes=%-5s rss_kb=%-8s fds=%-4s x(windows pixmaps pixmap_kb total_kb)=%-22s display_windows=%-3s runtime_entries=%-3s leftovers=%-3s written_kb=%s\n' \
        "$1" "$DONE" "$RSS" "$FDS" "$x" "$(windows)" "$(runtime_entries)" "$(leftovers)" "$WRITTEN"
}

started=$SECONDS
wait_passes "$WARMUP" || { echo "lumenary ended early:"; cat "$WORK/stderr"; exit 1; }
sample start
start_rss=$RSS start_fds=$FDS start_written=$WRITTEN start_passes=$DONE
# A sample at every quarter of the run: the allocator settles in the first
# passes (large pictures come and go), a leak goes on growing.
for quarter in 1 2 3; do
    wait_passes $((WARMUP + (PASSES - WARMUP) * quarter / 4)) ||
        { echo "lumenary ended early:"; cat "$WORK/stderr"; exit 1; }
    sample "q$quarter"
done
wait_passes "$PASSES" || { echo "lumenary ended early:"; cat "$WORK/stderr"; exit 1; }
sample end
end_rss=$RSS end_fds=$FDS
echo "passes $WARMUP..$(passes) in $((SECONDS - started)) s;" \
    "RSS change $((end_rss - start_rss)) KB, fd change $((end_fds - start_fds)),"
echo "written to storage after the warm-up: $((WRITTEN - start_written)) KB in" \
    "$((DONE - start_passes)) passes ($(((WRITTEN - start_written) / (DONE - start_passes > 0 ? DONE - start_passes : 1))) KB a pass)"
echo "standard error lines: $(wc -l <"$WORK/stderr")"
kill -TERM "$LUM"
wait "$LUM"
echo "exit code after SIGTERM: $?"
