#!/usr/bin/env bash
# Full-screen runs of Lumenary.scr under Wine, checked by the pixels of
# screenshots: the loading text centred while the cache is empty; then a
# small page centred, a tall page drawn from its top and moved up by a third
# of the screen each second, a corrupt page file shown as the loading text,
# the URL line at (5,5) and the clock at the bottom right on strips of the
# background colour; each run ends on a key press.
# Arguments: build folder, source folder. Needs DISPLAY: a 1024x768x24 Xvfb.
# Screenshots are kept in <build>/screenshots/slideshow_*.png.
set -uo pipefail

source "$(dirname "$0")/saver_lib.bash"
PAGE_FILES=(0.bmp 1.bmp 2.bmp 0.url 1.url 2.url)

for f in "$SCR" "$PROBE"; do [ -f "$f" ] || fail "no $f"; done
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
# The display alone is checked, with page files of the script's own: the
# WebBrowser class is served by the stand-in control, set never to finish a
# page, so no capture replaces them and none fails (Wine's own engine fails
# every navigation, and a failed page shows its card instead).
export LUM_STANDIN_HANG=1
lum_standin_register "$BUILD/LumenaryStandin.dll" || fail "the stand-in control cannot be registered"
trap 'lum_standin_unregister; cleanup' EXIT

# Starts the full-screen run and waits until its window is on screen. A run
# still going from elsewhere would hold the single-instance mutex, and this
# one would then end at once.
start_saver() {
    [ -z "$(wine "$PROBE" list Lumenary.scr 2>/dev/null)" ] ||
        fail "another Lumenary.scr is already running"
    timeout 120 wine "$SCR" /s &
    PID=$!
    for _ in $(seq 100); do
        kill -0 "$PID" 2>/dev/null || fail "Lumenary.scr /s ended by itself"
        wine "$PROBE" class TScreenSaverDisplayForm 2>/dev/null | grep -q 'visible=1' && return 0
        sleep 0.1
    done
    fail "the full-screen window did not appear"
}

# --- Screenshot analysis ------------------------------------------------------
cat >"$WORK/shots.py" <<'PYEOF'
import subprocess, sys, time

W, H = 1024, 768
BG = (0x99, 0x66, 0x33)  # "$00336699" is 0x00BBGGRR
FG = (0xFF, 0xFF, 0x00)  # clYellow
RED, LIME, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
SW, SH = 300, 200                    # the small page
SX, SY = (W - SW) // 2, (H - SH) // 2  # where it must appear: 362, 284
TALL = 2000                          # the tall page's height
STEP = H // 3                        # scroll step: 256
LAST = TALL - H                      # last scroll position: the page's end, 1232


class Frame:
    def __init__(self, raw, t):
        fields, pos = [], 0
        while len(fields) < 4:  # P6 width height maxval, blank separated
            while raw[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[pos:end])
            pos = end
        if fields != [b"P6", str(W).encode(), str(H).encode(), b"255"]:
            raise SystemExit("FAIL: unexpected screenshot format %r" % fields)
        self.data = raw[pos + 1:]
        self.raw = raw
        self.t = t

    def px(self, x, y):
        i = (y * W + x) * 3
        return tuple(self.data[i:i + 3])

    def bbox(self, x0, y0, x1, y1, pred):
        """Bounding box (inclusive) of the pixels in [x0,x1) x [y0,y1) that pred accepts."""
        bx0 = by0 = 10 ** 6
        bx1 = by1 = -1
        for y in range(y0, y1):
            row = self.data[(y * W) * 3:(y * W + W) * 3]
            for x in range(x0, x1):
                if pred(tuple(row[x * 3:x * 3 + 3])):
                    bx0, bx1 = min(bx0, x), max(bx1, x)
                    by0, by1 = min(by0, y), max(by1, y)
        return None if bx1 < 0 else (bx0, by0, bx1, by1)

    def colours(self, box):
        x0, y0, x1, y1 = box
        return {self.px(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)}

    def save(self, path):
        subprocess.run(["/usr/bin/convert", "ppm:-", "png:" + path], input=self.raw, check=True)


