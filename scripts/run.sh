#!/usr/bin/env bash
# Installs what Quorvane needs, builds it, installs it, gives the user the first settings when
# the user has none, and starts the main window. Without a display it says how to start the
# program later and ends with success: the installation is what was asked for.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

scripts/install-deps.sh run
cmake --preset release
cmake --build --preset release
"${sudo[@]}" cmake --install build/release

# The registry of the user who runs this; an existing one is kept as it is.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' build/release/CMakeCache.txt)
quorvane=${prefix:-/usr/local}/bin/quorvane
"$(dirname "$quorvane")/quorvane-register"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvane is installed, but there is no display to show its window on"
    echo "(neither DISPLAY nor WAYLAND_DISPLAY is set). Start it from a desktop session with:"
    echo "    quorvane"
    echo "or look at it without a desktop: scripts/screenshot.sh"
    exit 0
fi
exec "$quorvane"
