#!/usr/bin/env bash
# Starts Quorvane under a virtual X display in a small folder of sample files, with settings of
# its own (the user's settings are not touched), and saves a picture of the main window.
#   scripts/screenshot.sh [OUTPUT.png] [PROGRAM]
# OUTPUT defaults to build/screenshots/main-window.png; PROGRAM to the installed quorvane.
# Set QV_SCREENSHOT_WAIT to the seconds to wait for the window to settle (default 2).
#
#   scripts/screenshot.sh --states [FOLDER] [WINDOW_PICTURES]
# saves pictures of the main window in the same sample folder in states that need the program's
# help to reach: details.png, large-icons.png, progress.png and progress-resized.png (the
# progress bars raised while a file is being encrypted). FOLDER defaults to build/screenshots;
# WINDOW_PICTURES to the window_pictures tool of the first build found.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

states=false
if [ "${1:-}" = "--states" ]; then
    states=true
    shift
fi

if $states; then
    output=${1:-build/screenshots}
    program=${2:-}
    if [ -z "$program" ]; then
        for preset in release dev ci; do
            if [ -x "build/$preset/tools/window_pictures" ]; then
                program=build/$preset/tools/window_pictures
                break
            fi
        done
    fi
    [ -n "$program" ] || { echo "window_pictures is not built; give its path" >&2; exit 2; }
else
    output=${1:-build/screenshots/main-window.png}
    program=${2:-$(command -v quorvane || true)}
    [ -n "$program" ] || { echo "quorvane is not installed; give the program's path" >&2; exit 2; }
fi
program=$(realpath "$program")
register=
for candidate in "$(dirname "$program")/quorvane-register" \
    "$(dirname "$program")/../shell/quorvane-register"; do
    [ -x "$candidate" ] && { register=$candidate; break; }
done
[ -n "$register" ] || register=$(command -v quorvane-register || true)
[ -n "$register" ] || { echo "quorvane-register not found beside $program" >&2; exit 2; }

scripts/install-deps.sh screenshot

if $states; then
    mkdir -p "$output"
else
    mkdir -p "$(dirname "$output")"
fi
output=$(realpath "$output")
work=$(mktemp -d)
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The sample folder: a few plain files (one hidden, one read-only), three crypted ones and two
# subfolders, written at different times.
samples="$work/Documents"
mkdir -p "$samples/Letters" "$samples/Photos"
printf 'Dear Ann,\nthe keys are under the mat.\n' > "$samples/letter.txt"
head -c 409600 /dev/urandom > "$samples/report.pdf"
head -c 3000 /dev/urandom > "$samples/photo.jpg"
printf '[view]\nzoom=2\n' > "$samples/.settings"
printf '# Minutes\n' > "$samples/minutes.md"
chmod a-w "$samples/minutes.md"
printf 'QV98%s' "$(head -c 60 /dev/urandom | base64)" > "$samples/budget.xls.cry"
printf 'QV9C%s' "$(head -c 90 /dev/urandom | base64)" > "$samples/diary.doc.cry"
printf 'QV9B%s' "$(head -c 400 /dev/urandom | base64)" > "$samples/OLD-TAXES.CRY"
touch -d '2019-04-30 17:45:12' "$samples/OLD-TAXES.CRY" "$samples/photo.jpg"
touch -d '2023-11-02 08:05:59' "$samples/letter.txt" "$samples/budget.xls.cry"

export QUORVANE_REGISTRY="$work/registry.reg"
"$register" --registry "$QUORVANE_REGISTRY" --quiet

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

if $states; then
    (cd "$samples" && "$program" "$output") || { echo "window_pictures failed" >&2; exit 1; }
    exit 0
fi

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
