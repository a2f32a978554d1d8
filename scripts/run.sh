#!/usr/bin/env bash
# Installs what Quorvane needs, builds it, installs it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake --preset release
cmake --build --preset release
ctest --test-dir build/release -R 'CipherDifferential' --output-on-failure

# Until the desktop program takes over here: a round trip through quorvane-cli on a temporary
# file, with the password handed over in an environment variable.
cli=build/release/cli/quorvane-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'Quorvane round trip, %s\n' "$(date)" > "$work/sample.txt"
cp "$work/sample.txt" "$work/expected.txt"
export QUORVANE_DEMO_PASSWORD=demo-password
"$cli" encrypt --verbose --password-env QUORVANE_DEMO_PASSWORD "$work/sample.txt"
"$cli" info "$work/sample.txt.cry"
"$cli" decrypt --verbose --password-env QUORVANE_DEMO_PASSWORD "$work/sample.txt.cry"
cmp "$work/sample.txt" "$work/expected.txt"
echo "quorvane-cli: round trip OK"
