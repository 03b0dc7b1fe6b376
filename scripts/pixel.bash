# pixel <png> <x> <y>: the colour of one pixel of a screenshot as "#rrggbb".
# Sourced by run.sh and the Linux end-to-end scripts; ImageMagick's convert is
# called by its full path (a stand-in of the same name may come first on PATH).
pixel() {
    /usr/bin/convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | tr 'A-F' 'a-f' | head -1
}
