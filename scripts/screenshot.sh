#!/usr/bin/env bash
# Starts Quorvane under a virtual X display in a small folder of sample files, with settings of
# its own (the user's settings are not touched), and saves a picture of the main window.
#   scripts/screenshot.sh [OUTPUT.png] [PROGRAM]
# OUTPUT defaults to build/screenshots/main-window.png; PROGRAM to the installed quorvane.
# Set QV_SCREENSHOT_WAIT to the seconds to wait for the window to settle (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

output=${1:-build/screenshots/main-window.png}
program=${2:-$(command -v quorvane || true)}
[ -n "$program" ] || { echo "quorvane is not installed; give the program's path" >&2; exit 2; }
program=$(realpath "$program")
register=$(dirname "$program")/quorvane-register
[ -x "$register" ] || register=$(command -v quorvane-register || true)
[ -n "$register" ] || { echo "quorvane-register not found beside $program" >&2; exit 2; }

scripts/install-deps.sh screenshot

mkdir -p "$(dirname "$output")"
output=$(realpath "$output")
work=$(mktemp -d)
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The sample folder: a few plain files, two crypted ones and a subfolder.
samples="$work/Documents"
mkdir -p "$samples/Letters" "$samples/Photos"
printf 'Dear Ann,\nthe keys are under the mat.\n' > "$samples/letter.txt"
head -c 20480 /dev/urandom > "$samples/report.pdf"
head -c 3000 /dev/urandom > "$samples/photo.jpg"
printf 'QV98%s' "$(head -c 60 /dev/urandom | base64)" > "$samples/budget.xls.cry"
printf 'QV9C%s' "$(head -c 90 /dev/urandom | base64)" > "$samples/diary.doc.cry"

export QUORVANE_REGISTRY="$work/registry.reg"
"$register" --registry "$QUORVANE_REGISTRY" --quiet

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

(cd "$samples" && exec "$program") >"$work/program.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2>/dev/null |
        awk '/"Quorvane 95 \( IDEA \)"/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear" >&2; cat "$work/program.log" >&2; exit 1; }
sleep "${QV_SCREENSHOT_WAIT:-2}"
import -window "$window" "$output"
echo "Saved $output"
