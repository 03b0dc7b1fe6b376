#!/usr/bin/env bash
# Makes the pictures in docs/images from real runs (PNG, each cropped to what
# it shows and kept small):
#   saver-two-monitors.png   lumenary full-screen on two monitors side by side
#                            (1024x768 and 800x600, an Xorg server of its own
#                            with the dummy driver), each at its own demo page
#   config-linux.png         the Linux settings dialog (lumenary --config)
#   config-windows.png       the Windows settings dialog (Lumenary.scr /c under
#                            Wine), with the same URLs
# Builds what is missing (the linux and mingw-i686 presets), runs everything
# in X servers of its own, with settings, cache and Wine prefix under
# build/shots: the user's own are never touched. The Xorg server needs root;
# without it the first picture is left as it is.
#
#   bash scripts/screenshots.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT=$PWD
source "$ROOT/tests/linux/e2e/xorg_two_monitors.bash"
bash scripts/setup.sh || exit 1
JOBS=$(nproc 2>/dev/null || echo 2)
CONVERT=/usr/bin/convert  # by full path: a stand-in of the same name may come first on PATH
IMPORT=/usr/bin/import
OUT=$ROOT/docs/images
WORK=$ROOT/build/shots
mkdir -p "$OUT" build
rm -rf "$WORK"
mkdir -p "$WORK/config/lumenary" "$WORK/config/gtk-3.0" "$WORK/cache" "$WORK/run"
chmod 700 "$WORK/run"
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/run
export XDG_DATA_HOME=$WORK/data
CACHE=$XDG_CACHE_HOME/lumenary
# Japanese text in GTK's own font settings of this run: IPA P Gothic.
printf '[Settings]\ngtk-font-name = IPAPGothic 10\n' >"$XDG_CONFIG_HOME/gtk-3.0/settings.ini"

build() {  # build <preset> <target>
    cmake --preset "$1" >"build/shots-$1.log" 2>&1 || { cat "build/shots-$1.log"; exit 1; }
    cmake --build --preset "$1" -j"$JOBS" --target "$2" >>"build/shots-$1.log" 2>&1 ||
        { tail -40 "build/shots-$1.log"; exit 1; }
}
[ -x build/linux/lumenary ] && [ -x build/linux/lumenary-capture ] ||
    { build linux lumenary && build linux lumenary-capture; }
[ -f build/mingw-i686/Lumenary.scr ] || build mingw-i686 Lumenary
LUMENARY=$ROOT/build/linux/lumenary

