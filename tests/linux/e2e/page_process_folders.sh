#!/usr/bin/env bash
# What a page's process can reach of the user's folders and display, seen
# from inside it (its root through /proc, its mount table, its network
# namespace's sockets): the real lumenary captures a page that never
# settles, so its page process stays up while it is looked at. The user's
# cache folder (where the page files are), home and ~/.cache are not there,
# and nothing of the user's is mounted writable but the kept web session's
# own folder; a file planted in the cache is not visible. The user's X
# display (the one lumenary runs on) is out of reach: neither its socket nor
# its authority file is given to the page, whose network namespace has no
# way to its abstract socket; the page's display is the capture program's
# own, which ends with it. Then what WebKit's sandbox and the capture
# program's display leave in the runtime folder and /tmp does not pile up.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

settings RefreshTime=60 URLShowTime=60
urls "data:text/html,<p id=t></p><script>setInterval(function () { t.textContent = Date.now() }, 50)</script>"
mkdir -p "$CACHE"
echo private >"$CACHE/planted.txt"
WEB=$XDG_DATA_HOME/lumenary/web
USER_X=${DISPLAY#*:}
USER_X=/tmp/.X11-unix/X${USER_X%%.*}

"$LUMENARY" 2>"$WORK/stderr" &
LUM=$!
PIDS+=("$LUM")

# page_processes: the page processes below this lumenary (inside bubblewrap).
page_processes() {
    local pid
    for pid in $(pgrep -x WebKitWebProces); do
        local up=$pid
        while [ "$up" -gt 1 ]; do
            [ "$up" = "$LUM" ] && { echo "$pid"; break; }
            up=$(awk '{print $4}' "/proc/$up/stat" 2>/dev/null || echo 1)
        done
    done
}
check "a page process runs for the page" wait_for 30 bash -c "[ -n \"\$($(declare -f page_processes); LUM=$LUM page_processes)\" ]"
pages=$(page_processes)
[ -n "$pages" ] || fail "no page process to look into"

capture=$(pgrep -P "$LUM" -x lumenary-captur | head -1)
server=$(pgrep -P "${capture:-0}" -x Xvfb | head -1)
check "the capture program runs a display of its own" test -n "$server"
for pid in $pages; do
    # Mount points (field 5) and options (field 6) as the process sees them.
    mounts=$(awk '{print $5, $6}' "/proc/$pid/mountinfo")
    check "page process $pid: the user's cache folder is not mounted" \
        bash -c "! grep -q '^$XDG_CACHE_HOME[/ ]' <<<'$mounts'"
    check "page process $pid: neither home nor ~/.cache is mounted" \
        bash -c "! grep -q -e '^$HOME ' -e '^$HOME/.cache[/ ]' <<<'$mounts'"
    check "page process $pid: the planted cache file is not visible" \
        test ! -e "/proc/$pid/root$CACHE/planted.txt"
    page_x=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^DISPLAY=//p')
    page_x=${page_x#*:}
    page_x=/tmp/.X11-unix/X${page_x%%.*}
    writable=$(awk '$2 ~ /^rw/ {print $1}' <<<"$mounts" |
        grep -v -e '^/$' -e '^/proc' -e '^/dev' -e '^/sys' -e '^/tmp$' -e '^/run' -e "^$page_x\$" |
        grep -v "^$WEB" || true)
    check "page process $pid: nothing of the user's is writable but the web session's folder (${writable:-none})" \
        test -z "$writable"
    check "page process $pid: its display ($page_x) is not the user's ($USER_X)" \
        test "$page_x" != "$USER_X"
    check "page process $pid: the user's X socket is not mounted" \
        bash -c "! grep -q '^$USER_X ' <<<'$mounts'"
    check "page process $pid: the user's X socket is not visible" test ! -e "/proc/$pid/root$USER_X"
    if [ -n "${XAUTHORITY:-}" ]; then
        check "page process $pid: the user's X authority file is not visible" \
            test ! -e "/proc/$pid/root$XAUTHORITY"
    fi
    check "page process $pid: a network namespace of its own" \
        test "$(readlink "/proc/$pid/ns/net")" != "$(readlink "/proc/$LUM/ns/net")"
    check "page process $pid: no way to the user's X abstract socket (@$USER_X)" \
        bash -c "! grep -q ' @$USER_X\$' /proc/$pid/net/unix"
done
check "the user's X abstract socket is there to be hidden (@$USER_X)" \
    grep -q " @$USER_X\$" "/proc/$LUM/net/unix"
check "lumenary reported nothing" bash -c "! grep -q . '$WORK/stderr'"

# Killed outright with its capture program (neither can tidy up), lumenary
# leaves WebKit's sandbox folder in the runtime folder, and the capture
# program its display's; the display's server ends all the same and takes
# its socket and lock with it. The next run's capture removes the folders,
# and its own when its pass is over.
page_x=${page_x:-none}
kill -KILL "$LUM"
wait "$LUM" 2>/dev/null
ended() { [ ! -e "/proc/$1" ] || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]; }
# No socket of the display, or one that another server has taken since.
display_gone() {
    [ ! -e "$page_x" ] ||
        [ "$(tr -d ' ' <"/tmp/.X${page_x##*/X}-lock" 2>/dev/null)" != "$server" ]
}
check "the capture program's display ends with it" wait_for 10 ended "${server:-0}"
check "its socket and lock are gone ($page_x)" wait_for 10 display_gone
sleep 1
leftovers() {
    find "$XDG_RUNTIME_DIR/.flatpak" -mindepth 1 -maxdepth 1 -name 'webkit-*' 2>/dev/null
    find "$XDG_RUNTIME_DIR" -mindepth 1 -maxdepth 1 -name 'lumenary-display-*' 2>/dev/null
}
# (Whether WebKit's own processes took theirs with them depends on timing;
# the folder-level cases are in SandboxLeftoversTest.)
left=$(leftovers | xargs -r -n1 basename | tr '\n' ' ')
urls "data:text/html,<p>still</p>"
"$LUMENARY" 2>"$WORK/stderr2" &
LUM=$!
PIDS+=("$LUM")
check "the page is captured" wait_for 30 test -s "$CACHE/0.bmp"
check "once the pass is over, no folder of WebKit's or of a display is left in the runtime folder (the killed run had left: ${left:-none})" \
    wait_for 20 bash -c "[ -z \"\$($(declare -f leftovers); leftovers)\" ]"
# capture_display: a display of a capture program of this lumenary runs.
capture_display() {
    local c
    c=$(pgrep -P "$LUM" -x lumenary-captur | head -1)
    [ -n "$c" ] && pgrep -P "$c" -x Xvfb >/dev/null
}
check "no display of a capture program runs after the pass" \
    wait_for 20 bash -c "! ($(declare -f capture_display); LUM=$LUM capture_display)"
check "the second run reported nothing" bash -c "! grep -q . '$WORK/stderr2'"
finish
