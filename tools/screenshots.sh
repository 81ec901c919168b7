#!/bin/bash
# Takes pictures of the real program under Xvfb (XVFB_DISPLAY, or the first free display from
# :90 on), for a person to look at before a change lands:
# the main dialog as it starts, and with its About box open. They go to BUILD_DIR/screenshots.
# Then runs the dialog tests on this screen too: it is 1600x1000, so the dialog keeps its
# template size (on Wine's null driver's 1024x768 screen it does not fit) and the geometry
# checks that need that room run here.
#   tools/screenshots.sh [BUILD_DIR]     (default build-win32, the x86 build; build-win64 for x64)
# Exit code: the tests'.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root/build-win32}")
out=$build/screenshots
mkdir -p "$out"

source "$root/tools/xvfb.sh"
xvfb_start
export WINEPREFIX=$build/wineprefix-xvfb
source "$root/tools/wine-env.sh"
WINEARCH=$(wine_arch_of "$build/Daltrix.exe")
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    wine_stop
    xvfb_stop
}
trap cleanup EXIT

wine_start xvfb

window_of() {  # caption
    for _ in $(seq 100); do
        local id
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

wine_call "$build/Daltrix.exe" </dev/null >/dev/null 2>&1 &
program=$!
main=$(window_of 'Konvertera Varnik Lön till version 3.x')
sleep 1
import -window root "$out/main.png"
xdotool getwindowgeometry "$main" | sed 's/^/main dialog: /'

# Alt+Space opens the system menu; the About box is its item before the last, the restore.
xdotool windowfocus --sync "$main" key --window "$main" alt+space
sleep 0.5
xdotool key Up Up Return
if window_of 'About Daltrix' >/dev/null; then
    sleep 0.5
    import -window root "$out/about.png"
    xdotool key Escape || true
    sleep 0.5
else
    echo "the About box did not open" >&2
fi
echo "pictures in $out"

# Escape ends the program; it is stopped by force only if it does not.
xdotool windowfocus --sync "$main" key Escape || true
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
    echo "Daltrix.exe did not end on Escape" >&2
    kill "$program"
fi
wait "$program" 2>/dev/null || true
program=

wine_run "$build/dialog_win32_test.exe" | grep -E "^\[  (SKIPPED|FAILED|PASSED) |Failure|^  "
