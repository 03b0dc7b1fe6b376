#!/usr/bin/env bash
# The folders of scripts/run.sh's demo (scripts/own-folders.bash): the real
# lumenary captures a page with them and the home folder stays empty, its web
# session kept in the run's folder; the same run without them writes its
# settings, cache and web session into the home folder, so the check would
# see a leak.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

check "scripts/run.sh takes its folders from it" \
    grep -q '^lum_own_folders "\$DEMO"' "$SRC/scripts/run.sh"
bands_page "$WORK/page.html" 200 "#ff0000"
coproc WIN { "$FOREIGN" 1024 768 404040; }
PIDS+=("$WIN_PID")
read -r xid <&"${WIN[0]}" || fail "no foreign window"

# capture_with_home <home> [own folder]: lumenary with HOME=<home> and none
# of the test's XDG folders but its runtime folder (or with the own folders
# under <own folder>), until the page is in its cache; then SIGTERM.
capture_with_home() {
    (
        unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_STATE_HOME
        export HOME=$1
        if [ -n "${2:-}" ]; then
            # shellcheck source=/dev/null
            source "$SRC/scripts/own-folders.bash"
            lum_own_folders "$2" || exit 1
        fi
        local config=${XDG_CONFIG_HOME:-$HOME/.config}/lumenary
        mkdir -p "$config"
        printf '[Lumenary]\nRefreshTime=60\n[Lumenary\\URLList]\n1=file://%s\n' \
            "$WORK/page.html" >"$config/lumenary.ini"
        "$LUMENARY" --window-id "$xid" 2>>"$WORK/stderr" &
        local pid=$! code
        wait_for 30 test -s "${XDG_CACHE_HOME:-$HOME/.cache}/lumenary/0.bmp"
        code=$?
        kill -TERM "$pid"
        wait "$pid"
        exit $code
    )
}

mkdir -p "$WORK/home" "$WORK/leaky-home"
check "with its own folders the page is captured" capture_with_home "$WORK/home" "$WORK/demo"
check "the web session is in the run's folder" test -d "$WORK/demo/data/lumenary/web"
check "the home folder stays empty ($(cd "$WORK/home" && find . -mindepth 1 | head -5 | tr '\n' ' '))" \
    test -z "$(find "$WORK/home" -mindepth 1)"
check "without them the page is captured too" capture_with_home "$WORK/leaky-home"
check "and the web session lands in the home folder" \
    test -d "$WORK/leaky-home/.local/share/lumenary/web"
finish
