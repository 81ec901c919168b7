#!/usr/bin/env bash
# The checks tools/wine-env.sh makes before it starts a prefix, on prefixes made of the files
# those checks read, and the architecture it reads from a program's PE header. Runs no Wine.
set -u
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix
source "$top/tools/wine-env.sh" || exit 1

failed=0
check() {  # description, expected answer (yes/no), command...
    local description=$1 expected=$2 answer=no
    shift 2
    "$@" 2>/dev/null && answer=yes
    if [ "$answer" = "$expected" ]; then
        echo "ok      $description"
    else
        echo "FAILED  $description: $answer, expected $expected"
        failed=$((failed + 1))
    fi
}

prefix() {  # recorded architecture, "syswow64" when the 32-bit half is there
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX/drive_c/windows/system32"
    printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=%s\n' "$1" >"$WINEPREFIX/system.reg"
    if [ "${2:-}" = syswow64 ]; then
        mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
        : >"$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"
    fi
}

# Whether this machine's Wine has its 32-bit half is the test's to say.
with_32bit_wine() { _wine_has_32bit() { return 0; }; }
without_32bit_wine() { _wine_has_32bit() { return 1; }; }

echo "-- stale prefixes"
with_32bit_wine
rm -rf "$WINEPREFIX"
WINEARCH=win64 check "a prefix not made yet is not stale" no _wine_prefix_is_stale
prefix win32
WINEARCH=win64 check "a win32 prefix is stale for win64" yes _wine_prefix_is_stale
WINEARCH=win32 check "a win32 prefix fits win32" no _wine_prefix_is_stale
prefix win64 syswow64
WINEARCH=win32 check "a win64 prefix is stale for win32" yes _wine_prefix_is_stale
WINEARCH=win64 check "a win64 prefix with its 32-bit half fits win64" no _wine_prefix_is_stale
prefix win64
WINEARCH=win64 check "a win64 prefix without its 32-bit half is stale once wine32 is there" yes _wine_prefix_is_stale
without_32bit_wine
WINEARCH=win64 check "a win64 prefix without its 32-bit half fits a Wine without one" no _wine_prefix_is_stale

echo "-- the loader"
loader_is() { [ "$(_wine_loader)" = "$1" ]; }
with_32bit_wine
WINEARCH=win64 check "with a 32-bit half that starts, wine chooses the loader" yes loader_is wine
without_32bit_wine
WINEARCH=win64 check "without one, a win64 prefix's programs go to the 64-bit loader" yes loader_is /usr/lib/wine/wine64

echo "-- the x86 build where it cannot run"
kernel32=$_wine_32bit_kernel32
without_32bit_wine
_wine_32bit_kernel32=$work/none/kernel32.dll
WINEARCH=win32 check "without a 32-bit Wine the x86 build is skipped" yes wine_x86_impossible
_wine_32bit_kernel32=$work/kernel32.dll
: >"$_wine_32bit_kernel32"
WINEARCH=win32 check "with one that cannot start (no IA-32) it is skipped too" yes wine_x86_impossible
WINEARCH=win64 check "the x64 build is never skipped" no wine_x86_impossible
with_32bit_wine
WINEARCH=win32 check "with a 32-bit Wine that starts it runs" no wine_x86_impossible
_wine_32bit_kernel32=$kernel32

echo "-- architecture of a program"
program() {  # machine field, two bytes little-endian, as printf escapes
    local file=$work/program.exe
    # "MZ", the PE header's offset (0x40) at 0x3c, then "PE\0\0" and the machine field.
    { printf 'MZ'; head -c 58 /dev/zero; printf '\100\0\0\0PE\0\0'; printf "$1"; head -c 64 /dev/zero; } >"$file"
    echo "$file"
}
arch_is() { [ "$(wine_arch_of "$1")" = "$2" ]; }
check "machine 0x014c is win32" yes arch_is "$(program '\114\001')" win32
check "machine 0x8664 is win64" yes arch_is "$(program '\144\206')" win64
check "machine 0xaa64 (ARM64) is refused" no wine_arch_of "$(program '\144\252')"
check "a file that is no program is refused" no wine_arch_of "$top/README.md"

echo "wine-env checks: $failed failed"
[ "$failed" -eq 0 ]
