#!/usr/bin/env bash
# The tool's main job on the bundled demo installation: builds Daltrix.exe, starts the SQL
# Server stand-in, lays out the demo in a Wine prefix and runs the conversion. With a display
# the operator clicks; without one the script runs on Xvfb (XVFB_DISPLAY, or the first free
# display from :90 on), clicks itself and takes a picture of each step the handbook shows, cut to
# the dialog. Everything it leaves is under DEMO_OUT (default out/demo).
#   tools/demo.sh          the x86 build, the one most sites take, under 32-bit Wine
#   tools/demo.sh --x64    the x64 build, under 64-bit Wine
#   --handbook             also takes the read-back's question in a second run and copies the
#                          handbook's pictures to docs/bilder/
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=${DEMO_OUT:-$top/out/demo}
started=$(date +%s)

arch=x86 build=build-win32 winearch=win32
handbook=0
for option in "$@"; do
  case $option in
    --x64) arch=x64 build=build-win64 winearch=win64 ;;
    --handbook) handbook=1 ;;
    *) echo "usage: tools/demo.sh [--x64] [--handbook]" >&2; exit 2 ;;
  esac
done

tools/setup.sh
# A kernel that runs no 32-bit code runs no x86 program under Wine: the demo shows the x64 one.
if [ $arch = x86 ] && (WINEPREFIX="$out/wineprefix-x86" WINEARCH=win32 && source tools/wine-env.sh && wine_x86_impossible); then
  echo "The x64 build instead." >&2
  arch=x64 build=build-win64 winearch=win64
fi
echo "Daltrix $arch ($build/Daltrix.exe)"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target Daltrix

rm -rf "$out"
mkdir -p "$out"
port=$(tools/standin.sh start "$out/standin")
source tools/xvfb.sh
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wine_stop >/dev/null 2>&1
  xvfb_stop
  tools/standin.sh stop "$out/standin"
  tools/standin.sh stop "$out/standin-question"
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
  xvfb_start
  echo "Xvfb on $DISPLAY"
fi
wine_start xvfb
demo/layout.sh "$WINEPREFIX" "$build/Daltrix.exe" "$port" "$out/work"
export ODBCSYSINI="$out/work/odbc" ODBCINI="$out/work/odbc/odbc.ini"

install="$WINEPREFIX/drive_c/Program Files/Varnik"
wine_run 'C:\Verktyg\Daltrix.exe' &
daltrix=$!

# The Daltrix dialog on the screen: waits for it and sets X, Y, WIDTH and HEIGHT to its place.
find_dialog() {
  window=""
  for _ in $(seq 1 300); do
    window=$(xdotool search --name 'Konvertera Varnik' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the Daltrix window did not appear" >&2; exit 1; }
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
}
# The picture of a step: the dialog alone, with whatever opened on top of it.
shot() {
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip "$out/$1.png"
  echo "screenshot: $out/$1.png"
}
# Dialog units of the template at the 8-point dialog font: 6 x 13 base units, so one unit is
# 1.5 pixels across and 1.625 down; the frame and caption come first.
px() { echo $((X + 4 + $1 * 3 / 2)); }
py() { echo $((Y + 27 + $1 * 13 / 8)); }
first_company() { xdotool mousemove "$(px 40)" "$(py 159)" mousemove_relative 0 24; }
start_and_convert_first_company() {
  xdotool mousemove "$(px 32)" "$(py 327)" click 1        # "Starta"
  sleep 4
  [ -z "${1:-}" ] || shot "$1"
  # The handbook's check first: the company's menu, then its first item, until the log ends it.
  if [ -n "${2:-}" ]; then
    first_company
    xdotool click 3
    sleep 1
    shot "$2"
    xdotool key Down Return
    for _ in $(seq 1 300); do
      grep -q "Kontrollen är klar" "$WINEPREFIX/drive_c/Verktyg/Daltrix.log" && break
      sleep 0.1
    done
    sleep 1
    shot "$3"
  fi
  first_company
  xdotool click --repeat 2 --delay 80 1
}

if [ $interactive = 1 ]; then
  echo "Daltrix runs on your display: click Starta, double-click a company, then Avbryt."
  wait $daltrix || true
else
  find_dialog
  # Wine lights up the column heading under the pointer's first place, the middle of the screen,
  # until the pointer moves off it.
  xdotool mousemove "$(px 300)" "$(py 164)" sleep 0.3 mousemove "$(px 300)" "$(py 240)" sleep 0.5
  shot 1-start
  start_and_convert_first_company 2-companies 6-company-menu 7-check
  for _ in $(seq 1 300); do
    [ -f "$install/tq0012.dsn" ] && break
    sleep 0.1
  done
  sleep 2
  shot 3-converted
  # A right-click on a log line: the line is selected and the menu opens beside it.
  xdotool mousemove "$(px 120)" "$(py 60)" click 3
  sleep 1
  shot 4-log-menu
  xdotool key Escape
  sleep 0.5
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
echo "Daltrix.log beside the program (C:\\Verktyg\\Daltrix.log):"
sed 's/\r$//; s/^\xEF\xBB\xBF//; s/^/    /' "$WINEPREFIX/drive_c/Verktyg/Daltrix.log"

# The question the read-back asks when Varnik_tqsys lacks something: a second conversion of a
# fresh demo, whose server drops the connection at company 3's insert.
question_picture() {
  tools/standin.sh stop "$out/standin"
  port=$(tools/standin.sh start "$out/standin-question" --drop-on "VALUES('3'")
  # The same program the first run used.
  cp "$WINEPREFIX/drive_c/Verktyg/Daltrix.exe" "$out/Daltrix.exe"
  rm -rf "$install" "$WINEPREFIX/drive_c/Verktyg"
  demo/layout.sh "$WINEPREFIX" "$out/Daltrix.exe" "$port" "$out/work-question"
  wine_run 'C:\Verktyg\Daltrix.exe' >/dev/null &
  daltrix=$!
  find_dialog
  start_and_convert_first_company
  local box=""
  for _ in $(seq 1 600); do
    box=$(xdotool search --name 'Konvertera Varnik' 2>/dev/null | grep -vx "$window" | head -n 1) && [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || { echo "the question did not appear" >&2; exit 1; }
  sleep 1
  shot 5-question
  xdotool key Return                                      # "Nej", the default
  sleep 1
  xdotool mousemove "$(px 95)" "$(py 327)" click 1        # "Avbryt"
  wait $daltrix || true
  tools/standin.sh stop "$out/standin-question"
}

if [ $handbook = 1 ] && [ $interactive = 0 ]; then
  question_picture
  mkdir -p docs/bilder
  for picture in 1-start 2-companies 3-converted 4-log-menu 5-question 6-company-menu 7-check; do
    cp "$out/$picture.png" docs/bilder/
  done
  echo "The handbook's pictures are in docs/bilder/"
fi
echo
echo "Done in $(( $(date +%s) - started )) s; everything is under $out"
