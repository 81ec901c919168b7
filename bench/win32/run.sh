#!/usr/bin/env bash
# Runs the Windows benchmarks of a build under Wine on an Xvfb screen of their own (the log list
# view really repaints there) and prints their figures as rows of the results table,
# "| figure | measured | target | met |", on stdout; what they report on the way goes to stderr.
# Builds nothing. The prefix, the stand-in and the laid-out installation stay under
# BUILD_DIR/bench-win32 (a fresh prefix is slow to make; later runs reuse it).
#   bench/win32/run.sh BUILD_DIR
# Settings: COMPANIES (10000) and PAIRS (1, shown and hidden runs each) for the repeated run,
# ADDLOG_DIALOGS (5) for AddLog, STARTS (11, each program) for the start-up.
# Exit code: 0 when every benchmark ran, whether or not its figure met its target.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(realpath "${1:?usage: bench/win32/run.sh BUILD_DIR}")
bin=$build/bench/win32
companies=${COMPANIES:-10000}
pairs=${PAIRS:-1}
dialogs=${ADDLOG_DIALOGS:-5}
starts=${STARTS:-11}
began=$SECONDS

for program in "$build/Daltrix.exe" "$bin/bare_dialog.exe" "$bin/startup_win32_bench.exe" \
    "$bin/addlog_win32_bench.exe" "$bin/conversion_win32_bench.exe"; do
    [ -f "$program" ] || { echo "no $program: build the Windows benchmarks first" >&2; exit 1; }
done

work=$build/bench-win32
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix
source "$top/tools/wine-env.sh" || exit 1
# The x86 build under the 32-bit Wine, as its tests run.
WINEARCH=$(wine_arch_of "$build/Daltrix.exe") || exit 1
source "$top/tools/conversion-bed.sh" || exit 1
standin=$work/standin

source "$top/tools/xvfb.sh" || exit 1

cleanup() {
    wine_stop
    bed_standin_stop "$standin"
    xvfb_stop
    echo "bench/win32/run.sh: $((SECONDS - began)) s in all" >&2
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

xvfb_start || exit 1
wine_start xvfb || { echo "the Wine prefix $WINEPREFIX did not start" >&2; exit 1; }

status=0
# Runs one benchmark under Wine: its figure rows to stdout, everything else it wrote to stderr.
run_benchmark() {
    local name=$1 started=$SECONDS output code
    shift
    echo "$name ..." >&2
    output=$(wine_run "$@")
    code=$?
    grep '^| ' <<<"$output"
    grep -v '^| ' <<<"$output" | sed "s/^/  /" >&2
    echo "$name: exit code $code after $((SECONDS - started)) s" >&2
    [ "$code" -eq 0 ] || status=1
}

# Start-up: both programs from one folder of the prefix.
mkdir -p "$WINEPREFIX/drive_c/bench"
cp "$build/Daltrix.exe" "$bin/bare_dialog.exe" "$WINEPREFIX/drive_c/bench/"
run_benchmark start-up "$bin/startup_win32_bench.exe" 'C:\bench\Daltrix.exe' 'C:\bench\bare_dialog.exe' "$starts"

# A dialog's 20,000 lines take a second or two; its medians sit at one of two levels from
# dialog to dialog, and the least of five is the list's own cost.
WINE_TIMEOUT=3600 run_benchmark AddLog "$bin/addlog_win32_bench.exe" "$dialogs"

# The repeated run: a stand-in of its own, and the demo grown to the number of companies.
if port=$(bed_standin_start "$standin") && bed_layout "$bin/conversion_win32_bench.exe" "$port" "$work/layout" &&
    python3 "$here/grow_demo.py" "$work/layout/old-system.db" "$WINEPREFIX/drive_c/Verktyg" "$companies"; then
    WINE_TIMEOUT=3600 run_benchmark "repeated run" 'C:\Verktyg\conversion_win32_bench.exe' "$companies" "$pairs"
else
    echo "the repeated run's installation or stand-in could not be prepared" >&2
    status=1
fi
exit $status
