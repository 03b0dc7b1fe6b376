#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively (also
# under AddressSanitizer and UBSan), the fuzz smoke run, the Linux program and
# its tests (real GTK windows, real WebKitGTK captures, the real XScreenSaver)
# inside Xvfb, its Debian package (built, checked, installed and removed
# again), then Lumenary.scr and the Windows tests under Wine inside Xvfb.
# Ends with the summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/setup.sh || exit 1

JOBS=$(nproc 2>/dev/null || echo 2)
failed=()
step() {  # step <name> <command...>
    local name=$1; shift
    echo "=== $name"
    if ! "$@"; then failed+=("$name"); fi
}

build() {  # build <preset> [target...]
    local preset=$1; shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --preset "$preset" >"build/$preset.log" 2>&1 || { cat "build/$preset.log"; return 1; }
    cmake --build --preset "$preset" -j"$JOBS" "${targets[@]}" >>"build/$preset.log" 2>&1 ||
        { tail -60 "build/$preset.log"; return 1; }
}
mkdir -p build


step "native build" build native
step "native tests" ctest --test-dir build/native --output-on-failure -j"$JOBS"
step "sanitizer build" build native-asan
step "sanitizer tests" ctest --test-dir build/native-asan --output-on-failure -j"$JOBS"
if [ -x scripts/fuzz.sh ]; then
    step "fuzz smoke" bash scripts/fuzz.sh smoke
fi
# The Linux build tree holds the core's suites too; they ran above.
step "linux build" build linux lumenary lum_linux_all_tests
step "linux tests" xvfb-run -a -s '-screen 0 1024x768x24 -noreset' \
    ctest --test-dir build/linux -L gtk --output-on-failure
# The Debian package: built from the Linux build, checked, installed, run and
# removed again (as root; the system is left as it was).
step "linux package" bash tests/linux/e2e/package.sh build/linux "$ROOT"
step "windows build" build mingw-i686
step "windows tests" xvfb-run -a -s '-screen 0 1024x768x24 -noreset' bash -c \
    'source scripts/wine-env.sh && lum_wine_start && ctest --test-dir build/mingw-i686 --output-on-failure; rc=$?; lum_wine_stop; exit $rc'

echo
if [ ${#failed[@]} -eq 0 ]; then
    echo "SUMMARY: all test steps passed"
    exit 0
fi
echo "SUMMARY: FAILED: ${failed[*]}"
exit 1
