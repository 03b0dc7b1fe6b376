#!/usr/bin/env bash
# End-to-end: configuration mode of Lumenary.scr under Wine in Xvfb. The
# settings dialog "Lumenary設定" (or, while none is supplied, the message box
# "スクリーンセーバー") opens, its parent window is disabled meanwhile and
# enabled again after Escape or Return, and the process ends with exit code 0;
# a garbage command line is configuration mode without a parent.
# Usage: host_config.sh <build dir> <source dir>
source "$(dirname "$0")/host_lib.bash"

DIALOG_TITLE="Lumenary設定"
BOX_TITLE="スクリーンセーバー"

main_form_hidden() { ! grep "class=$FORM_CLASS " "$WORK/config.list" | grep -q visible=1; }

# open_config <description> <arguments...>: starts the configuration and
# waits for its window; sets CONFIG_PID and CONFIG_LINE (the WinProbe line
# of the shown window that is not the hidden main form).
open_config() {
    local what=$1
    shift
    start_bg "$SCR" "$@"
    CONFIG_PID=$BG
    probe wait Lumenary.scr '*' 10000 >"$WORK/config.list"
    CONFIG_LINE=$(grep 'visible=1' "$WORK/config.list" | grep -v "class=$FORM_CLASS " | head -n1)
    if [ -z "$CONFIG_LINE" ]; then
        bad "$what shows a window"
        cat "$WORK/config.list"
        return 1
    fi
    local title=${CONFIG_LINE##* title=}
    case "$title" in
        "$DIALOG_TITLE") ok "$what shows the settings dialog \"$title\"" ;;
        "$BOX_TITLE") ok "$what shows the message box \"$title\" (no settings dialog yet)" ;;
        *) bad "$what shows \"$title\", neither the settings dialog nor the message box" ;;
    esac
    check "$what: the main form stays hidden" main_form_hidden
}

# close_config <description> <key>: the key, typed with the pointer over the
# shown window, closes it and ends the process with exit code 0. The settings
# dialog is always left with Escape, so that no test saves settings.
close_config() {
    local key=$2
    [ "${CONFIG_LINE##* title=}" = "$DIALOG_TITLE" ] && key=Escape
    read -r l t r b <<<"$(field rect <<<"$CONFIG_LINE" | tr , ' ')"
    xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) key "$key"
    check "$1: $key closes it and the process ends (exit 0) within 6 s" \
        ends_ok "$CONFIG_PID" 6000
}

parent_enabled() {  # <0|1> within a second (the state file is written every 100 ms)
    wait_match "$PARENT_STATE" "^enabled=$1" 1000
}

section "/c:<handle> of TestParent's top window"
start_parent config || { bad "TestParent shows its windows"; finish; }
if open_config "/c:$PARENT_TOP" "/c:$PARENT_TOP"; then
    check "its owner is TestParent's window" [ "$(field owner <<<"$CONFIG_LINE")" = "$PARENT_TOP" ]
    check "TestParent is disabled while it is open" parent_enabled 0
    shot config_open
    close_config "/c:$PARENT_TOP" Escape
    check "TestParent is enabled again" parent_enabled 1
fi

section "/c without a handle: the foreground window is the parent"
if [ "$(probe foreground)" = "$PARENT_TOP" ]; then
    if open_config "/c" /c; then
        check "its owner is the foreground window" \
            [ "$(field owner <<<"$CONFIG_LINE")" = "$PARENT_TOP" ]
        check "the foreground window is disabled while it is open" parent_enabled 0
        close_config "/c" Return
        check "the foreground window is enabled again" parent_enabled 1
    fi
else
    note "TestParent is not the foreground window; /c without a handle not checked"
fi
probe close "$PARENT_TOP"

section "/c:<handle> of a window that is already disabled"
start_parent disabled --disabled || { bad "TestParent shows its windows"; finish; }
check "TestParent starts disabled" parent_enabled 0
if open_config "/c:$PARENT_TOP (disabled)" "/c:$PARENT_TOP"; then
    close_config "/c:$PARENT_TOP (disabled)" Escape
    sleep 0.2
    if [ "${CONFIG_LINE##* title=}" = "$BOX_TITLE" ]; then
        # The message box is the system's: Wine's enables its owner when it
        # closes, whatever the owner's state was before.
        parent_enabled 0 || note "the message box left its disabled owner enabled (Wine's MessageBox)"
    else
        check "the parent that was disabled stays disabled" parent_enabled 0
    fi
fi
probe close "$PARENT_TOP"

section "garbage command lines: configuration without a parent"
for args in "/zzz" "foo bar"; do
    # shellcheck disable=SC2086
    if open_config "$args" $args; then
        check "$args: it has no owner" [ "$(field owner <<<"$CONFIG_LINE")" = 0 ]
        close_config "$args" Escape
    fi
done

check_fresh_saver "after the configurations"
finish
