#!/usr/bin/env bash
# What the browser engine's libraries say stays off the real lumenary's
# standard error, and what the capture program says of its own reaches it:
# with EGL_LOG_LEVEL=info, Mesa's EGL notes a dozen lines each time one of
# the engine's processes starts (on Xorg without a GPU, "libEGL warning:
# DRI2: failed to authenticate" comes the same way), none of which shows;
# a capture program that writes engine noise and lines of its own before it
# runs the real one shows its own lines only, and still captures the page.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

bands_page "$WORK/page.html" 400 "#c00000" "#00a000"
settings RefreshTime=60 URLShowTime=60 ShowURL=0 ShowClock=0 EnableScroll=0
urls "file://$WORK/page.html"

# run_pass <lumenary> <label>: a wall run until the page is captured, then SIGTERM.
run_pass() {
    rm -rf "$CACHE"
    "$1" --wall 2>"$WORK/stderr" &
    LUM=$!
    PIDS+=("$LUM")
    check "$2: the page is captured" wait_for 30 test -s "$CACHE/0.bmp"
    kill -TERM "$LUM"
    wait "$LUM"
    echo "  standard error of $2:"
    sed 's/^/        /' "$WORK/stderr"
}

EGL_LOG_LEVEL=info run_pass "$LUMENARY" "EGL notes"
check "EGL notes: no libEGL line on standard error" bash -c "! grep -q libEGL '$WORK/stderr'"
check "EGL notes: the program complains about nothing" test ! -s "$WORK/stderr"

# A copy of the program beside a capture program that talks before it runs
# the real one (on the same channel, descriptor 3).
mkdir -p "$WORK/bin"
cp "$LUMENARY" "$WORK/bin/"
cat >"$WORK/bin/lumenary-capture" <<SCRIPT
#!/bin/sh
echo 'libEGL warning: DRI2: failed to authenticate' >&2
echo 'lumenary-capture: a line of its own' >&2
echo '(WebKitWebProcess:2): Gtk-WARNING **: 08:43:01.271: cannot open display: :0' >&2
echo '(lumenary-capture:9): GLib-CRITICAL **: 10:00:00.000: an assertion' >&2
exec "$BUILD/lumenary-capture" "\$@"
SCRIPT
chmod 755 "$WORK/bin/lumenary-capture"
run_pass "$WORK/bin/lumenary" "own lines"
check "own lines: the capture program's own line reaches standard error" \
    grep -qx 'lumenary-capture: a line of its own' "$WORK/stderr"
check "own lines: so does a critical error" grep -q 'GLib-CRITICAL \*\*: .*an assertion' "$WORK/stderr"
check "own lines: the engine's noise does not" \
    bash -c "! grep -q 'libEGL\|Gtk-WARNING' '$WORK/stderr'"
finish
