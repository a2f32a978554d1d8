#!/usr/bin/env bash
# Installs what Quorvane needs, builds it, installs it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake --preset release
cmake --build --preset release
ctest --test-dir build/release -R 'CipherDifferential' --output-on-failure