# The pages: the demo's welcome page, its Japanese page and its tall page.
# The dialogs show the same list as web addresses.
DEMO=(welcome.html japanese.html tall.html)
SHOWN_URLS=(https://www.example.com/ https://news.example.org/today
    "https://example.jp/お知らせ" http://intranet.local/status)
ini() {  # ini <url>...: the settings of the runs, with that list
    local i=1 url
    {
        printf '[Lumenary]\nRefreshTime=5\nURLShowTime=10\nShowURL=0\nShowClock=1\n'
        printf 'EnableScroll=1\nBackColor=clBlack\nForeColor=clWhite\nMonitorPages=different\n'
        echo '[Lumenary\URLList]'
        for url in "$@"; do echo "$i=$url"; i=$((i + 1)); done
    } >"$XDG_CONFIG_HOME/lumenary/lumenary.ini"
}
# small <png>: the picture rewritten as small as it goes without visible loss.
small() {
    "$CONVERT" "$1" -strip -define png:compression-level=9 -define png:compression-filter=5 \
        "$1.new.png" && mv "$1.new.png" "$1"
    if [ "$(stat -c %s "$1")" -gt 300000 ]; then
        "$CONVERT" "$1" -strip +dither -colors 256 -define png:compression-level=9 "$1.new.png" &&
            mv "$1.new.png" "$1"
    fi
    echo "  $1 ($(/usr/bin/identify -format '%wx%h' "$1" 2>/dev/null), $(($(stat -c %s "$1") / 1024)) KB)"
}
# window_shot <window id> <png>: the window's area of the screen.
window_shot() {
    local geometry
    geometry=$(xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h "+" x "+" y}')
    "$IMPORT" -window root -crop "$geometry" +repage "$2" 2>/dev/null
}
wait_window() {  # wait_window <name>: the id of the visible window of that name
    local id _
    for _ in $(seq 1 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
export CONVERT IMPORT OUT CACHE LUMENARY ROOT

# 1. The saver on two monitors.
two_monitors() {
    local lum _ started
    start_two_monitors "$WORK"
    started=$?
    local xorg=$XORG_PID
    if [ $started = 1 ]; then
        echo "  skipped: the Xorg server does not start here (it needs root)"
        kill "$xorg" 2>/dev/null
        return 0
    fi
    (
        export DISPLAY=$XORG_DISPLAY
        [ $started = 0 ] || { echo "  no second monitor"; exit 1; }
        local urls=() page
        for page in "${DEMO[@]}"; do urls+=("file://$ROOT/data/demo/$page"); done
        ini "${urls[@]}"
        rm -rf "$CACHE"
        xdotool mousemove 1823 767
        "$LUMENARY" --wall 2>"$WORK/two-monitors.stderr" &
        lum=$!
        # Both pages captured, and the second monitor at the Japanese page
        # (its background, #fdf6e3, beside the text).
        for _ in $(seq 1 150); do
            [ -s "$CACHE/0.bmp" ] && [ -s "$CACHE/1.bmp" ] && break
            sleep 0.2
        done
        for _ in $(seq 1 75); do
            "$IMPORT" -window root "$WORK/now.png" 2>/dev/null
            [ "$("$CONVERT" "$WORK/now.png" -format '%[hex:p{1040,300}]' info:)" = FDF6E3 ] && break
            sleep 0.2
        done
        local seen
        seen=$("$CONVERT" "$WORK/now.png" -format '%[hex:p{1040,300}]' info:)
        sleep 1
        "$IMPORT" -window root "$WORK/two-monitors.png" 2>/dev/null
        kill -TERM "$lum"
        wait "$lum"
        [ "$seen" = FDF6E3 ] || { echo "  the second monitor does not show its page"; exit 1; }
    )
    local shown=$?
    kill "$xorg" 2>/dev/null
    wait "$xorg" 2>/dev/null
    [ $shown = 0 ] || return 1
    cp "$WORK/two-monitors.png" "$OUT/saver-two-monitors.png"
    small "$OUT/saver-two-monitors.png"
}

# 2. The Linux settings dialog.
config_linux() {
    local id lum
    ini "${SHOWN_URLS[@]}"
    "$LUMENARY" --config 2>"$WORK/config-linux.stderr" &
    lum=$!
    id=$(wait_window "Lumenary設定") || { echo "  no dialog"; kill "$lum"; return 1; }
    sleep 1
    window_shot "$id" "$OUT/config-linux.png"
    kill -TERM "$lum"
    wait "$lum"
    small "$OUT/config-linux.png"
}

# 3. The Windows settings dialog under Wine (a copy of the program of its
# own: the dialog empties the page cache beside it).
config_windows() {
    export WINEPREFIX=$ROOT/build/shots-wineprefix
    source "$ROOT/scripts/wine-env.sh"
    lum_wine_start
    mkdir -p "$WORK/windows"
    cp "$ROOT/build/mingw-i686/Lumenary.scr" "$WORK/windows/"
    local key='HKCU\Software\Orvane\Lumenary' i=1 url v id pid
    wine reg delete "$key" /f >/dev/null 2>&1
    for v in "RefreshTime 5" "URLShowTime 10" "ShowURL 0" "ShowClock 1" "EnableScroll 1"; do
        set -- $v
        wine reg add "$key" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
    done
    for url in "${SHOWN_URLS[@]}"; do
        wine reg add "$key\\URLList" /v "$i" /t REG_SZ /d "$url" /f >/dev/null 2>&1
        i=$((i + 1))
    done
    timeout 60 wine "$WORK/windows/Lumenary.scr" /c >/dev/null 2>&1 &
    pid=$!
    id=$(wait_window "Lumenary設定") || { echo "  no dialog"; kill "$pid"; lum_wine_stop; return 1; }
    sleep 1.5
    window_shot "$id" "$OUT/config-windows.png"
    xdotool key --window "$id" Escape
    sleep 1
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    lum_wine_stop
    small "$OUT/config-windows.png"
}

FAILED=0
echo "The saver on two monitors:"
two_monitors || two_monitors || FAILED=1
echo "The settings dialogs:"
export WORK
xvfb-run -a -s '-screen 0 1024x768x24 -noreset' bash -c "$(declare -f ini small window_shot wait_window \
    config_linux config_windows); SHOWN_URLS=($(printf '%q ' "${SHOWN_URLS[@]}"))
    for _ in \$(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
    config_linux && config_windows" || FAILED=1
[ $FAILED = 0 ] || { echo "some pictures were not made (see above)"; exit 1; }
