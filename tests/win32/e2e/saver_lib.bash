# Helpers of the end-to-end scripts that run the full-screen slide show with
# settings and page files of their own (slideshow.sh, soak_resources.sh):
# paths, failing, writing settings, and a clean-up on exit that ends the run
# and removes the settings key and the page files named in PAGE_FILES.
# Sourced with the build folder and the source folder as $1 and $2.

# shellcheck disable=SC2034  # variables set here are read by the scripts
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
# shellcheck source=/dev/null
source "$SRC/scripts/wine-env.sh"
lum_wine_start

SCR=$BUILD/Lumenary.scr
PROBE=$BUILD/WinProbe.exe
CACHE=$BUILD/LumenaryCache
SHOTS=$BUILD/screenshots
KEY='HKCU\Software\Orvane\Lumenary'
CONVERT=/usr/bin/convert  # the convert first on PATH is a stand-in
WORK=$(mktemp -d)
PID=
PAGE_FILES=()  # names in the cache folder that the script writes

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cleanup() {
    if [ -n "$PID" ] && kill -0 "$PID" 2>/dev/null; then
        kill "$PID" 2>/dev/null
        wait "$PID" 2>/dev/null
    fi
    wine reg delete "$KEY" /f >/dev/null 2>&1
    local name
    for name in "${PAGE_FILES[@]}"; do rm -f "$CACHE/$name"; done
    rm -rf "$WORK"
}
trap cleanup EXIT

setting() {
    wine reg add "$KEY" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1 || fail "reg add $1=$2"
}

url() {
    wine reg add "$KEY\\URLList" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1 ||
        fail "reg add URLList $1=$2"
}

# One key press must end the run: the process is gone within 10 s, exit code 0.
end_with_key() {
    xdotool key space
    for _ in $(seq 100); do
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$PID" 2>/dev/null && fail "the run did not end on a key press"
    wait "$PID"
    local rc=$?
    PID=
    [ "$rc" -eq 0 ] || fail "Lumenary.scr /s exited with $rc"
    echo "ok: the run ended on the first key press (exit code 0)"
}
