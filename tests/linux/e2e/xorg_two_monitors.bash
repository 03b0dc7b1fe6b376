# Sourced: an Xorg server of its own with the dummy video driver and two
# RandR outputs side by side, 1024x768+0+0 and 800x600+1024+0 (Xvfb cannot
# put two monitors side by side). Used by the two-monitor test and by
# scripts/screenshots.sh.

# start_two_monitors <folder>: writes the server's configuration and log into
# folder and starts it; sets XORG_PID and XORG_DISPLAY. Returns 1 when the
# server does not answer (it needs root) and 2 when the second output cannot
# be set up; XORG_PID is set in both cases, for the caller to end it.
start_two_monitors() {
    cat >"$1/xorg.conf" <<'CONF'
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 1824 768
    EndSubSection
EndSection
CONF
    local num=$((RANDOM % 400 + 200)) _ up=0
    while [ -e "/tmp/.X11-unix/X$num" ]; do num=$((num + 1)); done
    Xorg ":$num" -config "$1/xorg.conf" -noreset -nolisten tcp -logfile "$1/xorg.log" \
        >/dev/null 2>&1 &
    XORG_PID=$!
    XORG_DISPLAY=":$num"
    for _ in $(seq 1 75); do
        DISPLAY=$XORG_DISPLAY xdpyinfo >/dev/null 2>&1 && { up=1; break; }
        sleep 0.2
    done
    [ $up = 1 ] || return 1
    DISPLAY=$XORG_DISPLAY xrandr --newmode 800x600_b 40 800 840 968 1056 600 601 605 628 &&
        DISPLAY=$XORG_DISPLAY xrandr --addmode DUMMY1 800x600_b &&
        DISPLAY=$XORG_DISPLAY xrandr --output DUMMY1 --mode 800x600_b --right-of DUMMY0 &&
        DISPLAY=$XORG_DISPLAY xrandr --listmonitors | grep -q '800/.*x600/.*+1024+0' || return 2
}
