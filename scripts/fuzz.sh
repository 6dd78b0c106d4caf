#!/usr/bin/env bash
# Builds the libFuzzer targets of the window-free logic (build-fuzz/, clang
# with AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for
# SECONDS (default 60) from its committed starting inputs in tests/fuzz/corpus/.
# Inputs found on the way collect in build-fuzz/corpus/; a failing input is
# saved in build-fuzz/crashes/ and the command to replay it is printed.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
case $seconds in
    '' | *[!0-9]* | 0) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;;
esac
targets=(fuzz_ranges fuzz_stored fuzz_tip fuzz_device fuzz_location)
out=build-fuzz

cmake -S tests/fuzz -B "$out" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

failed=0
for t in "${targets[@]}"; do
    mkdir -p "$out/corpus/$t" "$out/crashes"
    log="$out/$t.log"
    # The first folder collects new inputs; the committed ones are only read.
    if "$out/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$t-" "$out/corpus/$t" "tests/fuzz/corpus/$t" \
        >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "$t: ${runs:-?} inputs in ${seconds} s, no fault"
    else
        failed=1
        echo "$t: FAULT (log: $log)"
        grep -E 'property failed|ERROR: |SUMMARY: |Test unit written' "$log" || tail -n 20 "$log"
        for f in "$out/crashes/$t-"*; do
            [ -e "$f" ] && echo "  replay: $out/$t $f"
        done
    fi
done
exit "$failed"
