#!/usr/bin/env bash
# Soak run of the full-screen slide show under Wine: six pages (small, tall,
# corrupt, missing, an 8-bit page wider and taller than the screen, a second
# tall one) cycle once a second for LUM_SOAK_SECONDS (default 120) while the
# process's GDI objects, windows, kernel handles and private memory are
# sampled every 10 s by GuiResources.exe. After the first pass through the
# pages every figure must stay flat, and the run must still end on its first
# key press. Arguments: build folder, source folder. Needs DISPLAY.
#
# Tolerances over the first sample taken after the first pass: GDI objects
# +8 (a sample can fall inside a paint, which holds its buffer's objects: +5
# seen), windows +0, kernel handles +8, private memory +12 MiB. The picture
# on screen is held decoded at 32 bits, so private memory moves with the page
# shown by up to 7.8 MiB (the 1024x2000 page) between any two samples; one
# pass loads about 18 MiB of pictures, so keeping them would fail at once.
set -uo pipefail

SECONDS_TOTAL=${LUM_SOAK_SECONDS:-120}
source "$(dirname "$0")/saver_lib.bash"
RES=$BUILD/GuiResources.exe
PAGE_FILES=(0.bmp 1.bmp 2.bmp 3.bmp 4.bmp 5.bmp 0.url 1.url 2.url 3.url 4.url 5.url
    0.failed 1.failed 2.failed 3.failed 4.failed 5.failed)

for f in "$SCR" "$PROBE" "$RES"; do [ -f "$f" ] || fail "no $f"; done
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
# The display alone is checked, with page files of the script's own: the
# WebBrowser class is served by the stand-in control, and every page of the
# list is one that the server answers with 503, so the one pass of the run
# keeps the pictures on show and the pages without one show their card
# (Wine's own engine would fail every navigation too, slowly).
lum_standin_register "$BUILD/LumenaryStandin.dll" || fail "the stand-in control cannot be registered"
trap 'lum_standin_unregister; cleanup' EXIT
case $SECONDS_TOTAL in '' | *[!0-9]*) fail "LUM_SOAK_SECONDS must be a whole number" ;; esac
[ "$SECONDS_TOTAL" -ge 40 ] || fail "LUM_SOAK_SECONDS must be at least 40"

# The figures mean something here: they follow objects made on purpose.
echo "== GuiResources.exe --self-test"
wine "$RES" --self-test || fail "GuiResources.exe cannot follow a process's resources here"

wine reg delete "$KEY" /f >/dev/null 2>&1
setting RefreshTime 60
setting URLShowTime 0
setting ShowURL 1
setting ShowClock 1
setting EnableScroll 1
setting BackColor '$00336699'
setting ForeColor clYellow
for i in 1 2 3 4 5 6; do
    url "$i" "standin:error?status=503&page=$i"
done

# Pages: 0 small, 1 tall (rows coded (y mod 256, 16 + 32 (y div 256), 200)),
# 2 corrupt, 3 missing, 4 an 8-bit palette page of 1280x1000, 5 a tall
# 800x1600 page coded like 1 with blue 100.
mkdir -p "$CACHE" "$SHOTS"
rm -f "$CACHE"/{0,1,2,3,4,5}.{bmp,url,failed} "$SHOTS"/soak_*.png
# Each picture is shown only under the address it was captured from.
for i in 0 1 2 3 4 5; do
    printf '%s\n' "standin:error?status=503&page=$((i + 1))" >"$CACHE/$i.url"
