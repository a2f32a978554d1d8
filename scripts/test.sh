#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the whole test suite twice: once in a normal
# build with warnings as errors, once built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Then each fuzz target runs for 20 seconds, so that an input that crashes one fails the run.
# Each stage says what it does; the last line sums up the whole run, also when a stage failed.
set -euo pipefail
cd "$(dirname "$0")/.."

logs=build/test-logs
mkdir -p "$logs"
results=()
stage=""

begin() {
    stage=$1
    echo
    echo "=== $1 ==="
}

summary() {
    local status=$?
    local line
    line=$(IFS=';'; echo "${results[*]:-}" | sed 's/;/; /g')
    if [ "$status" -eq 0 ]; then
        echo "Summary: passed: ${line}"
    else
        echo "Summary: FAILED at ${stage:-the start}${line:+; before that: $line}"
    fi
}
trap summary EXIT

# "100% tests passed, 0 tests failed out of 349" -> "349 of 349 tests passed".
tests_passed() {
    sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$1" |
        tail -n 1 | { read -r failed total && echo "$((total - failed)) of $total tests passed"; }
}

begin "packages: installing the Debian packages the build needs"
scripts/install-deps.sh build

for preset in ci sanitize; do
    case $preset in
        ci) what="build with warnings as errors (g++)" ;;
        sanitize) what="build with AddressSanitizer and UndefinedBehaviorSanitizer (clang)" ;;
    esac
    begin "$preset: $what"
    cmake --preset "$preset"
    cmake --build --preset "$preset"

    begin "$preset: tests"
    status=0
    ctest --preset "$preset" 2>&1 | tee "$logs/$preset.log" || status=$?
    results+=("$preset $(tests_passed "$logs/$preset.log" || echo "tests did not finish")")
    [ "$status" -eq 0 ] || exit "$status"
done

begin "fuzz: each target for 20 seconds from its seeds and kept corpus"
scripts/fuzz.sh 20 | tee "$logs/fuzz.log"
results+=("fuzz $(grep -c ' runs, ' "$logs/fuzz.log") targets without a crash")
