#!/usr/bin/env bash
# The tool's main job on the bundled demo installation: builds Daltrix.exe, starts the SQL
# Server stand-in, lays out the demo in a Wine prefix and runs the conversion. With a display
# the operator clicks; without one the script runs on Xvfb, clicks itself and takes a screenshot
# of each step. Everything it leaves is under DEMO_OUT (default out/demo).
#   tools/demo.sh          the x86 build, the one most sites take, under 32-bit Wine
#   tools/demo.sh --x64    the x64 build, under 64-bit Wine
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=${DEMO_OUT:-$top/out/demo}
started=$(date +%s)

case ${1:-} in
  "") arch=x86 build=build-win32 winearch=win32 ;;
  --x64) arch=x64 build=build-win64 winearch=win64 ;;
  *) echo "usage: tools/demo.sh [--x64]" >&2; exit 2 ;;
esac
echo "Daltrix $arch ($build/Daltrix.exe)"

tools/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target Daltrix

rm -rf "$out"
mkdir -p "$out"
port=$(tools/standin.sh start "$out/standin")
xvfb_pid=""
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wine_stop >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  tools/standin.sh stop "$out/standin"
}
trap cleanup EXIT
echo "SQL Server stand-in (test fixture) on 127.0.0.1:$port"

# Of this build's own: an x86 and an x64 program never share a prefix.
export WINEPREFIX="$out/wineprefix-$arch" WINEARCH=$winearch
export WINE_TIMEOUT=600
source tools/wine-env.sh
interactive=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  interactive=1
else
  export DISPLAY=:$((90 + RANDOM % 9))
  Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
wine_start xvfb
demo/layout.sh "$WINEPREFIX" "$build/Daltrix.exe" "$port" "$out/work"
export ODBCSYSINI="$out/work/odbc" ODBCINI="$out/work/odbc/odbc.ini"

install="$WINEPREFIX/drive_c/Program Files/Varnik"
wine_run 'C:\Verktyg\Daltrix.exe' &
daltrix=$!

if [ $interactive = 1 ]; then
  echo "Daltrix runs on your display: click Starta, double-click a company, then Avbryt."
  wait $daltrix || true
else
  window=""
  for _ in $(seq 1 300); do
    window=$(xdotool search --name 'Konvertera Varnik' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the Daltrix window did not appear" >&2; exit 1; }
  sleep 1
  shot() { import -window root "$out/$1.png"; echo "screenshot: $out/$1.png"; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # Dialog units of the template at the 8-point dialog font: 6 x 13 base units, so one unit is
  # 1.5 pixels across and 1.625 down; the frame and caption come first.
  px() { echo $((X + 4 + $1 * 3 / 2)); }
  py() { echo $((Y + 27 + $1 * 13 / 8)); }
  shot 1-start
  xdotool mousemove "$(px 32)" "$(py 327)" click 1        # "Starta"
  sleep 4
  shot 2-companies
  xdotool mousemove "$(px 40)" "$(py 159)" mousemove_relative 0 24 click --repeat 2 --delay 80 1  # first company row
  for _ in $(seq 1 300); do
    [ -f "$install/tq0012.dsn" ] && break
    sleep 0.1
  done
  sleep 2
  shot 3-converted
  xdotool mousemove "$(px 95)" "$(py 327)" click 1        # "Avbryt"
  wait $daltrix || true
fi

echo
echo "Installation folder C:\\Program Files\\Varnik ($install):"
ls -l "$install"
echo
echo "New tqsys.dsn:"
sed 's/\r$//' "$install/tqsys.dsn" | iconv -f latin1 -t utf-8 | sed 's/^/    /'
echo
echo "Varnik_tqsys on the stand-in:"
python3 - "$out/standin/data/Varnik_tqsys.sqlite" <<'PY'
import sqlite3, sys
con = sqlite3.connect(sys.argv[1])
for table in ("TQ_FORETAG", "TQ_PARAMETRAR"):
    print("  " + table)
    for row in con.execute("SELECT * FROM " + table):
        print("    " + " | ".join("NULL" if v is None else str(v).rstrip() for v in row))
PY
echo
echo "Done in $(( $(date +%s) - started )) s; everything is under $out"
