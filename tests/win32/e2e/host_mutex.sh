#!/usr/bin/env bash
# End-to-end: while a full-screen run holds the single-instance mutex, a
# preview, the settings and a password change start and end as usual; the
# full-screen run goes on throughout.
# Usage: host_mutex.sh <build dir> <source dir>
source "$(dirname "$0")/host_lib.bash"

section "a full-screen run holds the mutex"
xdotool mousemove 700 500
if ! start_saver; then
    bad "the full-screen run starts"
    finish
fi
ok "the full-screen run starts"
if ! start_parent beside; then
    bad "TestParent shows its windows"
    finish
fi

section "/p beside the full-screen run"
start_bg "$SCR" /p "$PARENT_PREVIEW"
PREVIEW_PID=$BG
if wait_match "$PARENT_STATE" '^form=[1-9].* visible=1' 5000; then
    ok "the preview starts inside its window"
    probe close "$(grep '^form=' "$PARENT_STATE" | field form)"
    check "the preview ends (exit 0) within 6 s" ends_ok "$PREVIEW_PID" 6000
else
    bad "the preview starts inside its window"
fi

section "/c:<top> beside the full-screen run"
start_bg "$SCR" "/c:$PARENT_TOP"
CONFIG_PID=$BG
check "the settings open and disable their owner" wait_match "$PARENT_STATE" '^enabled=0' 8000
dialog=$(probe list Lumenary.scr | grep 'class=#32770 visible=1' | field hwnd)
if [ -n "$dialog" ]; then
    probe close "$dialog"
    check "the settings close (exit 0) within 6 s" ends_ok "$CONFIG_PID" 6000
    check "their owner is enabled again" wait_match "$PARENT_STATE" '^enabled=1' 3000
else
    bad "the settings dialog is found"
fi

section "/a <top> beside the full-screen run"
start_bg "$SCR" /a "$PARENT_TOP"
check "the password change ends at once (exit 0)" ends_ok "$BG" 5000
check "its parent stays enabled" wait_match "$PARENT_STATE" '^enabled=1' 1000

check "the full-screen run went on throughout" stays_shown "$SAVER_PID" 0
end_saver "a click" mousemove 600 400 click 1
probe close "$PARENT_TOP"
check "TestParent ends (exit 0)" ends_ok "$PARENT_PID" 6000
finish
