#!/usr/bin/env bash
# Runs a whole-conversion test program (conversion_win32_test, legacy_win32_test) as the operator
# runs the tool: from C:\Verktyg\ of a Wine prefix laid out by demo/layout.sh, with a SQL Server
# stand-in of its own behind the company DSNs.
#   run_conversion_test.sh TEST.exe WORKDIR [--old-system OLD] [GTEST ARGS...]
# WORKDIR keeps the prefix (made once, 6 to 10 s, win32 or win64 as the program needs), the
# layout and the stand-in; each run lays out the demo and starts the stand-in afresh, since a
# conversion changes both.
# OLD says where the old system database lies: sqlite (the demo's own, the default), or
# postgresql-ansi, postgresql-unicode or mariadb: a real server this script starts, loads with the
# demo's data and stops, which the tqsys.dsn in C:\Verktyg\ reaches through that driver.
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${1:?the test program}
work=${2:?a work folder}
shift 2
old=sqlite
if [ "${1:-}" = --old-system ]; then
    old=${2:?the old system}
    shift 2
fi
exe=$(realpath "$exe")
mkdir -p "$work"
work=$(realpath "$work")

export WINEPREFIX="$work/wineprefix"
source "$top/tools/wine-env.sh" || exit 1
WINEARCH=$(wine_arch_of "$exe") || exit 1
wine_x86_impossible && exit $WINE_SKIPPED
# Every wine call is bounded; the test's own waits end well before this.
export WINE_TIMEOUT=${WINE_TIMEOUT:-300}
wine_run="$top/tools/wine-run.sh"
standin="$work/standin"
# A second stand-in that drops the connection at the insert of company 7 ("Öresunds Frakt HB").
dropping="$work/standin-dropping"
servers=""
source "$top/tools/conversion-bed.sh" || exit 1

cleanup() {
    "$wine_run" --stop
    bed_standin_stop "$standin"
    bed_standin_stop "$dropping"
    bed_old_system_stop
    [ -n "$servers" ] && rm -rf "$servers"
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
export DALTRIX_OLD_SYSTEM=${old%%-*}
if [ "$old" != sqlite ]; then
    # The server runs as its own user, which must reach its folder: /tmp, not WORKDIR's tree.
    servers=$(mktemp -d /tmp/daltrix-servers-XXXXXX) && chmod 755 "$servers" || exit 1
    case $old in
        postgresql-ansi) driver="PostgreSQL ANSI(x64)" ;;
        postgresql-unicode) driver="PostgreSQL Unicode(x64)" ;;
        mariadb) driver="MariaDB ODBC 3.1 Driver" ;;
        *) echo "unknown old system: $old" >&2; exit 2 ;;
    esac
    bed_old_system "$DALTRIX_OLD_SYSTEM" "$driver" "$servers" || exit 1
fi

started=$(date +%s)
# In the background, so that a signal reaches the traps at once, not when the program has ended.
"$wine_run" "C:\\Verktyg\\$(basename "$exe")" "$@" &
wait $!
status=$?
echo "$(basename "$exe") ($old): exit code $status after $(($(date +%s) - started)) s" \
    "(stand-in log: $standin/standin.log)"
exit $status
