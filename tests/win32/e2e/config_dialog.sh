#!/usr/bin/env bash
# End to end: "Lumenary.scr /c" shows the settings dialog, empties the page
# cache, saves on OK (Tab, Return), saves nothing on Esc, and erases the
# settings after asking (Alt+E, y), and loses nothing it could not read (a
# show time stored as REG_DWORD, a URL entry stored as REG_BINARY: one error
# box, then OK keeps both). Checks the registry with "wine reg" and keeps
# screenshots in <build>/screenshots.
# Usage: config_dialog.sh <build dir> <source dir> [program and arguments]
set -u
BUILD=$1
SRC=$2
shift 2
if [ $# -gt 0 ]; then PROGRAM=("$@"); else PROGRAM=("$BUILD/Lumenary.scr" /c); fi
source "$SRC/scripts/wine-env.sh"
lum_wine_start
trap lum_wine_stop EXIT

KEY='HKCU\Software\Orvane\Lumenary'
CACHE="$(dirname "${PROGRAM[0]}")/LumenaryCache"
SHOTS="$BUILD/screenshots"
CONVERT=/usr/bin/convert
mkdir -p "$SHOTS"
FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }

reg_value() {  # reg_value <key> <name>: the REG_SZ text, empty when missing
    timeout 20 wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n && $2 == "REG_SZ" { i = index($0, "REG_SZ"); s = substr($0, i + 6)
                                                  sub(/^[ \t]+/, "", s); print s }'
}
key_exists() { timeout 20 wine reg query "$1" >/dev/null 2>&1; }
reg_raw() {  # reg_raw <key> <name>: "TYPE DATA" of a value of any type
    timeout 20 wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n { print $2, $3 }'
}

