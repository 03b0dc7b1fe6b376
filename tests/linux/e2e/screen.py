#!/usr/bin/env python3
"""What the display shows in a screenshot (a binary PPM on standard input):
prints "<what> <bottom>", <what> one of tall, slow, corner, card, loading,
other (by the colour at the left edge, half-way down), and <bottom> "bg" when
the bottom row of the centre column shows the background colour (argument 1, rrggbb), else "page". A card is background
with at least four lines of text in the text colour (argument 2); loading
is background with one."""
import sys

BACK = bytes.fromhex(sys.argv[1])
FORE = bytes.fromhex(sys.argv[2])
TALL = {bytes.fromhex(c) for c in ("c00000", "00a000", "0000c0", "c000c0", "00c0c0", "c0c000")}

data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)  # P6 width height max pixels
width, height = int(parts[1]), int(parts[2])
assert parts[3] == b"255", "8-bit pixels only"
pixels = parts[4]


def at(x, y):
    i = (y * width + x) * 3
    return pixels[i:i + 3]


def text_lines():
    lines, inside = 0, False
    for y in range(height):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        has = any(row[i:i + 3] == FORE for i in range(0, len(row), 3)) if FORE in row else False
        if has and not inside:
            lines += 1
        inside = has
    return lines


centre = at(8, height // 2)  # left of any text of a card
bottom = "bg" if at(width // 2, height - 1) == BACK else "page"
if centre in TALL:
    what = "tall"
elif centre == bytes.fromhex("10b010"):
    what = "slow"
elif centre in (bytes.fromhex("ffffe0"), bytes.fromhex("ff00ff")):
    what = "corner"
elif centre == BACK or centre == FORE:
    what = "card" if text_lines() >= 4 else "loading"
else:
    what = "other"
print(what, bottom)