def grab():
    out = subprocess.run(["/usr/bin/import", "-silent", "-window", "root", "-depth", "8", "ppm:-"],
                         capture_output=True, timeout=30)
    if out.returncode != 0:
        raise SystemExit("FAIL: import: " + out.stderr.decode(errors="replace"))
    return Frame(out.stdout, time.monotonic())


def page_row(p):
    """The row of the tall page that a pixel shows, or None: rows are coded as
    (y mod 256, 16 + 32 * (y div 256), 200)."""
    r, g, b = p
    if b != 200 or (g - 16) % 32 or g < 16:
        return None
    return (g - 16) // 32 * 256 + r


def tall_offset(f):
    offsets = set()
    for y in (150, 300, 450):
        for x in (0, 512, W - 1):
            row = page_row(f.px(x, y))
            if row is None:
                return None
            offsets.add(row - y)
    return offsets.pop() if len(offsets) == 1 else None


def state(f):
    o = tall_offset(f)
    if o is not None:
        return ("tall", o)
    if f.px(W // 2, H // 2) == RED:
        return ("small",)
    if f.px(W // 2, 200) == BG and f.bbox(300, 360, 724, 410, lambda p: p != BG):
        return ("loading",)
    return ("other",)


def expect(cond, what):
    if not cond:
        raise SystemExit("FAIL: " + what)
    print("ok: " + what)


def is_page(p):
    return page_row(p) is not None


def check_loading(f, label):
    ink = f.bbox(0, 40, W, H - 40, lambda p: p != BG)
    expect(ink is not None, label + ": loading text drawn")
    x0, y0, x1, y1 = ink
    print("   loading text ink %s, centre (%.1f, %.1f)" % (ink, (x0 + x1) / 2, (y0 + y1) / 2))
    expect(abs((x0 + x1) / 2 - W / 2) <= 6 and abs((y0 + y1) / 2 - H / 2) <= 6,
           label + ": loading text centred within 6 px")
    expect(150 <= x1 - x0 <= 600 and 8 <= y1 - y0 <= 40, label + ": loading text of one line")
    expect(f.colours(ink) <= {BG, FG}, label + ": loading text yellow on the background colour")
    # Text over the background: the URL line from (5,5), the clock ending 5 px
    # from the right and bottom edges.
    top = f.bbox(0, 0, W, 40, lambda p: p != BG)
    expect(top is not None and top[0] >= 5 and top[1] >= 5 and top[2] - top[0] > 100,
           label + ": URL line from (5,5) %s" % (top,))
    clock = f.bbox(0, H - 40, W, H, lambda p: p != BG)
    expect(clock is not None and clock[2] <= W - 6 and clock[3] <= H - 6 and
           40 < clock[2] - clock[0] < 250, label + ": clock at the bottom right %s" % (clock,))


def check_small(f):
    c = f.px
    expect(c(SX, SY) == RED and c(SX + SW - 1, SY + SH - 1) == RED and
           c(SX + SW - 1, SY) == RED and c(SX, SY + SH - 1) == RED,
           "small page: corners at (%d,%d)-(%d,%d)" % (SX, SY, SX + SW - 1, SY + SH - 1))
    expect(c(SX - 1, SY) == BG and c(SX, SY - 1) == BG and c(SX + SW, SY + SH - 1) == BG and
           c(SX + SW - 1, SY + SH) == BG, "small page: background right around it")
    expect(c(SX + 30, SY + 30) == LIME and c(SX + 270, SY + 170) == BLUE,
           "small page: markers upright (top-left green, bottom-right blue)")
    row = [c(x, H // 2) for x in range(W)]
    expect(row == [BG] * SX + [RED] * SW + [BG] * (W - SX - SW),
           "small page: the middle row is background, %d red pixels, background" % SW)
    col = [c(W // 2, y) for y in range(40, H - 40)]
    expect(col == [BG] * (SY - 40) + [RED] * SH + [BG] * (H - 40 - SY - SH),
           "small page: the middle column is background, %d red pixels, background" % SH)


def check_strip(f, box, label, corner):
    """A text cell drawn opaque over the page: a solid rectangle of background
    and yellow pixels whose corner sits where it must."""
    strip = f.bbox(*box, lambda p: not is_page(p))
    expect(strip is not None, label + " drawn over the page")
    print("   %s strip %s" % (label, strip))
    expect(corner(strip), label + " strip placed right %s" % (strip,))
    expect(f.colours(strip) == {BG, FG}, label + " strip: yellow text on the background colour")
    expect(8 <= strip[3] - strip[1] <= 40, label + " strip one text line tall")


def check_tall(frames):
    offsets = [o for o, _ in frames]
    print("   scroll offsets seen, in order: %s" % offsets)
    expect(offsets and offsets[0] == 0, "tall page: drawn first from its top (offset 0)")
    expect(all(o % STEP == 0 for o in offsets[:-1]),
           "tall page: offsets multiples of %d up to the last" % STEP)
    expect(all(b > a for a, b in zip(offsets, offsets[1:])), "tall page: offsets increasing")
    expect(offsets[-1] == LAST and LAST - offsets[-2] < STEP,
           "tall page: the last step stops at %d, its bottom edge on the screen's" % LAST)
    expect(len(offsets) >= 4, "tall page: at least 4 scroll positions seen")
    first = dict(frames)[0]
    check_strip(first, (0, 0, W, 80), "URL line", lambda s: s[0] == 5 and s[1] == 5 and
                s[2] - s[0] > 100)
    check_strip(first, (W - 400, H - 80, W, H), "clock", lambda s: s[2] == W - 6 and
                s[3] == H - 6 and 40 < s[2] - s[0] < 250)
    last = dict(frames)[LAST]
    expect(page_row(last.px(W // 2, H - 1)) == TALL - 1 and page_row(last.px(10, H - 1)) == TALL - 1,
           "tall page: its last row on the screen's last row, no background below it")


def watch_empty(shots):
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        f = grab()
        if state(f) == ("loading",):
            break
        time.sleep(0.1)
    else:
        raise SystemExit("FAIL: no loading text within 30 s")
    f.save(shots + "/slideshow_empty_loading.png")
    check_loading(f, "empty cache")
    # Without a page file the page is retried on every tick and its show time
    # never runs out: 3.5 s later (more than URLShowTime + 1 ticks) the same
    # URL line is still there.
    time.sleep(3.5)
    g = grab()
    g.save(shots + "/slideshow_empty_later.png")
    top = lambda fr: fr.data[:40 * W * 3]
    expect(state(g) == ("loading",) and top(g) == top(f),
           "empty cache: still the first page's loading text 3.5 s later")


def watch_pages(shots):
    deadline = time.monotonic() + 45
    seen = []   # (state, first frame of it), each change of state once
    while time.monotonic() < deadline:
        f = grab()
        s = state(f)
        if not seen or seen[-1][0] != s:
            seen.append((s, f))
            print("   %6.2f s  %s" % (f.t - seen[0][1].t, " ".join(map(str, s))))
        kinds = [k[0][0] for k in seen]
        if "tall" in kinds and kinds[-1] == "loading" and "tall" in kinds[:-1]:
            break
        time.sleep(0.05)
    else:
        raise SystemExit("FAIL: the pages did not run through within 45 s: %s" %
                         [s for s, _ in seen])
    useful = [(s, f) for s, f in seen if s != ("other",)]
    kinds = [s[0] for s, _ in useful]
    # Before the first tick the loading text; then page 0, page 1, page 2.
    while kinds and kinds[0] == "loading":
        kinds.pop(0)
        useful.pop(0)
    expect(kinds[0] == "small", "page 0 (small) shown first")
    expect(set(kinds[1:-1]) == {"tall"}, "then page 1 (tall) only")
    small = useful[0][1]
    small.save(shots + "/slideshow_small.png")
    check_small(small)
    tall = [(s[1], f) for s, f in useful if s[0] == "tall"]
    for o, f in tall:
        f.save(shots + "/slideshow_tall_%04d.png" % o)
    check_tall(tall)
    times = [f.t for _, f in tall] + [useful[-1][1].t]
    steps = ["%.2f" % (b - a) for a, b in zip(times, times[1:])]
    print("   seconds per scroll position (the last includes the show time): %s" % steps)
    expect(times[-1] - times[-2] >= 1.5,
           "tall page: stays at its last position for its show time (%s s)" % steps[-1])
    corrupt = useful[-1][1]
    corrupt.save(shots + "/slideshow_corrupt_loading.png")
    check_loading(corrupt, "corrupt page file")


if __name__ == "__main__":
    {"empty": watch_empty, "pages": watch_pages}[sys.argv[1]](sys.argv[2])
PYEOF

# --- Settings and page files --------------------------------------------------
wine reg delete "$KEY" /f >/dev/null 2>&1
setting RefreshTime 60
setting URLShowTime 2
setting ShowURL 1
setting ShowClock 1
setting EnableScroll 1
setting BackColor '$00336699'
setting ForeColor clYellow
url 1 "http://example.com/small"
url 2 "http://example.com/tall?a=1&b=2"
url 3 "http://example.com/broken"

mkdir -p "$SHOTS"
rm -f "$SHOTS"/slideshow_*.png

# Run 1: an empty cache. The folder is removed too when nothing else is in
# it, so that the run has to create it.
rm -f "$CACHE"/*.bmp "$CACHE"/*.url
rmdir "$CACHE" 2>/dev/null
echo "== run 1: empty cache"
start_saver
python3 "$WORK/shots.py" empty "$SHOTS" || exit 1
end_with_key
[ -d "$CACHE" ] || fail "the run did not create $CACHE"
echo "ok: the run created the cache folder"

# Page files: 0 small (300x200 red, green mark at its top left, blue at its
# bottom right), 1 tall (1024x2000, each row coded by its colour), 2 corrupt
# (a bitmap header whose pixel rows are cut off).
"$CONVERT" -size 300x200 xc:red -fill lime -draw 'rectangle 20,20 39,39' \
    -fill blue -draw 'rectangle 260,160 279,179' -type TrueColor "BMP3:$CACHE/0.bmp" ||
    fail "convert 0.bmp"
python3 -c '
import sys
rows = b"".join(bytes((y % 256, 16 + 32 * (y // 256), 200)) * 1024 for y in range(2000))
sys.stdout.buffer.write(b"P6\n1024 2000\n255\n" + rows)
' | "$CONVERT" ppm:- -type TrueColor "BMP3:$CACHE/1.bmp" || fail "convert 1.bmp"
head -c 4000 "$CACHE/1.bmp" >"$CACHE/2.bmp"
# Each picture is shown only under the address it was captured from.
printf '%s\n' "http://example.com/small" >"$CACHE/0.url"
printf '%s\n' "http://example.com/tall?a=1&b=2" >"$CACHE/1.url"
printf '%s\n' "http://example.com/broken" >"$CACHE/2.url"
python3 - "$CACHE" <<'PYEOF' || fail "page files are not 24-bit BITMAPINFOHEADER bitmaps"
import struct, sys
for name, size in (("0.bmp", (300, 200)), ("1.bmp", (1024, 2000))):
    d = open(sys.argv[1] + "/" + name, "rb").read()
    hs, w, h, _, bpp, comp = struct.unpack("<IiiHHI", d[14:34])
    assert d[:2] == b"BM" and hs == 40 and (w, h) == size and bpp == 24 and comp == 0, name
PYEOF

echo "== run 2: small, tall and corrupt page"
start_saver
python3 "$WORK/shots.py" pages "$SHOTS" || exit 1
end_with_key

echo "slideshow: all checks passed"