# Waits for a window whose name matches $1; prints its id.
wait_window() {
    local id=""
    for _ in $(seq 1 100); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# The same for a window on screen (the hidden main form is also "Lumenary").
wait_visible() {
    for _ in $(seq 1 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
# Waits until the program started in the background has ended.
wait_program() {
    for _ in $(seq 1 100); do
        kill -0 "$PID" 2>/dev/null || { wait "$PID"; return 0; }
        sleep 0.1
    done
    fail "program still running"
    kill "$PID" 2>/dev/null
    return 1
}
start_dialog() {
    timeout 60 wine "${PROGRAM[@]}" >/dev/null 2>&1 &
    PID=$!
    DIALOG=$(wait_window "Lumenary設定") || { fail "no dialog window"; return 1; }
    sleep 0.5
}
# rgb <png> <x> <y>: the pixel as "r,g,b" (0..255).
rgb() {
    "$CONVERT" "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# 1. Opening: settings loaded, cache emptied of bitmaps, layout on screen.
timeout 20 wine reg delete "$KEY" /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY" /v RefreshTime /d 90 /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY" /v BackColor /d clRed /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY\\URLList" /v 1 /d "http://example.com/a?x=1&y=2" /f >/dev/null 2>&1
mkdir -p "$CACHE"
printf 'BM' >"$CACHE/0.bmp"
printf 'BM' >"$CACHE/7.bmp"
printf 'keep' >"$CACHE/keep.txt"

start_dialog || exit 1
SHOT="$SHOTS/config_dialog.png"
import -window root "$SHOT"
[ -e "$CACHE/0.bmp" ] || [ -e "$CACHE/7.bmp" ] && fail "cache bitmaps not deleted"
[ -e "$CACHE/keep.txt" ] || fail "a file other than a bitmap was deleted"
# The client area is centred on the screen (frame of a few pixels around it).
read -r X Y W H < <(xdotool getwindowgeometry "$DIALOG" |
    awk '/Position/ { split($2, p, ","); x = p[1]; y = p[2] }
         /Geometry/ { split($2, s, "x"); print x, y, s[1], s[2] }')
[ "$W" = 313 ] && [ "$H" = 379 ] || fail "client area ${W}x${H}, wanted 313x379"
SCREEN_W=$(xdpyinfo 2>/dev/null | awk '/dimensions/ { split($2, d, "x"); print d[1] }')
CENTRE=$(( (SCREEN_W - W) / 2 ))
[ $((X - CENTRE)) -ge 0 ] && [ $((X - CENTRE)) -le 6 ] || fail "dialog at x=$X, not centred"
# The background chooser (76,264 113x22) shows a red swatch at its left.
SWATCH=$(rgb "$SHOT" $((X + 76 + 10)) $((Y + 264 + 11)))
[ "$SWATCH" = "255,0,0" ] || fail "background swatch is $SWATCH, wanted red"
# The text colour chooser shows the clWindowText swatch (black in Wine's theme).
SWATCH=$(rgb "$SHOT" $((X + 76 + 10)) $((Y + 292 + 11)))
[ "$SWATCH" = "0,0,0" ] || fail "text colour swatch is $SWATCH, wanted black"
# The URL box is white.
[ "$(rgb "$SHOT" $((X + 150)) $((Y + 100)))" = "255,255,255" ] || fail "URL box not white"
"$CONVERT" "$SHOT" -crop "$((W + 40))x$((H + 60))+$((X - 20))+$((Y - 40))" \
    "$SHOTS/config_dialog_crop.png"

# 2. OK from the keyboard: Tab leaves the URL box, Return presses OK.
xdotool key Tab Return
wait_program
[ "$(reg_value "$KEY" RefreshTime)" = 60 ] || fail "RefreshTime not saved as 60"
[ "$(reg_value "$KEY" URLShowTime)" = 5 ] || fail "URLShowTime not saved"
[ "$(reg_value "$KEY" BackColor)" = clRed ] || fail "BackColor not saved"
[ "$(reg_value "$KEY" ForeColor)" = clWindowText ] || fail "ForeColor not saved"
[ "$(reg_value "$KEY\\URLList" 1)" = "http://example.com/a?x=1&y=2" ] || fail "URL not saved"

# 3. Esc after typing saves nothing.
start_dialog && {
    # Wine under Xvfb drops a key that follows typed characters too closely.
    xdotool key Tab && xdotool type 33 && sleep 0.5 && xdotool key Escape
    wait_program
}
[ "$(reg_value "$KEY" RefreshTime)" = 60 ] || fail "Esc changed RefreshTime"

# 4. Erase: asked first (answered with the access key of yes), then the notice.
start_dialog && {
    xdotool key alt+e
    # A box's window is on screen a while before it takes keys under Wine
    # in Xvfb (hiding the previous window waits for the X server).
    wait_window "確認" >/dev/null || fail "no confirmation box"
    sleep 2
    import -window root "$SHOTS/config_dialog_erase_ask.png"
    xdotool key y
    wait_window "情報" >/dev/null || fail "no notice after erasing"
    sleep 2
    import -window root "$SHOTS/config_dialog_erase_done.png"
    key_exists "$KEY" && fail "settings key still there after erase"
    xdotool key Return
    sleep 2
    xdotool key Escape
    wait_program
}
key_exists "$KEY" && fail "Cancel after erase brought the settings back"
key_exists 'HKCU\Software\Orvane' || fail "base key erased too"

# 5. Values of another registry type: one error box, the rest of the dialog
# loaded, and OK keeps what could not be read.
timeout 20 wine reg add "$KEY" /v URLShowTime /t REG_DWORD /d 10 /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY" /v RefreshTime /d 7 /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY\\URLList" /v 1 /d "http://a.example/?x=1" /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY\\URLList" /v 2 /t REG_BINARY /d deadbeef /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY\\URLList" /v 3 /d "http://c.example/" /f >/dev/null 2>&1
timeout 60 wine "${PROGRAM[@]}" >/dev/null 2>&1 &
PID=$!
if wait_visible '^Lumenary$'; then
    sleep 2
    import -window root "$SHOTS/config_dialog_unreadable_report.png"
    # X focus may still be on the root window after the previous run's windows.
    BOX=$(xdotool search --onlyvisible --name '^Lumenary$' | head -n 1)
    xdotool windowfocus --sync "$BOX" 2>/dev/null
    xdotool key Return
    wait_visible "Lumenary設定" || fail "no dialog after the error box"
    sleep 2
    xdotool search --onlyvisible --name '^Lumenary$' >/dev/null 2>&1 &&
        fail "a second error box"
    import -window root "$SHOTS/config_dialog_unreadable.png"
    xdotool key Tab Return
    wait_program
else
    fail "no error box for the unreadable values"
    kill "$PID" 2>/dev/null
fi
[ "$(reg_value "$KEY" ForeColor)" = clWindowText ] || fail "OK saved nothing"
[ "$(reg_raw "$KEY" URLShowTime)" = "REG_DWORD 0xa" ] || fail "URLShowTime rewritten"
[ "$(reg_value "$KEY" RefreshTime)" = 7 ] || fail "RefreshTime not kept"
[ "$(reg_raw "$KEY\\URLList" 2)" = "REG_BINARY DEADBEEF" ] || fail "binary URL entry not kept"
[ "$(reg_value "$KEY\\URLList" 1)" = "http://a.example/?x=1" ] || fail "URL 1 changed"
[ "$(reg_value "$KEY\\URLList" 3)" = "http://c.example/" ] || fail "URL 3 changed"
timeout 20 wine reg delete "$KEY" /f >/dev/null 2>&1

rm -rf "$CACHE"
[ $FAILED = 0 ] && echo "config_dialog: all checks passed"
exit $FAILED
