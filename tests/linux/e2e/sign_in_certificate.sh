#!/usr/bin/env bash
# An intranet site with a self-signed certificate: the capture refuses it;
# the sign-in window says so with the host and the SHA-256 fingerprint and,
# once the user trusts it (Alt+T on the bar), loads it, and so does every
# later capture for that host only. --sign-out forgets the certificate.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

PROBE=$BUILD/lum_web_session_probe
export XDG_DATA_HOME=$WORK/data
WEB=$XDG_DATA_HOME/lumenary/web
FINGERPRINT="64:2F:57:46:1D:21:37:C5:92:3D:89:FF:0E:05:31:56:FD:89:88:1D:C8:E3:2B:78:12:86:3D:99:EB:9F:CD:2A"

"$PROBE" serve "$WORK/port" "$SRC/tests/engine/certs/self-signed.pem" &
PIDS+=($!)
wait_for 5 test -s "$WORK/port" || fail "the HTTPS site did not start"
PORT=$(cat "$WORK/port")
SITE="https://127.0.0.1:$PORT/"

capture() { "$PROBE" capture "$1" 2>/dev/null; }
check "the capture refuses the untrusted certificate" bash -c "! '$PROBE' capture '$SITE'"

"$LUMENARY" --sign-in "$SITE" 2>"$WORK/sign-in.err" &
SIGNIN=$!
PIDS+=($SIGNIN)
check "the sign-in window names the host and the fingerprint" \
    wait_for 20 grep -q "certificate of 127.0.0.1 is not trusted (SHA-256 $FINGERPRINT)" \
    "$WORK/sign-in.err"
has_window() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" ]; }
wait_for 10 has_window 'Lumenaryサインイン' || fail "no sign-in window"
WID=$(xdotool search --onlyvisible --name 'Lumenaryサインイン' | head -1)
check "the page did not load" bash -c "! xdotool search --onlyvisible --name 'Please sign in' >/dev/null"
shot sign_in_certificate
xdotool windowfocus --sync "$WID"
sleep 0.3
xdotool key alt+t
check "trusting it loads the page" wait_for 20 has_window 'Please sign in - Lumenaryサインイン'
check "the certificate is kept for the host, 0600" \
    test "$(stat -c %a "$WEB/certificates/127.0.0.1.pem" 2>/dev/null)" = 600
xdotool key ctrl+w
wait_for 15 bash -c "! kill -0 $SIGNIN 2>/dev/null" || fail "Ctrl+W did not end the sign-in"

check "a capture now loads the site" test "$(capture "$SITE")" = "#c00000"
check "the certificate is not trusted for another host name" \
    bash -c "! '$PROBE' capture 'https://localhost:$PORT/'"
DISPLAY='' "$LUMENARY" --sign-out --yes >"$WORK/out" 2>&1
check "--sign-out names the trusted host" grep -q "certificates trusted for 127.0.0.1" "$WORK/out"
check "after signing out the capture refuses it again" bash -c "! '$PROBE' capture '$SITE'"
finish
