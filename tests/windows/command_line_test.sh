#!/usr/bin/env bash
# Daltrix.exe's verbs as a script runs them: each run of the real program from C:\Verktyg\ of the
# demo installation, with a stand-in of its own, checked by the exit code Wine hands back and by
# the last lines the run left in C:\Verktyg\Daltrix.log. The runs build on each other: a check, a
# conversion, a stale Varnik_tqsys, and the way back.
#   command_line_test.sh Daltrix.exe WORKDIR libstop_before_rename.so
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$(realpath "${1:?Daltrix.exe}")
work=$(realpath -m "${2:?a work folder}")
# The native build's library that stops Wine's server before a rename (tests/CMakeLists.txt).
stop_library=$(realpath "${3:?libstop_before_rename.so}")
mkdir -p "$work"

export WINEPREFIX="$work/wineprefix"
source "$top/tools/wine-env.sh" || exit 1
WINEARCH=$(wine_arch_of "$exe") || exit 1
wine_x86_impossible && exit $WINE_SKIPPED
# A run that hangs ends long before ctest's timeout.
export WINE_TIMEOUT=120
source "$top/tools/conversion-bed.sh" || exit 1
standin="$work/standin-command-line"
trap 'wine_stop; bed_standin_stop "$standin"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

port=$(bed_standin_start "$standin") || exit 1
wine_start null || { echo "the Wine prefix $WINEPREFIX did not start" >&2; exit 1; }
bed_layout "$exe" "$port" "$work/layout-command-line" || exit 1
tool="$WINEPREFIX/drive_c/Verktyg"
install="$WINEPREFIX/drive_c/Program Files/Varnik"
laid_out="$work/installation-as-laid-out"
rm -rf "$laid_out" && cp -a "$install" "$laid_out" || exit 1

failed=0
# Runs the program with ARGS and compares its exit code and the log's last two lines, their
# numbers left off: the line that tells the outcome, then the closing line naming the code.
verb() {  # exit code, the line before the last, ARGS...
    local code=$1 line=$2 status last
    shift 2
    (cd "$tool" && wine_call 'C:\Verktyg\Daltrix.exe' "$@" </dev/null >/dev/null 2>&1)
    status=$?
    last=$(tail -n 2 "$tool/Daltrix.log" | sed 's/\r$//' | cut -c5-)
    if [ "$status" = "$code" ] && [ "$last" = "$line"$'\n'"Daltrix avslutas med slutkod $code" ]; then
        echo "ok      $* -> $status"
    else
        echo "FAILED  $*: exit code $status, expected $code; the log ends:"
        echo "$last" | sed 's/^/          /'
        failed=$((failed + 1))
    fi
}
# The installation folder as the layout made it, byte for byte.
installation_as_laid_out() {  # after what
    if diff -r "$laid_out" "$install" >/dev/null; then
        echo "ok      the installation folder is as laid out $1"
    else
        echo "FAILED  the installation folder changed $1:"
        diff -r "$laid_out" "$install" | sed 's/^/          /'
        failed=$((failed + 1))
    fi
}
# A conversion killed just before tqsys.dsn gets its new file: Wine's server, which renames files
# for the program, runs with a library that kills it there (the program dies with it). The
# product's own tqsys.dsn must still be there, whole.
killed_before_tqsys_dsn_is_replaced() {
    local mark="$work/stopped-before-rename"
    rm -f "$mark"
    wine_stop
    LD_PRELOAD="$stop_library" DALTRIX_STOP_BEFORE_RENAME_TO=tqsys.dsn DALTRIX_STOP_MARK="$mark" \
        timeout 60 wineserver -p </dev/null >/dev/null 2>&1
    wine_call cmd /c exit </dev/null >/dev/null 2>&1
    (cd "$tool" && wine_call 'C:\Verktyg\Daltrix.exe' /konvertera 7 </dev/null >/dev/null 2>&1)
    wine_stop
    wine_start null || { echo "the Wine prefix $WINEPREFIX did not start again" >&2; exit 1; }
    if [ ! -e "$mark" ]; then
        echo "FAILED  the conversion was not stopped before tqsys.dsn was replaced"
        failed=$((failed + 1))
    elif cmp -s "$laid_out/tqsys.dsn" "$install/tqsys.dsn"; then
        echo "ok      killed before tqsys.dsn was replaced, the product's own is there whole"
    else
        echo "FAILED  killed before tqsys.dsn was replaced, the product's own is not there whole"
        failed=$((failed + 1))
    fi
}
# The stand-in's Varnik_tqsys through the driver the tool uses, as a DBA would change it.
server_sql() {
    echo "$1" | isql -b -k "DRIVER={SQL Server};SERVER=127.0.0.1;PORT=$port;UID=varnik;PWD=Demo-Losen-2026;TDS_Version=7.4;DATABASE=Varnik_tqsys" >/dev/null
}

started=$(date +%s)
verb 0 "Kontrollen är klar: inga hinder. Företag 7 kan konverteras." /Kontrollera 7
installation_as_laid_out "after the check"
verb 2 "Företag 99 finns inte i listan" -konvertera 99
verb 2 "Fel på kommandoraden: okänt argument /bogus. Daltrix.exe /? visar hur programmet körs från kommandoraden." /bogus
killed_before_tqsys_dsn_is_replaced
verb 0 "Klart! Klicka Avsluta" /KONVERTERA 7
verb 1 "Återställer inte: frågan besvarades Nej" /aterstall
server_sql "UPDATE TQ_FORETAG SET Namn = 'Annat namn AB' WHERE Nummer = 7" || { echo "FAILED  the stand-in took no update"; failed=$((failed + 1)); }
verb 1 "Konverteringen avbröts. Inga filer i C:\\Program Files\\Varnik har ändrats." /konvertera 7
verb 3 "Klart! Klicka Avsluta" /konvertera 7 -JA
verb 0 "Återställt: Varnik Lön använder åter sin egen tqsys.dsn. Varnik_tqsys finns kvar på servern." /aterstall /ja
if cmp -s "$laid_out/tqsys.dsn" "$install/tqsys.dsn" && [ ! -e "$install/Daltrix-sparade.txt" ]; then
    echo "ok      tqsys.dsn is back as laid out, and nothing is left to put back"
else
    echo "FAILED  tqsys.dsn is not back as laid out"
    failed=$((failed + 1))
fi
echo "$(basename "$exe") ($WINEARCH): $failed failed, the runs took $(($(date +%s) - started)) s"
[ $failed = 0 ]
