#!/usr/bin/env python3
"""Draws the Lumenary icon: a night-blue tile with a web page on it (a blue
title bar and lines of text) under a crescent moon. The shapes below are the
design; this script writes them as lumenary.svg and renders lumenary-<n>.png
(16, 32, 48, 64, 128, 256 px) and lumenary.ico (16, 32, 48, 256 px) with
ImageMagick. The generated files are kept in the repository, so building
needs neither this script nor ImageMagick.

Usage: python3 data/icons/make_icons.py [output folder]   (default: beside this file)
"""
import os
import subprocess
import sys
import tempfile

SIZE = 256
NIGHT = "#1B2550"
PAGE = "#F4F6FB"
TITLE = "#3D7BE0"
TEXT = "#9AA6C4"
MOON = "#FFD45C"

# (shape, coordinates in a 256 x 256 box, fill); drawn in order.
SHAPES = [
    ("roundrect", (8, 8, 248, 248, 52), NIGHT),
    ("circle", (192, 62, 34), MOON),
    ("circle", (210, 48, 30), NIGHT),  # cuts the moon into a crescent
    ("roundrect", (36, 92, 220, 220, 14), PAGE),
    ("roundrect", (36, 92, 220, 126, 14), TITLE),
    ("rect", (36, 112, 220, 126), TITLE),  # square lower corners of the title bar
    ("roundrect", (56, 144, 200, 156, 6), TEXT),
    ("roundrect", (56, 168, 176, 180, 6), TEXT),
    ("roundrect", (56, 192, 148, 204, 6), TEXT),
]

PNG_SIZES = [16, 32, 48, 64, 128, 256]
ICO_SIZES = [16, 32, 48, 256]
CONVERT = "/usr/bin/convert"  # by full path: another "convert" may come first on PATH


def svg():
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
           % (SIZE, SIZE, SIZE, SIZE)]
    for shape, c, fill in SHAPES:
        if shape == "roundrect":
            x0, y0, x1, y1, r = c
            out.append('  <rect x="%d" y="%d" width="%d" height="%d" rx="%d" fill="%s"/>'
                       % (x0, y0, x1 - x0, y1 - y0, r, fill))
        elif shape == "rect":
            x0, y0, x1, y1 = c
            out.append('  <rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>'
                       % (x0, y0, x1 - x0, y1 - y0, fill))
        else:
            cx, cy, r = c
            out.append('  <circle cx="%d" cy="%d" r="%d" fill="%s"/>' % (cx, cy, r, fill))
    out.append("</svg>")
    return "\n".join(out) + "\n"


def draw_arguments(scale):
    """The same shapes as ImageMagick -draw arguments, scaled."""
    out = []
    for shape, c, fill in SHAPES:
        s = [v * scale for v in c]
        if shape == "roundrect":
            primitive = "roundrectangle %g,%g %g,%g %g,%g" % (s[0], s[1], s[2] - 1, s[3] - 1,
                                                              s[4], s[4])
        elif shape == "rect":
            primitive = "rectangle %g,%g %g,%g" % (s[0], s[1], s[2] - 1, s[3] - 1)
        else:
            primitive = "circle %g,%g %g,%g" % (s[0], s[1], s[0] + s[2], s[1])
        out += ["-fill", fill, "-draw", primitive]
    return out


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, "lumenary.svg"), "w") as f:
        f.write(svg())
    with tempfile.TemporaryDirectory() as tmp:
        # Drawn four times larger and scaled down: smooth edges at every size.
        scale = 4
        big = os.path.join(tmp, "big.png")
        subprocess.run([CONVERT, "-size", "%dx%d" % (SIZE * scale, SIZE * scale), "xc:none"]
                       + draw_arguments(scale) + [big], check=True)
        for n in PNG_SIZES:
            subprocess.run([CONVERT, big, "-filter", "box", "-resize", "%dx%d" % (n, n),
                            "-strip", "PNG32:" + os.path.join(folder, "lumenary-%d.png" % n)],
                           check=True)
        subprocess.run([CONVERT] + [os.path.join(folder, "lumenary-%d.png" % n) for n in ICO_SIZES]
                       + [os.path.join(folder, "lumenary.ico")], check=True)


if __name__ == "__main__":
    main()
