#!/usr/bin/env bash
# Full-screen runs of Lumenary.scr under Wine that capture pages for real:
# the WebBrowser class is served by the stand-in control of the tests
# (LumenaryStandin.dll, registered in the test prefix only while this script
# runs), so every step of the capture runs in the program itself: in-place
# activation, Navigate, DocumentComplete through the message loop (frames
# first on a page with frames: only the page's own counts), the body's sizes and style by late binding,
# put_Width/put_Height through the site, OleDraw, the page file, and the
# display that picks the file up.
#
# The stand-in is not a browser: it draws a known picture of coloured rows
# (tests/win32/browser/standin/StandinPages.h) and lays pages out by a fixed rule.
# What this proves is Lumenary's side of the control's contract; it proves
# nothing about how a real engine lays out or draws a page.
#
# Runs (each ends on a key press, exit code 0):
#   1. scrolling on, a capture pass every second: page files of a page that
#      fills its window (1024 x 768: the screen's size), a tall
#      page at full height, a small page, a page with frames, and a page
#      that changes with each load; the same sizes and pictures on every
#      later pass; GDI objects, windows and kernel handles flat from the
#      first pass to the sixth.
#   2. the same pages captured once: each shown on screen upright and in
#      place (every page from the top left: none is smaller than the screen).
#   3. one page captured again and again: each new capture replaces the
#      picture on screen.
#   4. scrolling off: every page clipped to the screen (1024 x 768).
#   5. scrolling on, a page a million pixels tall: cut at 32000 rows.
#   6. a page that ends in NavigateError (HTTP 404) between two good ones:
#      the next page is captured, the failed one leaves its record and no
#      picture, and the show goes from the first page to the failed page's
#      card and on to the last page.
#   7. a page that never completes, then a good one: at the load limit
#      (30 s) the first is stopped and fails as not answering (its record, no
#      picture) and the next page is captured.
# Arguments: build folder, source folder. Needs DISPLAY: a 1024x768x24 Xvfb.
# Screenshots are kept in <build>/screenshots/capture_standin_*.png.
set -uo pipefail

source "$(dirname "$0")/saver_lib.bash"
PAGE_FILES=(0.bmp 1.bmp 2.bmp 3.bmp 4.bmp 0.failed 1.failed 2.failed 3.failed 4.failed
    0.url 1.url 2.url 3.url 4.url)
DLL=$BUILD/LumenaryStandin.dll
RES=$BUILD/GuiResources.exe
PAGES_H=$SRC/tests/win32/browser/standin/StandinPages.h
CHECK=(python3 "$SRC/tests/win32/e2e/capture_standin.py")

for f in "$SCR" "$PROBE" "$DLL" "$RES"; do [ -f "$f" ] || fail "no $f"; done
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
lum_standin_register "$DLL" || fail "the stand-in control cannot be registered"
trap 'lum_standin_unregister; cleanup' EXIT

# Starts a full-screen run on fresh settings and an empty set of page files;
# leaves the process in PID and the Windows process id in WINPID.
start_run() {
    [ -z "$(wine "$PROBE" list Lumenary.scr 2>/dev/null)" ] ||
        fail "another Lumenary.scr is already running"
    local name
    for name in "${PAGE_FILES[@]}"; do rm -f "$CACHE/$name"; done
    timeout 150 wine "$SCR" /s &
    PID=$!
    WINPID=
    local line
    for _ in $(seq 100); do
        kill -0 "$PID" 2>/dev/null || fail "Lumenary.scr /s ended by itself"
        line=$(wine "$RES" TScreenSaverDisplayForm 2>/dev/null) && WINPID=${line#pid=} &&
            WINPID=${WINPID%% *} && return 0
        sleep 0.1
    done
    fail "the full-screen window did not appear"
}

settings() {  # <EnableScroll> <RefreshTime> <URLShowTime> <URL>...
    wine reg delete "$KEY" /f >/dev/null 2>&1
    setting EnableScroll "$1"
    setting RefreshTime "$2"
    setting URLShowTime "$3"
    setting ShowURL 0
    setting ShowClock 0
    setting BackColor '$00336699'
    setting ForeColor clYellow
    shift 3
    local i=1
    for u in "$@"; do
        url "$i" "$u"
        i=$((i + 1))
    done
}

mkdir -p "$CACHE" "$SHOTS"
rm -f "$SHOTS"/capture_standin_*.png
SECONDS=0

echo "== run 1: scrolling on, a pass every second"
settings 1 0 1 standin:fill 'standin:tall?h=3000' 'standin:fixed?w=500&h=300' \
    'standin:frames?n=2' standin:again
start_run
"${CHECK[@]}" passes "$PAGES_H" "$CACHE" "$SHOTS" "$RES" "$WINPID" 6 || exit 1
end_with_key

# A pass every second keeps the first page on screen (a newer file of the
# page on show reloads it and starts its show time again): one pass here.
echo "== run 2: scrolling on, one pass, every page shown"
settings 1 60 1 standin:fill 'standin:tall?h=1200' 'standin:fixed?w=500&h=300' \
    'standin:frames?n=2' standin:again
start_run
"${CHECK[@]}" display "$PAGES_H" "$CACHE" "$SHOTS" 1200 40 || exit 1
end_with_key

echo "== run 3: one page captured again and again"
settings 1 0 60 standin:again
start_run
"${CHECK[@]}" recapture "$PAGES_H" "$CACHE" "$SHOTS" 20 || exit 1
end_with_key

echo "== run 4: scrolling off"
settings 0 60 1 standin:fill 'standin:tall?h=3000' standin:giant
start_run
"${CHECK[@]}" clipped "$PAGES_H" "$CACHE" || exit 1
end_with_key

echo "== run 5: scrolling on, a giant page"
settings 1 60 60 standin:giant
start_run
"${CHECK[@]}" giant "$PAGES_H" "$CACHE" "$SHOTS" || exit 1
end_with_key

echo "== run 6: a page that cannot be loaded"
settings 1 60 2 'standin:fixed?w=500&h=300' 'standin:error?status=404' standin:fill
start_run
"${CHECK[@]}" failed "$PAGES_H" "$CACHE" "$SHOTS" 40 || exit 1
end_with_key

echo "== run 7: a page that never completes"
settings 1 60 2 standin:hang standin:fill
start_run
"${CHECK[@]}" hang "$PAGES_H" "$CACHE" 120 || exit 1
end_with_key

echo "capture_standin: all checks passed in ${SECONDS} s"
