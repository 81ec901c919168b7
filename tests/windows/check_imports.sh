#!/bin/bash
# Fails when the Windows program imports a DLL that is not part of Windows itself: a runtime
# DLL of the build toolchain (libstdc++-6.dll, libwinpthread-1.dll, ...) would make the one
# copied file fail to start on the operator's machine.
#   check_imports.sh OBJDUMP PROGRAM.exe
set -u
objdump=$1
program=$2

allowed='^(kernel32|user32|gdi32|comctl32|advapi32|crypt32|odbc32|shell32|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll$'

imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr -d '\r')
if [ -z "$imports" ]; then
    echo "no import table found in $program" >&2
    exit 1
fi

status=0
while read -r dll; do
    if echo "$dll" | tr '[:upper:]' '[:lower:]' | grep -Eq "$allowed"; then
        echo "ok       $dll"
    else
        echo "FOREIGN  $dll" >&2
        status=1
    fi
done <<< "$imports"
exit $status