done
"$CONVERT" -size 300x200 xc:red -type TrueColor "BMP3:$CACHE/0.bmp" || fail "convert 0.bmp"
coded() {  # coded <width> <height> <blue> <file>
    python3 -c '
import sys
w, h, b = map(int, sys.argv[1:4])
rows = b"".join(bytes((y % 256, 16 + 32 * (y // 256), b)) * w for y in range(h))
sys.stdout.buffer.write(b"P6\n%d %d\n255\n" % (w, h) + rows)
' "$1" "$2" "$3" | "$CONVERT" ppm:- -type TrueColor "BMP3:$4" || fail "convert $4"
}
coded 1024 2000 200 "$CACHE/1.bmp"
coded 800 1600 100 "$CACHE/5.bmp"
head -c 3000 "$CACHE/1.bmp" >"$CACHE/2.bmp"
"$CONVERT" -size 1280x1000 xc:teal -fill white -draw 'rectangle 0,400 1279,499' \
    -colors 16 -type Palette "BMP3:$CACHE/4.bmp" || fail "convert 4.bmp"
python3 -c '
import struct, sys
d = open(sys.argv[1], "rb").read()
assert struct.unpack("<H", d[28:30])[0] <= 8, "4.bmp is not a palette bitmap"
' "$CACHE/4.bmp" || fail "4.bmp"

cat >"$WORK/soak.py" <<'PYEOF'
import subprocess, sys, time

W, H = 1024, 768
BG = (0x99, 0x66, 0x33)
RED, TEAL = (255, 0, 0), (0, 128, 128)
res, winpid, total, shots = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
WARMUP, EVERY = 20, 10
TOL = {"gdi": 8, "windows": 0, "handles": 8, "private_kb": 12 * 1024}


def grab():
    out = subprocess.run(["/usr/bin/import", "-silent", "-window", "root", "-depth", "8", "ppm:-"],
                         capture_output=True, timeout=30)
    if out.returncode != 0:
        raise SystemExit("FAIL: import: " + out.stderr.decode(errors="replace"))
    raw = out.stdout
    header = raw.split(b"\n", 3)
    return raw, header[3]


def state(data):
    px = lambda x, y: tuple(data[(y * W + x) * 3:(y * W + x) * 3 + 3])
    c = px(W // 2, 300)
    if c[2] in (200, 100) and (c[1] - 16) % 32 == 0:
        return "tall%d" % c[2]
    if px(W // 2, H // 2) == RED:
        return "small"
    if c == TEAL or c == (255, 255, 255):
        return "palette"
    if c == BG:
        return "loading"  # the background there: the loading text or a card
    return "other"


def sample():
    out = subprocess.run(["wine", res, winpid], capture_output=True, timeout=60)
    if out.returncode != 0:
        raise SystemExit("FAIL: GuiResources.exe %s: %s" % (winpid, out.stderr.decode()))
    f = dict(kv.split("=") for kv in out.stdout.decode().split())
    f = {k: int(v) for k, v in f.items()}
    pick = lambda a, b: f[a] if f[a] > 0 else f[b]  # Wine answers 0 for the first
    return {"gdi": pick("gdi", "gdi_table"), "windows": pick("user", "windows"),
            "handles": pick("handles", "sys_handles"),
            "private_kb": pick("private_kb", "pagefile_kb"), "working_kb": f["working_kb"]}


start = time.monotonic()
samples, states, next_sample = [], [], 0.0
last_shot = b""
while True:
    now = time.monotonic() - start
    if now >= next_sample:
        s = sample()
        s["t"] = now
        samples.append(s)
        print("   %5.1f s  gdi=%-4d windows=%-3d handles=%-4d private_kb=%-7d working_kb=%d"
              % (now, s["gdi"], s["windows"], s["handles"], s["private_kb"], s["working_kb"]),
              flush=True)
        next_sample = WARMUP if not next_sample else next_sample + EVERY
        if now >= total:
            break
    raw, data = grab()
    st = state(data)
    if not states or states[-1] != st:
        states.append(st)
    last_shot = raw
    time.sleep(0.4)

subprocess.run(["/usr/bin/convert", "ppm:-", "png:%s/soak_last.png" % shots], input=last_shot,
               check=True)
print("   pages seen (changes of screen): %d; small page entered %d times"
      % (len(states), states.count("small")))
passes = states.count("small")
need = max(1, (total - WARMUP) // 16 // 2)
if passes < need:
    raise SystemExit("FAIL: the slide show made %d passes, %d expected at least" % (passes, need))
for kind in ("tall200", "tall100", "palette", "loading"):
    if kind not in states:
        raise SystemExit("FAIL: page kind %s never shown" % kind)
print("ok: the show went through every page kind, %d passes" % passes)

base = next(s for s in samples if s["t"] >= WARMUP - 1)
steady = [s for s in samples if s["t"] >= base["t"]]
if len(steady) < 3:
    raise SystemExit("FAIL: too few samples after the first pass")
for key, tol in TOL.items():
    top = max(s[key] for s in steady)
    print("   %-10s first %7d  max %7d  last %7d  (tolerance +%d)"
          % (key, base[key], top, steady[-1][key], tol))
    if top - base[key] > tol:
        raise SystemExit("FAIL: %s grew from %d to %d" % (key, base[key], top))
print("ok: GDI objects, windows, kernel handles and private memory stayed flat")
PYEOF

echo "== full-screen run for $SECONDS_TOTAL s"
[ -z "$(wine "$PROBE" list Lumenary.scr 2>/dev/null)" ] || fail "another Lumenary.scr is running"
timeout $((SECONDS_TOTAL + 120)) wine "$SCR" /s &
PID=$!
winpid=
for i in $(seq 100); do
    kill -0 "$PID" 2>/dev/null || fail "Lumenary.scr /s ended by itself"
    line=$(wine "$RES" TScreenSaverDisplayForm 2>/dev/null) && winpid=${line#pid=} &&
        winpid=${winpid%% *} && break
    sleep 0.1
done
[ -n "$winpid" ] || fail "the full-screen window did not appear"
python3 "$WORK/soak.py" "$RES" "$winpid" "$SECONDS_TOTAL" "$SHOTS" || exit 1

# The first key press ends the run, however long it went on.
xdotool key space
for i in $(seq 100); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$PID" 2>/dev/null && fail "the run did not end on the first key press"
wait "$PID"
rc=$?
PID=
[ "$rc" -eq 0 ] || fail "Lumenary.scr /s exited with $rc"
echo "ok: the run ended on the first key press (exit code 0)"
echo "soak_resources: all checks passed"
