#!/usr/bin/env bash
# Builds Lumenary.scr and runs the screen saver full-screen under Wine: on
# your X display when DISPLAY is set (move the mouse or press a key to end
# it), else inside Xvfb for a while, saving a screenshot to build/lumenary.png.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
mkdir -p build
cmake --preset mingw-i686 >build/run-configure.log 2>&1 || { cat build/run-configure.log; exit 1; }
cmake --build --preset mingw-i686 -j"$(nproc)" --target Lumenary >build/run-build.log 2>&1 ||
    { tail -40 build/run-build.log; exit 1; }
SCR=$PWD/build/mingw-i686/Lumenary.scr
if [ -n "${DISPLAY:-}" ]; then
    source scripts/wine-env.sh
    lum_wine_start
    wine "$SCR" /s
    lum_wine_stop
else
    SECONDS_TO_RUN=${1:-8}
    xvfb-run -a -s '-screen 0 1024x768x24' bash -c "
        source scripts/wine-env.sh && lum_wine_start
        wine '$SCR' /s & pid=\$!
        sleep $SECONDS_TO_RUN
        import -window root build/lumenary.png && echo 'screenshot: build/lumenary.png'
        xdotool key space; sleep 2; kill \$pid 2>/dev/null; wait \$pid
        lum_wine_stop"
fi
