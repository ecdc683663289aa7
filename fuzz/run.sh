#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS (default 60), starting
# from the committed seeds and regressions and keeping what it learns in $FUZZ_BUILD/corpus.
# Any crash, leak, timeout, out-of-memory or sanitizer report fails the run; the input that
# caused it is left in $FUZZ_BUILD/artifacts/<target>/.
#   FUZZ_TARGETS="roi voi"  runs only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
timeout=${FUZZ_TIMEOUT:-25}

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOCELLE_FUZZ=ON \
    -DVOCELLE_BUILD_TESTS=OFF -DVOCELLE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target fuzz_all

targets=${FUZZ_TARGETS:-$(tr ';' ' ' <"$build/fuzz_targets.txt")}
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in $targets; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    dict="fuzz/dict/$target.dict"
    [ -f "$dict" ] || dict="fuzz/dict/${target%%_*}.dict"
    seeds=(fuzz/corpus/"$target")
    [ -d fuzz/regressions/"$target" ] && seeds+=(fuzz/regressions/"$target")

    status=ok
    "$build/bin/fuzz_$target" -dict="$dict" -rss_limit_mb=2048 -malloc_limit_mb=512 \
        -max_total_time="$seconds" -timeout="$timeout" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=FAILED
    echo "fuzz_$target: $status, $(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1) runs"
    if [ "$status" != ok ]; then
        failed+=("$target")
        grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -5 || true
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]} (inputs in $build/artifacts/, logs in $build/logs/)" >&2
    exit 1
fi
