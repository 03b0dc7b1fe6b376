#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix and returns its
# exit code: scripts/wine-run.sh program.exe [arguments...]
set -u
source "$(dirname "$0")/wine-env.sh"
lum_wine_prefix
wineserver -p >/dev/null 2>&1 || true
exec wine "$@"
