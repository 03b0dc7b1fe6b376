#!/usr/bin/env bash
# HTTP authentication with a desktop keyring: on a session bus of the test's
# own, an unlocked GNOME keyring (its login keyring in the test's folder)
# keeps the password that "remember" in the sign-in window's dialog saves,
# and the screen saver's capture answers the site with it, in a first run and
# again in a fresh process. Nothing says the password is forgotten. The
# sign-out removes that password from the keyring, and nothing else there.
# A kept password the site refuses, or none, fails the page at once with the
# reason.
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
check "the typed password signs in" wait_for 20 has_window 'Signed in - Lumenaryサインイン'
xdotool windowfocus --sync "$(window_of 'Signed in - Lumenaryサインイン')"
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

# The sign-in recorded which keyring item it let WebKit keep (no secret).
WEB=$XDG_DATA_HOME/lumenary/web
PORT=$(cat "$WORK/port")
check "the web folder records the remembered password" \
    grep -qxP "http\t127.0.0.1\t$PORT\tIntranet\talice" "$WEB/passwords"
check "the record is private" test "$(stat -c %a "$WEB/passwords")" = 600
check "the record holds no secret" bash -c "! grep -q secret '$WEB/passwords'"

# What is not Lumenary's stays: the same attributes under another program's
# label and schema, and another WebKit program's password for the same host.
printf other | secret-tool store --label='Other program' xdg:schema org.example.Other \
    server 127.0.0.1 user alice port "$PORT" protocol http domain Intranet
store_browser() {
    printf browser | secret-tool store --label='WebKitGTK password' server 127.0.0.1 \
        user bob port "$((PORT + 1))" protocol http domain Intranet authtype Basic
}
store_browser
labels_for() {  # labels_for <user>: the labels of the items for 127.0.0.1 and user
    secret-tool search --all server 127.0.0.1 user "$1" 2>&1 | sed -n 's/^label = //p' | sort
}
"$LUMENARY" --sign-out --yes >"$WORK/sign-out.out" 2>&1
check "the sign-out succeeds" test $? -eq 0
sed 's/^/    /' "$WORK/sign-out.out"
check "the sign-out says it removed the password for 127.0.0.1" \
    grep -q "and the passwords kept in the keyring for 127.0.0.1\." "$WORK/sign-out.out"
check "the sign-out removed the folder" test ! -e "$WEB"
check "the keyring no longer holds Lumenary's password" test "$(labels_for alice)" = "Other program"
check "secret-tool finds no WebKit password for alice" \
    test -z "$(secret-tool lookup server 127.0.0.1 user alice authtype Basic 2>/dev/null)"
check "another program's item for the same host stays" \
    test "$(secret-tool lookup xdg:schema org.example.Other server 127.0.0.1 user alice)" = other
check "another WebKit program's password for the same host stays" \
    test "$(secret-tool lookup server 127.0.0.1 user bob)" = browser

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
failed_run "signed out" "no password is kept for 127.0.0.1"
secret-tool clear server 127.0.0.1
printf wrong | secret-tool store --label='WebKitGTK password' \
    xdg:schema org.gnome.keyring.NetworkPassword server 127.0.0.1 user alice \
    port "$(cat "$WORK/port")" protocol http domain Intranet authtype Basic
failed_run "a refused password" "the site refused the password kept for 127.0.0.1"
secret-tool clear server 127.0.0.1
failed_run "no password" "no password is kept for 127.0.0.1"

# A record whose keyring cannot be reached (no session bus): the folder
# still goes, at once, and the sign-out says which passwords stay and why.
# A hostile record (garbage, a huge line, a link) is read line by line or
# refused, never followed.
record() { mkdir -p "$WEB" && printf "$@" >"$WEB/passwords"; }
record 'garbage\n%s\nhttp\t127.0.0.1\t%s\tIntranet\talice\n' "$(head -c 200000 /dev/zero | tr '\0' x)" "$PORT"
start=$SECONDS
env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$WORK/no-bus" \
    "$LUMENARY" --sign-out --yes >"$WORK/no-bus.out" 2>&1
check "without a bus the sign-out ends with 1" test $? -eq 1
check "without a bus it ends at once" test $((SECONDS - start)) -le 3
sed 's/^/    /' "$WORK/no-bus.out"
check "without a bus it says the keyring could not be reached" \
    grep -q "The keyring could not be reached: no session bus" "$WORK/no-bus.out"
check "without a bus it says the password for 127.0.0.1 stays" \
    grep -q "passwords kept for 127.0.0.1 are still in it" "$WORK/no-bus.out"
check "without a bus the folder goes all the same" test ! -e "$WEB"
store_browser
mkdir -p "$WEB"
printf 'http\t127.0.0.1\t%s\tIntranet\tbob\n' "$((PORT + 1))" >"$WORK/elsewhere"
ln -s "$WORK/elsewhere" "$WEB/passwords"
"$LUMENARY" --sign-out --yes >"$WORK/link.out" 2>&1
check "a linked record is refused and said so" grep -q "was not read: .*passwords" "$WORK/link.out"
sed 's/^/    /' "$WORK/link.out"
check "the link's target is untouched" test -s "$WORK/elsewhere"
check "nothing the link named left the keyring" \
    test "$(secret-tool lookup server 127.0.0.1 user bob)" = browser

# A locked keyring with no prompt to unlock it (none runs here): the sign-out
# says so at once and the password stays.
gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets \
    --method org.freedesktop.Secret.Service.Lock "['/org/freedesktop/secrets/collection/login']" \
    >/dev/null
record 'http\t127.0.0.1\t%s\tIntranet\tbob\n' "$((PORT + 1))"
start=$SECONDS
"$LUMENARY" --sign-out --yes >"$WORK/locked.out" 2>&1
check "a locked keyring ends the sign-out with 1" test $? -eq 1
check "a locked keyring ends it at once" test $((SECONDS - start)) -le 5
sed 's/^/    /' "$WORK/locked.out"
check "a locked keyring is told" grep -q "The keyring refused: it is locked" "$WORK/locked.out"
check "the locked password stays" \
    test -n "$(secret-tool search --all server 127.0.0.1 user bob 2>&1 | grep '^label')"
finish
