#!/usr/bin/env bash
# A capture program that dies mid-page and cannot be started again (made
# non-executable, then killed, while its page never answers): lumenary
# reports the pass's pages as failed on standard error and goes on showing
# the cache, and the next pass tries again, still without ending.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

# A copy of the program and its capture program, which this script may break.
mkdir -p "$WORK/bin"
cp "$LUMENARY" "$BUILD/lumenary-capture" "$WORK/bin/"
coproc SERVER { exec python3 "$HERE/serve.py" "$WORK/requests"; }
PIDS+=("$SERVER_PID")
read -r port <&"${SERVER[0]}" || fail "no server"
base=http://127.0.0.1:$port
bands_page "$WORK/page.html" 900 "#e07000"
settings RefreshTime=1 URLShowTime=2 ShowURL=0 ShowClock=0 EnableScroll=1 BackColor=clNavy

# A first run fills the cache: page 1 is the orange page.
urls "$base/slow" "file://$WORK/page.html"
"$WORK/bin/lumenary" 2>"$WORK/stderr-first" &
LUM=$!
PIDS+=("$LUM")
check "a first run captures the pages" wait_for 40 test -s "$CACHE/0.bmp" -a -s "$CACHE/1.bmp"
kill -TERM "$LUM"
wait "$LUM"

# The second run's first page never answers; while it loads, the capture
# program is made non-executable and killed.
urls "$base/hold" "file://$WORK/page.html"
"$WORK/bin/lumenary" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check "the page that never answers is requested" wait_for 30 grep -q '^/hold' "$WORK/requests"
helper=$(pgrep -P "$LUM" -x lumenary-captur)
chmod -x "$WORK/bin/lumenary-capture"
kill -KILL "$helper"
start=$SECONDS
check "the pass ends with one line, its remaining pages marked as failed" \
    wait_for 10 bash -c "test \$(grep -c 'the capture pass ends: .*cannot be started' '$WORK/stderr') = 1 &&
                         test -e '$CACHE/1.failed'"
check "the page that was loading is reported as failed" grep -q "\"$base/hold\"" "$WORK/stderr"
check "lumenary goes on" kill -0 "$LUM"
check "the show goes on with the cached page" wait_for 10 pixel_is 500 400 "#e07000"
tried_again() { test "$(grep -c 'cannot be started' "$WORK/stderr")" -ge 2; }
check "the next pass tries again and still does not end lumenary" \
    wait_for $((start + 75 - SECONDS)) tried_again
check "lumenary is still running" kill -0 "$LUM"
echo "standard error:"; sed 's/^/    /' "$WORK/stderr"
kill -TERM "$LUM"
wait "$LUM"
code=$?
check "it ends normally on SIGTERM (exit $code)" test "$code" = 0
finish
