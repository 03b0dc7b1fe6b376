#!/usr/bin/env bash
# What a page's process can reach of the user's folders, seen from inside it
# (its root through /proc and its mount table): the real lumenary captures a
# page that never settles, so its page process stays up while it is looked
# at. The user's cache folder (where the page files are) is not there, and
# nothing of the user's is mounted writable but the kept web session's own
# folder; a file planted in the cache is not visible. Then what WebKit's
# sandbox leaves in the runtime folder does not pile up.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

settings RefreshTime=60 URLShowTime=60
urls "data:text/html,<p id=t></p><script>setInterval(function () { t.textContent = Date.now() }, 50)</script>"
mkdir -p "$CACHE"
echo private >"$CACHE/planted.txt"
WEB=$XDG_DATA_HOME/lumenary/web

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

for pid in $pages; do
    # Mount points (field 5) and options (field 6) as the process sees them.
    mounts=$(awk '{print $5, $6}' "/proc/$pid/mountinfo")
    check "page process $pid: the user's cache folder is not mounted" \
        bash -c "! grep -q '^$XDG_CACHE_HOME[/ ]' <<<'$mounts'"
    check "page process $pid: the planted cache file is not visible" \
        test ! -e "/proc/$pid/root$CACHE/planted.txt"
    writable=$(awk '$2 ~ /^rw/ {print $1}' <<<"$mounts" |
        grep -v -e '^/$' -e '^/proc' -e '^/dev' -e '^/sys' -e '^/tmp$' -e '^/run' -e '^/tmp/.X11-unix/' |
        grep -v "^$WEB" || true)
    check "page process $pid: nothing of the user's is writable but the web session's folder (${writable:-none})" \
        test -z "$writable"
done
check "lumenary reported nothing" bash -c "! grep -q . '$WORK/stderr'"

# Killed outright with its capture program (neither can tidy up), lumenary
# leaves WebKit's sandbox folder in the runtime folder; the next run's
# capture removes it, and its own when its pass is over.
kill -KILL "$LUM"
wait "$LUM" 2>/dev/null
sleep 1
leftovers() { find "$XDG_RUNTIME_DIR/.flatpak" -mindepth 1 -maxdepth 1 -name 'webkit-*' 2>/dev/null; }
# (Whether WebKit's own processes took theirs with them depends on timing;
# the folder-level cases are in SandboxLeftoversTest.)
left=$(leftovers | xargs -r -n1 basename | tr '\n' ' ')
urls "data:text/html,<p>still</p>"
"$LUMENARY" 2>"$WORK/stderr2" &
LUM=$!
PIDS+=("$LUM")
check "the page is captured" wait_for 30 test -s "$CACHE/0.bmp"
check "once the pass is over, no folder of WebKit's is left in the runtime folder (the killed run had left: ${left:-none})" \
    wait_for 20 bash -c "[ -z \"\$(find '$XDG_RUNTIME_DIR/.flatpak' -mindepth 1 -maxdepth 1 -name 'webkit-*' 2>/dev/null)\" ]"
finish
