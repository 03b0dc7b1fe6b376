#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*.cpp, clang with ASan and UBSan) and runs
# each for a bounded time on a copy of its seed corpus (fuzz/corpus/<name>),
# so the committed seeds never grow. Fails on any crash, leak, timeout or
# sanitizer report, and prints one line per target with its executions and
# the final coverage (cov: edges, ft: features).
#
#   scripts/fuzz.sh smoke            about 20 s per target (CI)
#   scripts/fuzz.sh long [seconds]   on demand, 600 s per target by default
#
# FUZZ_BUILD_DIR overrides the build folder (default build/fuzz); the working
# corpora go to <build>-corpus/<name>, crash inputs and logs to
# <build>-artifacts/. FUZZ_TARGETS="a b" limits the run to those targets.
set -uo pipefail
cd "$(dirname "$0")/.."

mode=${1:-smoke}
case $mode in
    smoke) seconds=20 ;;
    long) seconds=${2:-600} ;;
    *)
        echo "usage: $0 smoke | long [seconds]" >&2
        exit 2
        ;;
esac
[[ $seconds =~ ^[0-9]+$ ]] || { echo "seconds must be a whole number" >&2; exit 2; }

build=${FUZZ_BUILD_DIR:-build/fuzz}
corpora=$build-corpus
artifacts=$build-artifacts
jobs=$(nproc 2>/dev/null || echo 2)

targets=()
if [ -n "${FUZZ_TARGETS:-}" ]; then
    read -r -a targets <<<"$FUZZ_TARGETS"
else
    for src in fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets" >&2; exit 1; }

mkdir -p "$(dirname "$build")" "$artifacts"
log=$artifacts/build.log
echo "building ${#targets[@]} fuzz targets in $build"
if ! cmake -S . -B "$build" -DLUM_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug >"$log" 2>&1 ||
    ! cmake --build "$build" -j"$jobs" --target "${targets[@]}" >>"$log" 2>&1; then
    tail -40 "$log"
    echo "FUZZ: build failed (log: $log)"
    exit 1
fi

# A leak, an out-of-bounds access or undefined behaviour ends the run with a
# report and a non-zero status; the input that caused it is kept.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=()
for target in "${targets[@]}"; do
    name=${target%_fuzz}
    corpus=$corpora/$name
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null
    out=$artifacts/$name.log
    "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -detect_leaks=1 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$corpus" >"$out" 2>&1
    status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out" | tail -1)
    final=$(grep -E '^#[0-9]+[[:space:]]+(DONE|INITED)' "$out" | tail -1 |
        grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*')
    if [ $status -ne 0 ] || grep -qE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error:' "$out"; then
        failed+=("$name")
        printf '%-14s FAILED after %s executions (status %d)\n' "$name" "${execs:-?}" "$status"
        grep -E 'ERROR:|runtime error:|SUMMARY:|Test unit written' "$out" | head -6 | sed 's/^/    /'
        echo "    log: $out"
    else
        printf '%-14s %10s executions in %ss, %s, 0 crashes\n' "$name" "${execs:-?}" "$seconds" \
            "${final:-no coverage line}"
    fi
done

if [ ${#failed[@]} -eq 0 ]; then
    echo "FUZZ: ${#targets[@]} targets, no crash, leak or sanitizer report"
    exit 0
fi
echo "FUZZ: FAILED: ${failed[*]}"
exit 1
