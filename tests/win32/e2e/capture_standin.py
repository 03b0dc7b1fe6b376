"""Checks of capture_standin.sh: the page files that Lumenary.scr captured
from the stand-in WebBrowser control, the screen that shows them, and the
process's resources over several capture passes.

The stand-in draws a known picture: every row y of a page is one colour,
red = the page's tag, green = y mod 256, blue = y div 256 (the tags come from
tests/win32/browser/standin/StandinPages.h). So any pixel of a page file or of the
screen tells which page and which row it shows, and a picture that is blank,
upside down, shifted or cut short is seen at once.

    capture_standin.py <mode> <pages.h> <cache> <shots> [arguments]
"""
import os
import re
import struct
import subprocess
import sys
import time

W, H = 1024, 768                      # the Xvfb screen: the display form's size
BG = (0x99, 0x66, 0x33)               # BackColor "$00336699"
CAP = 32000                            # the tallest picture of a page


def tags(header):
    found = dict(re.findall(r"k(\w+)Tag = 0x([0-9A-F]{2})", open(header).read()))
    return {name.lower(): int(value, 16) for name, value in found.items()}


def row_color(tag, y):
    return (tag, y & 0xFF, (y >> 8) & 0xFF)


def fail(what):
    raise SystemExit("FAIL: " + what)


def expect(cond, what):
    if not cond:
        fail(what)
    print("ok: " + what, flush=True)


