#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan and UBSan), writes their seed inputs and
# runs each target for a while.
#   fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target, 20 by default; every target unless some are named. Each target works on
# build/fuzz/corpus/TARGET, which is kept between runs so that a longer run builds on the
# earlier ones, and reads the seeds in build/fuzz/seeds/TARGET. An input that crashes a target
# is saved as build/fuzz/crashes/TARGET-crash-* (or -timeout-, -oom-, -leak-); replay it with
# build/fuzz/fuzz/TARGET FILE. Exits non-zero when any target found one.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(fuzz_crypt_reader fuzz_database fuzz_settings)
seconds=${1:-20}
[ $# -gt 0 ] && shift
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS] [TARGET...]   targets: ${all_targets[*]}" >&2
    exit 2
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
    if [[ " ${all_targets[*]} " != *" $target "* ]]; then
        echo "$0: unknown target $target (targets: ${all_targets[*]})" >&2
        exit 2
    fi
done

build=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# The seeds are written afresh, so that none outlive the test that makes them.
rm -rf "$build/seeds"
QUORVANE_FUZZ_SEEDS="$PWD/$build/seeds" "$build/tests/fuzz/fuzz_seeds_tests" --gtest_brief=1

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

mkdir -p "$build/crashes" "$build/logs"
failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus"
    echo "--- $target: $seconds s"
    status=0
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 \
        "$corpus" "$build/seeds/$target" >"$log" 2>&1 || status=$?

    # libFuzzer's last status line: "#RUNS  DONE  cov: N ft: N corp: N/SIZE ... exec/s: N ...".
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
    [ -n "$runs" ] || runs=$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$last")
    rate=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$log" | tail -n 1)
    [ -n "$rate" ] || rate=$(sed -nE 's/.*exec\/s: *([0-9]+).*/\1/p' <<<"$last")
    corp=$(sed -nE 's/.*corp: *([0-9]+\/[0-9A-Za-z]+).*/\1/p' <<<"$last")
    cov=$(sed -nE 's/.*cov: *([0-9]+).*/\1/p' <<<"$last")
    ft=$(sed -nE 's/.*ft: *([0-9]+).*/\1/p' <<<"$last")
    echo "$target: ${runs:-?} runs, ${rate:-?} exec/s, corpus ${corp:-?} (inputs/size)," \
        "coverage ${cov:-?} edges, ${ft:-?} features"

    if [ "$status" -ne 0 ]; then
        crash=$(sed -nE 's/.*Test unit written to (.*)$/\1/p' "$log" | tail -n 1)
        echo "$target FOUND A CRASH (exit $status): ${crash:-no input saved}; log $log" >&2
        [ -n "$crash" ] && echo "  replay: $build/fuzz/$target $crash" >&2
        grep -E '==fuzz finding==|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error:' \
            "$log" | head -n 5 >&2 || true
        failed+=("$target${crash:+ ($crash)}")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found crashes in: ${failed[*]}" >&2
    exit 1
fi
