# Shared by the benchmarks that set a screen saver against `chromium --kiosk`
# on a local page whose text changes once a second: the page and its server
# on 127.0.0.1, the browser run and measured, a process tree, and the table
# of figures and ratios. Sourced; needs WORK (a scratch folder), WARMUP and
# SECONDS_MEASURED (whole seconds), python3 and chromium. Not a test.

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CHROMIUM=$(command -v chromium || command -v chromium-browser || true)
SERVER_PID=
BROWSER_PID=

# tree_pids <pid>: the process and all its descendants.
tree_pids() {
    ps -e -o pid=,ppid= | awk -v root="$1" '
        { parent[$1] = $2; pids[NR] = $1 }
        END { for (i in pids) { p = pids[i]; q = p
              while (q != "" && q != 0 && q != root) q = parent[q]
              if (q == root) print p } }'
}
export -f tree_pids  # the measuring commands run in shells of their own

# measure <label> <pids command> <tree pids command>: one line of figures.
measure() {
    python3 "$BENCH_DIR/measure_processes.py" "$1" "$SECONDS_MEASURED" "$2" "$3"
}

# serve_clock_page: the page, served on 127.0.0.1; sets PAGE_URL.
serve_clock_page() {
    mkdir -p "$WORK/site"
    cat >"$WORK/site/clock.html" <<'HTML'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>clock</title>
<style>body{margin:0;background:#e8eef8;font:24px sans-serif}#t{padding:40px}</style>
</head><body><div id="t"></div>
<script>
function tick(){document.getElementById("t").textContent="http://127.0.0.1/clock.html  "+new Date().toLocaleTimeString();}
tick();setInterval(tick,1000);
</script></body></html>
HTML
    local port
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    python3 -m http.server "$port" --bind 127.0.0.1 --directory "$WORK/site" >/dev/null 2>&1 &
    SERVER_PID=$!
    PAGE_URL="http://127.0.0.1:$port/clock.html"
    sleep 0.5
}

# measure_chromium: chromium --kiosk on PAGE_URL at 1024 x 768; prints its line.
measure_chromium() {
    [ -n "$CHROMIUM" ] || { echo "missing: chromium" >&2; return 2; }
    mkdir -p "$WORK/profile"
    "$CHROMIUM" --kiosk --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$WORK/profile" --window-position=0,0 --window-size=1024,768 \
        "$PAGE_URL" >/dev/null 2>&1 &
    BROWSER_PID=$!
    sleep "$WARMUP"
    kill -0 "$BROWSER_PID" 2>/dev/null || { echo "chromium ended by itself" >&2; return 1; }
    measure chromium "echo $BROWSER_PID" "echo $BROWSER_PID; tree_pids $BROWSER_PID"
    kill "$BROWSER_PID" 2>/dev/null
    wait "$BROWSER_PID" 2>/dev/null
    BROWSER_PID=
}

stop_kiosk() {
    local pid
    for pid in $BROWSER_PID $SERVER_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    BROWSER_PID= SERVER_PID=
}

# print_ratios <saver name> <tree name> <saver line> <chromium line>
#              <cpu target> <memory target>
print_ratios() {
    python3 - "$@" <<'PYEOF'
import sys

name, tree_name, lum_line, chr_line, cpu_target, mem_target = sys.argv[1:7]


def parse(line):
    return {k: float(v) for k, v in (f.split("=") for f in line.split()[1:])}


lum, chr_ = parse(lum_line), parse(chr_line)
mb = lambda kb: kb / 1024.0
print()
print("%-34s %10s %12s %12s" % ("", "CPU %", "PSS MB", "RSS MB"))
print("%-34s %10.3f %12.1f %12.1f" % (name + " alone", lum["cpu"], mb(lum["pss_kb"]), mb(lum["rss_kb"])))
print("%-34s %10.3f %12.1f %12.1f" % (name + ", " + tree_name, lum["cpu_tree"],
                                       mb(lum["pss_tree_kb"]), mb(lum["rss_tree_kb"])))
print("%-34s %10.3f %12.1f %12.1f" % ("chromium --kiosk, whole tree", chr_["cpu_tree"],
                                       mb(chr_["pss_tree_kb"]), mb(chr_["rss_tree_kb"])))
ratio = lambda a, b: a / b if b else float("inf")
print()
print("ratio %s alone / chromium:  CPU %.3f  PSS %.3f  (targets: CPU <= %s, memory <= %s)"
      % (name, ratio(lum["cpu"], chr_["cpu_tree"]), ratio(lum["pss_kb"], chr_["pss_tree_kb"]),
         cpu_target, mem_target))
print("ratio %s, %s / chromium:  CPU %.3f  PSS %.3f"
      % (name, tree_name, ratio(lum["cpu_tree"], chr_["cpu_tree"]),
         ratio(lum["pss_tree_kb"], chr_["pss_tree_kb"])))
PYEOF
}