class Bmp:
    """A page file: header fields and single pixels, read without loading
    the whole picture (the giant page is 136 MB). The file stays open, so a
    newer capture renamed over it meanwhile does not mix in."""

    def __init__(self, path):
        self.path = path
        self.file = open(path, "rb")
        head = self.file.read(54)
        if len(head) < 54 or head[:2] != b"BM":
            fail("%s is not a BMP file" % path)
        self.offset = struct.unpack("<I", head[10:14])[0]
        hsize, self.w, h, _, self.bpp, comp = struct.unpack("<IiiHHI", head[14:34])
        if hsize < 40 or comp != 0 or self.bpp not in (24, 32):
            fail("%s: header %d, compression %d, %d bits" % (path, hsize, comp, self.bpp))
        self.top_down = h < 0
        self.h = abs(h)
        self.stride = (self.w * self.bpp // 8 + 3) & ~3
        expect_size = self.offset + self.stride * self.h
        if os.fstat(self.file.fileno()).st_size < expect_size:
            fail("%s is cut short" % path)

    def px(self, x, y):
        row = y if self.top_down else self.h - 1 - y
        self.file.seek(self.offset + row * self.stride + x * self.bpp // 8)
        b, g, r = self.file.read(3)
        return (r, g, b)


def page_tag(bmp):
    return bmp.px(0, 0)[0]


def check_file(path, tag, w, h, label, quiet=False):
    """Size, and the row code at the corners and along both edges; tag None:
    whichever tag the file's first pixel has."""
    bmp = Bmp(path)
    tag = page_tag(bmp) if tag is None else tag
    check = (lambda cond, what: cond or fail(what)) if quiet else expect
    check((bmp.w, bmp.h) == (w, h), "%s: %d x %d (is %d x %d)" % (label, w, h, bmp.w, bmp.h))
    rows = sorted({0, 1, 255, 256, h // 2, h - 2, h - 1} & set(range(h)))
    bad = [(x, y, bmp.px(x, y)) for y in rows for x in (0, w // 2, w - 1)
           if bmp.px(x, y) != row_color(tag, y)]
    check(not bad, "%s: upright rows of page tag 0x%02X at both edges %s" % (label, tag, bad[:3]))
    return tag


def wait_files(cache, names, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if all(os.path.exists(os.path.join(cache, n)) for n in names):
            time.sleep(0.3)  # the last write is complete (files are renamed into place)
            return
        time.sleep(0.1)
    fail("no page files %s within %d s: %s" % (names, seconds, sorted(os.listdir(cache))))


# --- Screen ------------------------------------------------------------------

class Screen:
    def __init__(self):
        out = subprocess.run(["/usr/bin/import", "-silent", "-window", "root", "-depth", "8",
                              "ppm:-"], capture_output=True, timeout=30)
        if out.returncode != 0:
            fail("import: " + out.stderr.decode(errors="replace"))
        self.raw = out.stdout
        self.data = self.raw[len(self.raw) - W * H * 3:]

    def px(self, x, y):
        i = (y * W + x) * 3
        return tuple(self.data[i:i + 3])

    def save(self, path):
        subprocess.run(["/usr/bin/convert", "ppm:-", "png:" + path], input=self.raw, check=True)


def shown(screen, pages):
    """(name, x0, y0) of the page on screen whose row code every probe point
    agrees with, or None. pages: name -> (tag, width, height)."""
    for name, (tag, w, h) in pages.items():
        x0 = max((W - w) // 2, 0)
        if h < H:
            y0 = (H - h) // 2
            points = [(x0 + dx, y0 + dy) for dx in (0, w // 2, w - 1) for dy in (0, h // 2, h - 1)]
            if all(screen.px(x, y) == row_color(tag, y - y0) for x, y in points) and \
                    screen.px(x0 - 1, y0) == BG and screen.px(x0, y0 - 1) == BG and \
                    screen.px(x0 + w, y0 + h - 1) == BG and screen.px(x0 + w - 1, y0 + h) == BG:
                return name, x0, y0
            continue
        r, g, b = screen.px(W // 2, 10)
        if r != tag:
            continue
        y0 = 10 - (g + 256 * b)  # scrolled: the page's top is above the screen
        ok = True
        for y in (10, 200, 400, 600, H - 1):
            for x in (0, W // 2, W - 1):
                want = row_color(tag, y - y0) if y - y0 < h else BG
                ok = ok and screen.px(x, y) == want
        if ok:
            return name, 0, y0
    return None


# --- Modes -------------------------------------------------------------------

def first_pass(cache, t, tall):
    """The page files of a pass over fill, tall, fixed, frames and again."""
    return {"0.bmp": ("fill", t["fill"], W, H),
            "1.bmp": ("tall", t["tall"], W, tall),
            "2.bmp": ("fixed", t["fixed"], W, H),
            "3.bmp": ("frames", t["frames"], W, H),
            "4.bmp": ("again", None, W, H)}


def check_pass(cache, t, sizes, label, quiet=False):
    """Every file of the pass; returns the tag of the again page."""
    again = None
    for name, (page, tag, w, h) in sizes.items():
        found = check_file(os.path.join(cache, name), tag, w, h,
                           "%s %s (%s)" % (label, name, page), quiet)
        if tag is None:
            again = found
            if again not in [t["again"] + 8 * k for k in range(4)]:
                fail("%s: again page tag 0x%02X" % (label, again))
    return again


def passes(header, cache, shots, res, winpid, count):
    """Scrolling on, a capture pass every second: the files of the first pass,
    the same sizes and pictures on every later pass, the first page on screen,
    and resources flat from the first pass to the last."""
    t = tags(header)
    sizes = first_pass(cache, t, 3000)
    wait_files(cache, list(sizes), 30)
    last = check_pass(cache, t, sizes, "pass 1")
    base = sample(res, winpid)
    print("   resources after pass 1: %s" % base, flush=True)
    pass_no = 1
    deadline = time.monotonic() + 6 * count + 10  # a pass takes about 1 s here
    while pass_no < count and time.monotonic() < deadline:
        again = page_tag(Bmp(os.path.join(cache, "4.bmp")))
        if again != last:
            pass_no += 1
            last = check_pass(cache, t, sizes, "pass %d" % pass_no, quiet=True)
            print("ok: pass %d: every file at its size of pass 1, upright" % pass_no, flush=True)
        time.sleep(0.1)
    expect(pass_no >= count, "%d capture passes seen (%d)" % (count, pass_no))
    end = sample(res, winpid)
    print("   resources after pass %d: %s" % (pass_no, end), flush=True)
    for key, tol in (("gdi", 8), ("windows", 0), ("handles", 8)):
        expect(end[key] - base[key] <= tol, "%s flat over %d passes: %d -> %d (tolerance +%d)"
               % (key, pass_no - 1, base[key], end[key], tol))
    # Each newer file of the page on show reloads it (and may hold the show
    # on it): whichever page is up, it is one of the pass, upright.
    pages = {name: (tag, w, h) for name, tag, w, h in sizes.values() if tag is not None}
    for k in range(4):
        pages["again%d" % k] = (t["again"] + 8 * k, W, H)
    for _ in range(25):
        screen = Screen()
        found = shown(screen, pages)
        if found:
            break
        time.sleep(0.2)
    screen.save("%s/capture_standin_passes.png" % shots)
    expect(found is not None, "a page of the pass on screen, upright and in place (%s)"
           % (found[0] if found else None))


def display(header, cache, shots, tall, seconds):
    """Scrolling on, one pass: each page of it on screen, upright and in place."""
    t = tags(header)
    sizes = first_pass(cache, t, tall)
    wait_files(cache, list(sizes), 30)
    again = check_pass(cache, t, sizes, "display run")
    pages = {name: (tag if tag is not None else again, w, h) for name, tag, w, h in sizes.values()}
    seen = {}
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and len(seen) < len(pages):
        screen = Screen()
        found = shown(screen, pages)
        if found and found[0] not in seen:
            seen[found[0]] = found
            screen.save("%s/capture_standin_%s.png" % (shots, found[0]))
            print("   on screen: %s at (%d, %d)" % found, flush=True)
        time.sleep(0.2)
    expect(len(seen) == len(pages), "every page shown on screen, upright and in place: %s"
           % sorted(seen))
    # A page is never smaller than the window it is shown in.
    expect(seen["fixed"][1:] == (0, 0), "the small page fills the screen")
    expect(seen["frames"][1:] == (0, 0), "the page with frames fills the screen")


def sample(res, winpid):
    out = subprocess.run(["wine", res, winpid], capture_output=True, timeout=60)
    if out.returncode != 0:
        fail("GuiResources.exe %s: %s" % (winpid, out.stderr.decode(errors="replace")))
    f = {k: int(v) for k, v in (kv.split("=") for kv in out.stdout.decode().split())}
    pick = lambda a, b: f[a] if f[a] > 0 else f[b]  # Wine answers 0 for the first
    return {"gdi": pick("gdi", "gdi_table"), "windows": pick("user", "windows"),
            "handles": pick("handles", "sys_handles")}


def recapture(header, cache, shots, seconds):
    """One page captured again and again: its new picture replaces the one on
    screen without the show moving on."""
    base = tags(header)["again"]
    wait_files(cache, ["0.bmp"], 30)
    pages = {"again%d" % k: (base + 8 * k, W, H) for k in range(4)}
    shown_tags = []
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and len(shown_tags) < 3:
        screen = Screen()
        found = shown(screen, pages)
        if found and (not shown_tags or shown_tags[-1] != pages[found[0]][0]):
            shown_tags.append(pages[found[0]][0])
            screen.save("%s/capture_standin_again_%d.png" % (shots, len(shown_tags)))
            print("   on screen: again page tag 0x%02X" % shown_tags[-1], flush=True)
        time.sleep(0.2)
    expect(len(shown_tags) >= 3, "each new capture of the page replaced it on screen: %s"
           % ["0x%02X" % x for x in shown_tags])


def clipped(header, cache):
    """Scrolling off: every page clipped to the screen, its top rows kept."""
    t = tags(header)
    wait_files(cache, ["0.bmp", "1.bmp", "2.bmp"], 30)
    for name, page in (("0.bmp", "fill"), ("1.bmp", "tall"), ("2.bmp", "giant")):
        check_file(os.path.join(cache, name), t[page], W, H, "scrolling off %s (%s)" % (name, page))


def giant(header, cache, shots):
    """Scrolling on: a page a million pixels tall stops at the height cap; the
    screen shows its top."""
    t = tags(header)
    wait_files(cache, ["0.bmp"], 60)
    check_file(os.path.join(cache, "0.bmp"), t["giant"], W, CAP, "giant page")
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        screen = Screen()
        if shown(screen, {"giant": (t["giant"], W, CAP)}):
            screen.save("%s/capture_standin_giant.png" % shots)
            print("ok: giant page on screen from its top", flush=True)
            return
        time.sleep(0.3)
    fail("the giant page never appeared on screen")


FG = (0xFF, 0xFF, 0x00)               # ForeColor clYellow: the card's text


def is_card(screen):
    """The card of a failed page: several lines of text in the form's colours
    around the middle of the screen (the one-line "loading" message is not
    one), the background everywhere else, and no page."""
    corners = [screen.px(x, y) for x in (2, W - 3) for y in (2, H - 3)]
    if any(c != BG for c in corners):
        return False
    rows = [y for y in range(H // 2 - 160, H // 2 + 160)
            if any(screen.px(x, y) == FG for x in range(0, W, 2))]
    return bool(rows) and rows[-1] - rows[0] > 60


def failed(header, cache, shots, seconds):
    """A list whose middle page ends in a NavigateError: the pages around it
    are captured, it leaves its failure record and no picture, and the show
    goes from the first page to its card and on to the last page."""
    t = tags(header)
    wait_files(cache, ["0.bmp", "1.failed", "2.bmp"], 30)
    check_file(os.path.join(cache, "0.bmp"), t["fixed"], W, H,
               "the page before the failed one")
    check_file(os.path.join(cache, "2.bmp"), t["fill"], W, H,
               "the page after the failed one")
    expect(not os.path.exists(os.path.join(cache, "1.bmp")), "no picture of the failed page")
    record = open(os.path.join(cache, "1.failed"), encoding="utf-8").read().split("\n")
    expect(record[0] == "http-status 404", "its record: %r" % record[:2])
    pages = {"fixed": (t["fixed"], W, H),
             "fill": (t["fill"], W, H)}
    order = []
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and len(order) < 3:
        screen = Screen()
        found = shown(screen, pages)
        state = found[0] if found else ("card" if is_card(screen) else None)
        if state and state not in order:
            order.append(state)
            screen.save("%s/capture_standin_failed_%s.png" % (shots, state))
            print("   on screen: %s" % state, flush=True)
        time.sleep(0.2)
    expect(order == ["fixed", "card", "fill"],
           "the first page, the failed page's card, then the next page: %s" % order)


def hang(header, cache, seconds):
    """A page that never completes, then a good one: once the load limit
    has passed the first fails as not answering (its record, no picture) and
    the pass goes on to capture the next."""
    t = tags(header)
    wait_files(cache, ["0.failed", "1.bmp"], seconds)
    check_file(os.path.join(cache, "1.bmp"), t["fill"], W, H,
               "the page after the one that never completes")
    expect(not os.path.exists(os.path.join(cache, "0.bmp")),
           "no picture of the page that never completes")
    record = open(os.path.join(cache, "0.failed"), encoding="utf-8").read().split("\n")
    expect(record[0].split(" ")[0] == "no-answer", "its record: %r" % record[:2])


if __name__ == "__main__":
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "passes":
        passes(args[0], args[1], args[2], args[3], args[4], int(args[5]))
    elif mode == "display":
        display(args[0], args[1], args[2], int(args[3]), int(args[4]))
    elif mode == "recapture":
        recapture(args[0], args[1], args[2], int(args[3]))
    elif mode == "clipped":
        clipped(args[0], args[1])
    elif mode == "failed":
        failed(args[0], args[1], args[2], int(args[3]))
    elif mode == "hang":
        hang(args[0], args[1], int(args[2]))
    elif mode == "giant":
        giant(args[0], args[1], args[2])
    else:
        fail("unknown mode " + mode)
