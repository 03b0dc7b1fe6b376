#!/usr/bin/env bash
# End to end: in "Lumenary.scr /c" the URL box's own menu, opened from the
# keyboard (Shift+F10) on the line of the second URL and chosen with Up and
# Return, opens the sign-in window at that URL with the stand-in WebBrowser
# control: a resizable top-level window owned by the disabled dialog,
# captioned with the page's title, the control filling it at any size.
# Alt+F4 closes it; the dialog is back, enabled, its controls as they were,
# and Escape still cancels it. Screenshot: <build>/screenshots/signin_window.png.
# Usage: signin_window.sh <build dir> <source dir>
set -u
BUILD=$1
SRC=$2
source "$SRC/scripts/wine-env.sh"
lum_wine_start
KEY='HKCU\Software\Orvane\Lumenary'
TITLE=SignInDashboard
SHOTS="$BUILD/screenshots"
mkdir -p "$SHOTS"
FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }
probe() { timeout 20 wine "$BUILD/WinProbe.exe" "$@" 2>/dev/null | tr -d '\r'; }
field() { grep -o "$1=[^ ]*" | head -n1 | cut -d= -f2-; }

lum_standin_register "$BUILD/LumenaryStandin.dll" || fail "the stand-in control cannot be registered"
trap 'lum_standin_unregister; lum_wine_stop' EXIT

wait_window() {  # <name regex>: the X window's id
    local id=""
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
wait_gone() {  # <Win32 class>
    for _ in $(seq 1 50); do
        probe class "$1" | grep -q 'visible=1' || return 0
        sleep 0.2
    done
    return 1
}
# The dialog's child windows: class, place and style (not their text).
children() { probe children "$1" | sed 's/ exe=.*//'; }

timeout 20 wine reg delete "$KEY" /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY\\URLList" /v 1 /d "http://first.invalid/" /f >/dev/null 2>&1
timeout 20 wine reg add "$KEY\\URLList" /v 2 /d "standin:fill?title=$TITLE" /f >/dev/null 2>&1

timeout 90 wine "$BUILD/Lumenary.scr" /c >/dev/null 2>&1 &
PID=$!
DIALOG_X=$(wait_window "Lumenary設定") || { fail "no dialog window"; exit 1; }
sleep 1
# X focus may still be on the root window after an earlier script's windows.
xdotool windowfocus --sync "$DIALOG_X" 2>/dev/null
sleep 0.5
DIALOG=$(probe list Lumenary.scr | grep 'class=#32770' | field hwnd)
[ -n "$DIALOG" ] || fail "dialog not found by WinProbe"
BEFORE=$(children "$DIALOG")

# The caret starts at the top of the URL box: one line down, then the menu.
xdotool key Down
sleep 0.5
xdotool key shift+F10
sleep 1.5
xdotool key Up
sleep 0.3
xdotool key Return
if wait_window "^$TITLE - Lumenary" >/dev/null; then
    sleep 1
    import -window root "$SHOTS/signin_window.png"
    LINE=$(probe class TLumenarySignInForm | head -n 1)
    SIGNIN=$(echo "$LINE" | field hwnd)
    [ "$(echo "$LINE" | field owner)" = "$DIALOG" ] || fail "sign-in window not owned by the dialog"
    STYLE=$(echo "$LINE" | field style)
    # WS_OVERLAPPEDWINDOW: caption, system menu, sizing frame, both boxes.
    [ $((STYLE & 0x00CF0000)) = $((0x00CF0000)) ] || fail "style $STYLE is not an overlapped window"
    [ $((STYLE & 0x40000000)) = 0 ] || fail "sign-in window is a child window"
    probe list Lumenary.scr | grep 'class=#32770' | grep -q 'enabled=0' ||
        fail "dialog not disabled while the sign-in window is open"
    view_size() {  # the control's window: width and height
        probe children "$SIGNIN" | grep 'class=LumenaryStandinView' | field local |
            awk -F, '{ print $3 - $1, $4 - $2 }'
    }
    frame_size() { probe class TLumenarySignInForm | head -n 1 | field rect |
        awk -F, '{ print $3 - $1, $4 - $2 }'; }
    read -r VW1 VH1 < <(view_size)
    read -r FW1 FH1 < <(frame_size)
    xdotool windowsize "$(wait_window "^$TITLE - Lumenary")" 520 380
    sleep 1.5
    read -r VW2 VH2 < <(view_size)
    read -r FW2 FH2 < <(frame_size)
    [ "$FW2" != "$FW1" ] || fail "the window did not take a new size"
    [ $((FW1 - VW1)) = $((FW2 - VW2)) ] && [ $((FH1 - VH1)) = $((FH2 - VH2)) ] ||
        fail "control ${VW1}x${VH1} -> ${VW2}x${VH2} did not follow the window ${FW1}x${FH1} -> ${FW2}x${FH2}"
    echo "window ${FW1}x${FH1} control ${VW1}x${VH1}; resized ${FW2}x${FH2} control ${VW2}x${VH2}"
    xdotool key alt+F4
    wait_gone TLumenarySignInForm || { fail "Alt+F4 did not close the sign-in window"; probe close "$SIGNIN"; }
else
    fail "no sign-in window titled $TITLE"
    import -window root "$SHOTS/signin_window_missing.png"
fi

sleep 1
probe list Lumenary.scr | grep 'class=#32770' | grep -q 'enabled=1' ||
    fail "dialog not enabled after the sign-in window"
[ "$(children "$DIALOG")" = "$BEFORE" ] || fail "the dialog's controls changed"
xdotool windowfocus --sync "$DIALOG_X" 2>/dev/null
sleep 0.5
xdotool key Escape
for _ in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$PID" 2>/dev/null; then
    fail "Escape did not end the dialog"
    kill "$PID"
fi
wait "$PID" 2>/dev/null
V=$(timeout 20 wine reg query "$KEY\\URLList" /v 2 2>/dev/null | tr -d '\r' | awk '$1 == "2" { print $3 }')
[ "$V" = "standin:fill?title=$TITLE" ] || fail "URL 2 changed to '$V'"
timeout 20 wine reg delete "$KEY" /f >/dev/null 2>&1

[ $FAILED = 0 ] && echo "signin_window: all checks passed"
exit $FAILED
