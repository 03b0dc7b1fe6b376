#!/usr/bin/env bash
# The settings dialog's sign-in and sign-out buttons with the real programs:
# the sign-in button opens the real sign-in window for the URL on the line
# of the text cursor while the dialog stays open, and the sign-out button
# asks, removes the kept session and says so, all from the keyboard.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

PROBE=$BUILD/lum_web_session_probe
WEB=$XDG_DATA_HOME/lumenary/web

"$PROBE" serve "$WORK/port" &
PIDS+=($!)
wait_for 5 test -s "$WORK/port" || fail "the sign-in site did not start"
SITE="http://127.0.0.1:$(cat "$WORK/port")/"
settings URLShowTime=60
# The site is the second line: the first would not load at all.
urls "http://127.0.0.1:9/nothing-here" "$SITE"
INI=$XDG_CONFIG_HOME/lumenary/lumenary.ini
cp "$INI" "$WORK/ini.before"

find_window() {  # find_window <title part>: the visible window's id on stdout
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1
}
has_window() {  # has_window <title part>
    [ -n "$(find_window "$1")" ]
}
keys_to() {  # keys_to <title part> <key>...: focuses the window, presses the keys
    local id
    id=$(find_window "$1") || return 1
    xdotool windowfocus --sync "$id" && sleep 0.3 && xdotool key --delay 100 "${@:2}"
}

NO_AT_BRIDGE=1 "$LUMENARY" --config >"$WORK/config.out" 2>&1 &
CONFIG=$!
PIDS+=($CONFIG)
wait_for 30 has_window 'Lumenary設定' || fail "no settings dialog: $(cat "$WORK/config.out")"
# The caret starts in the URL list: down one line, then Tab to the sign-in button.
keys_to 'Lumenary設定' Down Tab space
check "the sign-in button opens the sign-in window for the cursor's line" \
    wait_for 30 has_window 'Please sign in - Lumenaryサインイン'
WID=$(find_window 'Please sign in - Lumenaryサインイン')
[ -n "$WID" ] && SIGNIN=$(xdotool getwindowpid "$WID" 2>/dev/null) && PIDS+=($SIGNIN)
check "the settings dialog stays open" has_window 'Lumenary設定'
check "the sign-in window has made the session folder" test -d "$WEB"
shot config_sign_in
if [ -n "${SIGNIN:-}" ]; then
    keys_to 'Please sign in - Lumenaryサインイン' ctrl+w
    check "Ctrl+W ends the sign-in window" \
        wait_for 15 bash -c "! kill -0 $SIGNIN 2>/dev/null"
fi

# Sign out: Tab on from the sign-in button, then yes, then the report's OK.
keys_to 'Lumenary設定' Tab space
check "the sign-out asks first" wait_for 10 has_window '^確認$'
check "asking removes nothing" test -d "$WEB"
keys_to '^確認$' Return
check "the sign-out reports" wait_for 10 has_window '^情報$'
check "the session folder is gone" test ! -e "$WEB"
keys_to '^情報$' Return
check "the report closes and the dialog stays" \
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '^情報$' >/dev/null 2>&1"
check "the settings dialog is still open" has_window 'Lumenary設定'
keys_to 'Lumenary設定' Escape
check "Esc ends the settings dialog" wait_for 10 bash -c "! kill -0 $CONFIG 2>/dev/null"
wait "$CONFIG"
check "the settings dialog ended with 0" test $? -eq 0
check "the settings file is unchanged" cmp -s "$INI" "$WORK/ini.before"
finish
