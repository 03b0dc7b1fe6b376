# Helpers of the end-to-end scripts that run the real `lumenary`: a settings
# file and a cache folder of their own (never the user's), a page with bands
# of known colours, screenshots and pixels, bounded waits, and a clean-up on
# exit that ends every process the script started.
# Sourced with the build folder and the source folder as $1 and $2; needs
# DISPLAY (the test command runs everything inside Xvfb).

# shellcheck disable=SC2034  # variables set here are read by the scripts
BUILD=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
LUMENARY=$BUILD/lumenary
FOREIGN=$BUILD/lum_foreign_window
IMPORT=/usr/bin/import
CONVERT=/usr/bin/convert  # by full path: a stand-in of the same name may come first on PATH
WORK=$(mktemp -d)
chmod 755 "$WORK"
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/run
export XDG_DATA_HOME=$WORK/data  # the kept web session (lumenary --sign-in)
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
CACHE=$XDG_CACHE_HOME/lumenary
SHOTS=$BUILD/screenshots
mkdir -p "$SHOTS"
PIDS=()
FAILED=0

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
check() {  # check <description> <command...>
    local what=$1; shift
    if "$@"; then echo "  ok    $what"; else echo "  FAIL  $what"; FAILED=$((FAILED + 1)); fi
}
finish() {
    [ "$FAILED" -eq 0 ] || { echo "$FAILED check(s) failed"; exit 1; }
    echo "all checks passed"
}

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${PIDS[@]}"; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

# settings <name=value>...: the [Lumenary] section; urls <url>...: the list.
settings() {
    mkdir -p "$XDG_CONFIG_HOME/lumenary"
    { echo '[Lumenary]'; printf '%s\n' "$@"; } >"$XDG_CONFIG_HOME/lumenary/lumenary.ini.head"
}
urls() {
    local ini=$XDG_CONFIG_HOME/lumenary/lumenary.ini i=1 url
    cp "$XDG_CONFIG_HOME/lumenary/lumenary.ini.head" "$ini"
    echo '[Lumenary\URLList]' >>"$ini"
    for url in "$@"; do echo "$i=$url" >>"$ini"; i=$((i + 1)); done
}

# bands_page <file> <band height> <colour>...: a page 1000 px wide made of
# bands of the given colours (#rrggbb), top to bottom.
bands_page() {
    local file=$1 height=$2; shift 2
    {
        echo '<!DOCTYPE html><html><head><meta charset="utf-8"><style>'
        echo "body{margin:0}div{width:1000px;height:${height}px}</style></head><body>"
        local c
        for c in "$@"; do echo "<div style=\"background:$c\"></div>"; done
        echo '</body></html>'
    } >"$file"
}

# wait_for <seconds> <command...>: polls every 0.2 s; false on time-out.
wait_for() {
    local limit=$1; shift
    local end=$((SECONDS + limit))
    while [ $SECONDS -lt "$end" ]; do
        "$@" && return 0
        sleep 0.2
    done
    "$@"
}

# shot <name>: a screenshot of the whole display into $SHOTS/<name>.png.
shot() {
    "$IMPORT" -window root "$SHOTS/$1.png" 2>/dev/null
}
# shellcheck source=/dev/null
source "$SRC/scripts/pixel.bash"  # pixel <png> <x> <y>: "#rrggbb"
# pixel_now <x> <y>: the pixel on the display now.
pixel_now() {
    shot now && pixel "$SHOTS/now.png" "$1" "$2"
}
# colours_in <png> <WxH+X+Y>: number of distinct colours in the area.
colours_in() {
    "$CONVERT" "$1" -crop "$2" +repage -unique-colors txt:- 2>/dev/null | grep -c '#'
}
# pixel_is <x> <y> <#rrggbb>: the display shows that colour there now.
pixel_is() {
    [ "$(pixel_now "$1" "$2")" = "$3" ]
}
# bmp_size <file>: "width height" from a BMP file's header (height unsigned).
bmp_size() {
    local w h
    w=$(od -An -t d4 -j 18 -N 4 "$1" | tr -d ' ')
    h=$(od -An -t d4 -j 22 -N 4 "$1" | tr -d ' ')
    echo "$w ${h#-}"
}
# pixel_among <x> <y> <#rrggbb>...: the display shows one of the colours there.
pixel_among() {
    local x=$1 y=$2 now c; shift 2
    now=$(pixel_now "$x" "$y")
    for c in "$@"; do [ "$now" = "$c" ] && return 0; done
    return 1
}

# check_ends_on_sigterm <pid>: SIGTERM ends the program within a second,
# with exit code 0 (the time it took is in the check's line).
check_ends_on_sigterm() {
    local pid=$1 start ended=0 code ms
    start=$(date +%s%N)
    kill -TERM "$pid"
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || { ended=1; break; }
        sleep 0.02
    done
    wait "$pid"; code=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    check "SIGTERM ends it within a second (${ms} ms, exit $code)" test $ended = 1 -a "$code" = 0
}
