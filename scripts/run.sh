#!/usr/bin/env bash
# Runs the screen saver on the demo pages shipped in data/demo (one of them
# 8,000 px tall), with settings, a cache and a web session of its own under
# build/demo: the user's own folders are never touched.
#
#   bash scripts/run.sh            the Linux program, full-screen: on your X
#                                  display when DISPLAY is set (move the mouse
#                                  or press a key to end it), else inside Xvfb
#                                  for a while, saving screenshots in
#                                  build/demo
#   bash scripts/run.sh --window   the same in an ordinary 1024 x 768 window,
#                                  which captures the pages at the size of
#                                  its monitor and shows them scaled to itself
#   bash scripts/run.sh --windows  Lumenary.scr under Wine, showing pictures
#                                  that the Linux program captured (Wine here
#                                  cannot render a page itself); without
#                                  DISPLAY, its screenshot is build/lumenary.png
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/setup.sh || exit 1
mkdir -p build
MODE=${1:-}
JOBS=$(nproc 2>/dev/null || echo 2)

build() {  # build <preset> <target>
    cmake --preset "$1" >"build/run-$1.log" 2>&1 || { cat "build/run-$1.log"; exit 1; }
    cmake --build --preset "$1" -j"$JOBS" --target "$2" >>"build/run-$1.log" 2>&1 ||
        { tail -40 "build/run-$1.log"; exit 1; }
}

# The demo's own settings, cache and web session: XDG folders under
# build/demo.
DEMO=$ROOT/build/demo
rm -rf "$DEMO"
source "$ROOT/scripts/own-folders.bash"
lum_own_folders "$DEMO" || exit 1
mkdir -p "$DEMO/config/lumenary"
PAGES=(tall.html welcome.html japanese.html)
{
    echo '[Lumenary]'
    echo 'RefreshTime=5'
    echo 'URLShowTime=8'
    echo 'ShowURL=1'
    echo 'ShowClock=1'
    echo 'EnableScroll=1'
    echo 'BackColor=clBlack'
    echo 'ForeColor=clWhite'
    echo '[Lumenary\URLList]'
    i=1
    for page in "${PAGES[@]}"; do echo "$i=file://$ROOT/data/demo/$page"; i=$((i + 1)); done
} >"$DEMO/config/lumenary/lumenary.ini"
CACHE=$DEMO/cache/lumenary

build linux lumenary
LUMENARY=$ROOT/build/linux/lumenary

source "$ROOT/scripts/pixel.bash"  # pixel <png> <x> <y>: "#rrggbb"

# In Xvfb: runs lumenary full-screen (or in the window of --window, which
# there lies over the whole screen) until every demo page is captured and
# saves screenshots of the top of the tall page, the same page scrolled, the
# next page and the Japanese page.
xvfb_demo() {
    "$LUMENARY" ${MODE:+"$MODE"} 2>"$DEMO/stderr" &
    local pid=$! shot=$DEMO/now.png n
    for n in $(seq 1 150); do
        [ -s "$CACHE/0.bmp" ] && [ -s "$CACHE/1.bmp" ] && [ -s "$CACHE/2.bmp" ] && break
        sleep 0.2
    done
    for n in $(seq 1 50); do  # the tall page's first band (#c0392b) on screen
        import -window root "$shot" 2>/dev/null
        [ "$(pixel "$shot" 512 400)" = "#c0392b" ] && break
        sleep 0.2
    done
    cp "$shot" "$DEMO/1-tall-page-top.png"
    sleep 3
    import -window root "$DEMO/2-tall-page-scrolled.png" 2>/dev/null
    for n in $(seq 1 150); do  # the next page: neither a band, nor the margin, nor the background
        import -window root "$shot" 2>/dev/null
        case "$(pixel "$shot" 512 384)" in "#c0392b" | "#d35400" | "#f39c12" | "#27ae60" | \
            "#16a085" | "#2980b9" | "#8e44ad" | "#2c3e50" | "#ffffff" | "#000000") sleep 0.3 ;;
            *) break ;;
        esac
    done
    cp "$shot" "$DEMO/3-next-page.png"
    for n in $(seq 1 150); do  # the Japanese page: its background (#fdf6e3) left of the text
        import -window root "$shot" 2>/dev/null
        [ "$(pixel "$shot" 30 384)" = "#fdf6e3" ] && break
        sleep 0.3
    done
    cp "$shot" "$DEMO/4-japanese-page.png"
    kill -TERM "$pid" 2>/dev/null
    wait "$pid"
    rm -f "$shot"
    echo "captured pages: $(ls "$CACHE" | tr '\n' ' ')"
    echo "screenshots:"
    ls -1 "$DEMO"/*.png
    [ -s "$DEMO/stderr" ] && { echo "lumenary said:"; cat "$DEMO/stderr"; }
    return 0
}

if [ "$MODE" = --windows ]; then
    # The Linux build captures the demo pages; the Windows program, under
    # Wine, then shows those pictures from its own cache folder.
    echo "Capturing the demo pages with the Linux build (Wine cannot render pages here)..."
    xvfb-run -a -s '-screen 0 1024x768x24 -noreset' bash -c "$(declare -f pixel xvfb_demo);
        LUMENARY='$LUMENARY' CACHE='$CACHE' DEMO='$DEMO' xvfb_demo" >/dev/null
    build mingw-i686 Lumenary
    # A copy of the program of its own, so that its cache folder beside it
    # holds only the demo's pictures.
    mkdir -p "$DEMO/windows/LumenaryCache"
    cp "$ROOT/build/mingw-i686/Lumenary.scr" "$DEMO/windows/"
    SCR=$DEMO/windows/Lumenary.scr
    WINCACHE=$DEMO/windows/LumenaryCache
    cp "$CACHE"/*.bmp "$WINCACHE"/
    echo "The pictures in $WINCACHE came from the Linux build's capture."
    run_scr='source scripts/wine-env.sh && lum_wine_start
        key="HKCU\\Software\\Orvane\\Lumenary"
        wine reg delete "$key" /f >/dev/null 2>&1
        for v in "RefreshTime 5" "URLShowTime 8" "ShowURL 1" "ShowClock 1" "EnableScroll 1"; do
            set -- $v; wine reg add "$key" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
        done
        i=1; for page in '"${PAGES[*]}"'; do
            wine reg add "$key\\URLList" /v $i /t REG_SZ /d "https://demo.invalid/$page" /f \
                >/dev/null 2>&1; i=$((i + 1)); done'
    if [ -n "${DISPLAY:-}" ]; then
        bash -c "$run_scr; wine '$SCR' /s; lum_wine_stop"
    else
        xvfb-run -a -s '-screen 0 1024x768x24 -noreset' bash -c "$run_scr
            wine '$SCR' /s & pid=\$!
            sleep 6
            import -window root build/lumenary.png && echo 'screenshot: build/lumenary.png'
            xdotool key space; sleep 2; kill \$pid 2>/dev/null; wait \$pid
            lum_wine_stop"
    fi
elif [ -n "${DISPLAY:-}" ]; then
    "$LUMENARY" ${MODE:+"$MODE"}
else
    xvfb-run -a -s '-screen 0 1024x768x24 -noreset' bash -c "$(declare -f pixel xvfb_demo);
        LUMENARY='$LUMENARY' CACHE='$CACHE' DEMO='$DEMO' MODE='$MODE' xvfb_demo"
fi
