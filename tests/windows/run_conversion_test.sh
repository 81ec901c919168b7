#!/usr/bin/env bash
# Runs a whole-conversion test program (conversion_win32_test, legacy_win32_test) as the operator
# runs the tool: from C:\Verktyg\ of a Wine prefix laid out by demo/layout.sh, with a SQL Server
# stand-in of its own behind the company DSNs.
#   run_conversion_test.sh TEST.exe WORKDIR [GTEST ARGS...]
# WORKDIR keeps the prefix (made once, 6 to 10 s, win32 or win64 as the program needs), the
# layout and the stand-in; each run lays out the demo and starts the stand-in afresh, since a
# conversion changes both.
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${1:?the test program}
work=${2:?a work folder}
shift 2
exe=$(realpath "$exe")
mkdir -p "$work"
work=$(realpath "$work")

export WINEPREFIX="$work/wineprefix"
source "$top/tools/wine-env.sh" || exit 1
WINEARCH=$(wine_arch_of "$exe") || exit 1
# Every wine call is bounded; the test's own waits end well before this.
export WINE_TIMEOUT=${WINE_TIMEOUT:-300}
wine_run="$top/tools/wine-run.sh"
standin="$work/standin"
# A second stand-in that drops the connection at the insert of company 7 ("Öresunds Frakt HB").
dropping="$work/standin-dropping"
source "$top/tools/conversion-bed.sh" || exit 1

cleanup() {
    "$wine_run" --stop
    bed_standin_stop "$standin"
    bed_standin_stop "$dropping"
}
trap cleanup EXIT
# ctest ends a test that runs too long with a signal: the server and the stand-in go as well.
trap 'exit 130' INT
trap 'exit 143' TERM

port=$(bed_standin_start "$standin") || exit 1
DALTRIX_DROPPING_STANDIN_PORT=$(bed_standin_start "$dropping" --drop-on "Frakt HB") || exit 1
export DALTRIX_DROPPING_STANDIN_PORT
"$wine_run" --start null || { echo "the Wine prefix $WINEPREFIX did not start" >&2; exit 1; }
bed_layout "$exe" "$port" "$work/layout" || exit 1
# Wine's drive Z: is the Unix root.
export DALTRIX_DEMO_SQL="Z:${top//\//\\}\\demo\\old-system.sql"

started=$(date +%s)
# In the background, so that a signal reaches the traps at once, not when the program has ended.
"$wine_run" "C:\\Verktyg\\$(basename "$exe")" "$@" &
wait $!
status=$?
echo "$(basename "$exe"): exit code $status after $(($(date +%s) - started)) s (stand-in log: $standin/standin.log)"
exit $status
