#!/usr/bin/env bash
# HTTP authentication with a desktop keyring: on a session bus of the test's
# own, an unlocked GNOME keyring (its login keyring in the test's folder)
# keeps the password that "remember" in the sign-in window's dialog saves,
# and the screen saver's capture answers the site with it, in a first run and
# again in a fresh process. Nothing says the password is forgotten. A kept
# password the site refuses, or none, fails the page at once with the reason.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

for tool in dbus-daemon gnome-keyring-daemon secret-tool gdbus; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done

PROBE=$BUILD/lum_web_session_probe
export HOME=$WORK/home  # the keyring's files go to $XDG_DATA_HOME/keyrings
mkdir -p "$HOME"

# The session bus and the keyring, both ended with the test (the daemon also
# ends by itself when its bus goes away).
dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" 2>"$WORK/bus.err" </dev/null &
PIDS+=($!)
wait_for 5 test -s "$WORK/bus" || fail "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/bus")
export DBUS_SESSION_BUS_ADDRESS
printf testpass | gnome-keyring-daemon --foreground --unlock --components=secrets \
    >"$WORK/keyring.out" 2>"$WORK/keyring.err" &
PIDS+=($!)
# The name is asked for without starting anything: a call to it would have
# the bus start a keyring of its own (locked), which this one would then meet.
secrets_answer() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets 2>/dev/null |
        grep -q true &&
        gdbus call --session --dest org.freedesktop.secrets \
            --object-path /org/freedesktop/secrets --method org.freedesktop.DBus.Properties.Get \
            org.freedesktop.Secret.Service Collections 2>/dev/null | grep -q /collection/login
}
wait_for 10 secrets_answer || { cat "$WORK/keyring.err" >&2; fail "the keyring does not answer"; }
echo "  the keyring answers on $DBUS_SESSION_BUS_ADDRESS"

"$PROBE" serve "$WORK/port" </dev/null &
PIDS+=($!)
wait_for 5 test -s "$WORK/port" || fail "the site did not start"
SITE="http://127.0.0.1:$(cat "$WORK/port")/basic"
settings RefreshTime=60 URLShowTime=60 EnableScroll=0
urls "$SITE"

window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_of "$1")" ]; }

"$LUMENARY" --sign-in "$SITE" 2>"$WORK/sign-in.err" </dev/null &
SIGNIN=$!
PIDS+=($SIGNIN)
wait_for 20 has_window '認証が必要です' || fail "no credentials dialog"
xdotool windowfocus --sync "$(window_of '認証が必要です')"
sleep 0.3
# The user name has the focus; Alt+R ticks "remember", Alt+P goes to the
# password, whose Return signs in.
xdotool type --delay 40 alice
xdotool key alt+r
xdotool key alt+p
xdotool type --delay 40 secret
shot sign_in_keyring
xdotool key Return
check "the typed password signs in" wait_for 20 has_window 'Signed in - Lumenary sign-in'
xdotool windowfocus --sync "$(window_of 'Signed in - Lumenary sign-in')"
xdotool key ctrl+w
check "Ctrl+W ends the sign-in" wait_for 15 bash -c "! kill -0 $SIGNIN 2>/dev/null"
check "with a keyring nothing says the password is forgotten" \
    bash -c "! grep -q 'is forgotten' '$WORK/sign-in.err'"
check "the keyring holds the password for the site" \
    test "$(secret-tool lookup server 127.0.0.1 user alice 2>/dev/null)" = secret
secret-tool search --all server 127.0.0.1 2>&1 | grep -E '^(label|attribute)' | sed 's/^/    /'

# The screen saver, full-screen, twice: each run's capture program answers
# the site with the kept password, never with a dialog.
for run in first second; do
    rm -f "$CACHE"/*.bmp "$CACHE"/*.failed
    "$LUMENARY" 2>"$WORK/run-$run.err" </dev/null &
    RUN=$!
    PIDS+=($RUN)
    check "the $run run captures the page" wait_for 60 test -s "$CACHE/0.bmp"
    check "the $run run's capture is the signed-in page" \
        test "$(pixel "$CACHE/0.bmp" 500 300)" = "#00b000"
    check "the $run run shows it" wait_for 20 pixel_is 512 400 "#00b000"
    check "the $run run reports no failure" test ! -e "$CACHE/0.failed"
    shot "sign_in_keyring_$run"
    kill "$RUN"
    wait "$RUN" 2>/dev/null
    if [ $FAILED -ne 0 ]; then cat "$WORK/run-$run.err"; fi
done

# A kept password the site refuses (changed in the keyring), then none at
# all (taken out of it): the page fails at once (well within the 20 s load
# limit) with the reason, and is never shown from an old answer.
failed_run() {  # failed_run <name> <expected words on standard error>
    rm -f "$CACHE"/*.bmp "$CACHE"/*.failed
    "$LUMENARY" 2>"$WORK/run-$1.err" </dev/null &
    RUN=$!
    PIDS+=($RUN)
    check "$1: the page fails at once" wait_for 12 test -e "$CACHE/0.failed"
    check "$1: it is not captured" test ! -e "$CACHE/0.bmp"
    check "$1: the failure says why" grep -q "HTTP 401.*$2" "$WORK/run-$1.err"
    kill "$RUN"
    wait "$RUN" 2>/dev/null
    sed 's/^/    /' "$WORK/run-$1.err"
}
secret-tool clear server 127.0.0.1
printf wrong | secret-tool store --label='WebKitGTK password' \
    xdg:schema org.gnome.keyring.NetworkPassword server 127.0.0.1 user alice \
    port "$(cat "$WORK/port")" protocol http domain Intranet authtype Basic
failed_run "a refused password" "the site refused the password kept for 127.0.0.1"
secret-tool clear server 127.0.0.1
failed_run "no password" "no password is kept for 127.0.0.1"
finish
