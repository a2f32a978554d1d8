#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the whole test suite twice: once in a normal
# build with warnings as errors, once built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Then each fuzz target runs for 20 seconds, so that an input that crashes one fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build

for preset in ci sanitize; do
    echo "=== $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

# Then each fuzz target for 20 seconds from its seeds and its kept corpus (scripts/fuzz.sh).
echo "=== fuzz ==="
scripts/fuzz.sh 20
