#!/usr/bin/env bash
# Lumenary.scr is linked large-address-aware: its PE header says so, and a
# 64-bit Windows then gives the 32-bit process 4 GB of address space instead
# of 2 GB (a page's picture is held by the capture and by the display of each
# monitor). Reads the header's characteristics with objdump -p.
#   large_address_aware.sh <Lumenary.scr> [objdump]
set -uo pipefail
program=${1:?usage: large_address_aware.sh <program> [objdump]}
objdump=${2:-}
if [ -z "$objdump" ] || ! command -v "$objdump" >/dev/null; then
    objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump) ||
        { echo "no objdump to read $program with"; exit 1; }
fi
[ -f "$program" ] || { echo "no such program: $program"; exit 1; }

header=$("$objdump" -p "$program") || { echo "$objdump cannot read $program"; exit 1; }
# The characteristics are a hexadecimal word followed by one line per flag.
characteristics=$(awk '/^Characteristics/ {on = 1; print; next}
                       on && /^\t/ {print; next}
                       on {exit}' <<<"$header")
echo "$characteristics"
grep -q '^Characteristics' <<<"$characteristics" ||
    { echo "FAIL: $program has no PE characteristics"; exit 1; }
grep -qi 'large address aware' <<<"$characteristics" ||
    { echo "FAIL: $program is not large-address-aware"; exit 1; }
# Still a 32-bit program: the flag means nothing on a 64-bit one.
grep -qi '32 bit words' <<<"$characteristics" ||
    { echo "FAIL: $program is not a 32-bit program"; exit 1; }
echo "PASS: $program is large-address-aware"
