#!/usr/bin/env bash
# lumenary killed outright (SIGKILL, no chance to end its capture program)
# while its capture program does not run its loop (stopped here, stuck in a
# real run): the capture program, and the engine with it, end too instead of
# staying behind for good.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

coproc SERVER { exec python3 "$HERE/serve.py" "$WORK/requests"; }
PIDS+=("$SERVER_PID")
read -r port <&"${SERVER[0]}" || fail "no server"
settings RefreshTime=60 URLShowTime=5
urls "http://127.0.0.1:$port/hold"

"$LUMENARY" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")
check "the page that never answers is requested" wait_for 30 grep -q '^/hold' "$WORK/requests"
helper=$(pgrep -P "$LUM" -x lumenary-captur)
# Without one there is nothing to stop (and "kill -STOP" of an empty PID
# would stop the whole process group, the test run with it).
[ -n "$helper" ] || fail "no capture program runs"
kill -STOP "$helper"
kill -KILL "$LUM"
check "the capture program ends with lumenary" \
    wait_for 5 bash -c "! kill -0 $helper 2>/dev/null"
finish
