#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the whole test suite twice: once in a normal
# build with warnings as errors, once built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build

for preset in ci sanitize; do
    echo "=== $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
