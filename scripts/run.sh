#!/usr/bin/env bash
# Installs what Quorvane needs, builds it, installs it, gives the user the first settings when
# the user has none, and starts the main window.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

scripts/install-deps.sh run
cmake --preset release
cmake --build --preset release
"${sudo[@]}" cmake --install build/release

# The registry of the user who runs this; an existing one is kept as it is.
quorvane=$(command -v quorvane || echo /usr/local/bin/quorvane)
"$(dirname "$quorvane")/quorvane-register"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvane is installed, but there is no display to show its window on" >&2
    echo "(neither DISPLAY nor WAYLAND_DISPLAY is set). Start it from a desktop session with:" >&2
    echo "    quorvane" >&2
    echo "or look at it without a desktop: scripts/screenshot.sh" >&2
    exit 1
fi
exec "$quorvane"
