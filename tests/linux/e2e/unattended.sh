#!/usr/bin/env bash
# The real lumenary left alone: a settings file that is refused shows a card
# that says so; a page whose files cannot be written shows
# its card (the display hears of it from its own capture, not through the
# files); with a reload interval of 0 the show still goes from page to page;
# an edit of the settings file is taken up at the next pass, a picture is
# shown only under the address it was captured from and the files of an
# entry removed go; a capture lock held by another program leaves the
# passes out until it is given back; --sign-out waits for a pass under way
# and takes the pictures with the session.
set -uo pipefail
source "$(dirname "$0")/lib.bash"
HERE=$(cd "$(dirname "$0")" && pwd)

red=file://$WORK/red.html
blue=file://$WORK/blue.html
green=file://$WORK/green.html
bands_page "$WORK/red.html" 800 "#c00000"
bands_page "$WORK/blue.html" 800 "#0000c0"
bands_page "$WORK/green.html" 800 "#00a000"
settings RefreshTime=0 URLShowTime=2 ShowURL=0 ShowClock=0 EnableScroll=0 \
    BackColor=clNavy ForeColor=clYellow
LOCK=$XDG_RUNTIME_DIR/lumenary-capture.lock

# shown: what the display shows now: red, blue, green, card or loading.
shown() {
    local what
    what=$("$IMPORT" -window root -depth 8 ppm:- 2>/dev/null |
        python3 "$HERE/screen.py" 000080 ffff00 | cut -d' ' -f1)
    if [ "$what" = card ] || [ "$what" = loading ]; then echo "$what"; return; fi
    case $(pixel_now 100 384) in
        "#c00000") echo red ;;
        "#0000c0") echo blue ;;
        "#00a000") echo green ;;
        *) echo other ;;
    esac
}
# watch <seconds> <log>: what the display shows, as often as it can be told.
watch() {
    local end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do shown >>"$2"; done
}
# both <log> <what>...: each was seen; none <log> <what>...: none was.
both() {
    local log=$1 w; shift
    for w in "$@"; do grep -qx "$w" "$log" || return 1; done
}
none() {
    local log=$1 w; shift
    for w in "$@"; do grep -qx "$w" "$log" && return 1; done
    return 0
}
card_shown() { [ "$(shown)" = card ]; }
address_is() { grep -qx "$2" "$CACHE/$1.url" 2>/dev/null; }
start() {
    "$LUMENARY" 2>>"$WORK/stderr" &
    LUM=$!
    PIDS+=("$LUM")
}
stop() {
    kill -TERM "$LUM"
    wait "$LUM"
}

# A settings file whose list holds plain URL lines is refused: a card says
# which file and the form of the list, in the saver's colours.
urls "$red"
printf '%s\n' "$red" >>"$XDG_CONFIG_HOME/lumenary/lumenary.ini"
xdotool mousemove 512 384
start
# (The file gives no colours: the defaults, a grey and black.)
default_card() {
    local back
    back=$(pixel_now 2 2)
    "$IMPORT" -window root -depth 8 ppm:- 2>/dev/null |
        python3 "$HERE/screen.py" "${back#\#}" 000000 | grep -q '^card '
}
check "a refused settings file shows its card" wait_for 20 default_card
check "... and standard error gives the form of the list" grep -qF '[Lumenary\URLList]' "$WORK/stderr"
stop

# Nothing of page 0 can be written: its names are folders, which no file
# can replace (not even root's).
urls "$red" "$blue"
mkdir -p "$CACHE/0.bmp" "$CACHE/0.failed" "$CACHE/0.url"
start
check "the page whose files cannot be written shows its card" wait_for 40 card_shown
check "... said on standard error" grep -q '0.bmp" cannot be' "$WORK/stderr"
watch 8 "$WORK/unwritable"
check "the show goes on to the next page and back to the card" \
    both "$WORK/unwritable" blue card
stop
rmdir "$CACHE/0.bmp" "$CACHE/0.failed" "$CACHE/0.url"

# A reload interval of 0: every pass captures the page on screen anew.
start
check "the first page is shown" wait_for 40 test -s "$CACHE/1.bmp"
watch 10 "$WORK/interval0"
check "with a reload interval of 0 the show goes from page to page" \
    both "$WORK/interval0" red blue

# The list is edited while the run goes on: one entry, another address.
urls "$green"
check "the new list is taken up at the next pass" wait_for 30 address_is 0 "$green"
check "the removed entry's files go" wait_for 10 test ! -e "$CACHE/1.bmp" -a ! -e "$CACHE/1.url"
watch 6 "$WORK/edited"
check "only the new page is shown ($(sort -u "$WORK/edited" | tr '\n' ' '))" \
    both "$WORK/edited" green
check "... never a picture of the old list under it" none "$WORK/edited" red blue
stop

# Another program holds the capture lock: no pass, until it gives it back.
rm -f "$CACHE"/*.bmp "$CACHE"/*.url
flock "$LOCK" sleep 6 &
holder=$!
PIDS+=("$holder")
sleep 0.5
start
sleep 3
check "no capture while another program holds the lock" test ! -e "$CACHE/0.bmp"
check "the lock is taken at a later pass once given back" wait_for 40 test -s "$CACHE/0.bmp"
stop

# --sign-out waits for the pass under way and takes the pictures with it.
mkdir -p "$XDG_DATA_HOME/lumenary/web"
echo kept >"$XDG_DATA_HOME/lumenary/web/cookies"
flock "$LOCK" sleep 3 &
PIDS+=($!)
sleep 0.5
"$LUMENARY" --sign-out --yes >"$WORK/signout" 2>&1
code=$?
sed 's/^/    /' "$WORK/signout"
check "the sign-out waited for the capture and succeeded (exit $code)" test "$code" -eq 0
check "... said that it waits" grep -q "waiting for it to end" "$WORK/signout"
check "... and the pictures went with the session" \
    test ! -e "$CACHE/0.bmp" -a ! -e "$CACHE/0.url" -a ! -e "$XDG_DATA_HOME/lumenary/web"
finish
