#!/usr/bin/env bash
# Runs every benchmark on this machine and writes bench/RESULTS.md: the machine, the date and
# one table row per figure. Builds what it needs first (Release). Takes a few minutes.
#   bench/run.sh [companies=10000]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
companies=${1:-10000}

tools/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench
BUILD_TYPE=Release tools/build-windows.sh >/dev/null

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
native=build-bench/bench/native
# The stand-ins keep their databases in memory: SQLite's disk syncs after every insert cost both
# sides of the migration alike and only add the disk's noise to the ratio. One round's ratio still
# wanders on two cores shared with the stand-ins: the median of seven.
TMPDIR=/dev/shm "$native/migration_bench" "$companies" 7 | grep '^|' | tee -a "$rows"
"$native/addlog_bench" 100000 5 | tee -a "$rows"
"$native/conversionmemory_bench" "$companies" | grep '^|' | tee -a "$rows"

limit=$((3 * 1024 * 1024 / 2))
for build in build-win64:x64 build-win32:x86; do
    exe=${build%%:*}/Daltrix.exe
    size=$(stat -c %s "$exe")
    met=no
    [ "$size" -le "$limit" ] && met=yes
    printf '| Size of Daltrix.exe, %s (MinGW-w64, Release, static) | %s bytes (%s MB) | <= 1.5 MB | %s |\n' \
        "${build##*:}" "$size" "$(awk -v s="$size" 'BEGIN { printf "%.2f", s / 1048576 }')" "$met" | tee -a "$rows"
done

bench/win32/run.sh "$top/build-win64" | grep '^|' | tee -a "$rows"

{
    echo "# Benchmark results"
    echo
    echo "Written by \`bench/run.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
    echo
    echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores," \
        "$(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo) memory; $(uname -sr);" \
        "$(wine --version 2>/dev/null || /usr/lib/wine/wine64 --version 2>/dev/null || echo 'no Wine'); FreeTDS $(dpkg-query -W -f '${Version}\n' tdsodbc 2>/dev/null | head -n 1)," \
        "unixODBC $(dpkg-query -W -f '${Version}' unixodbc 2>/dev/null)."
    echo
    echo "The SQL Server here is the stand-in of tests/sqlserver_standin (Python, on this machine),"
    echo "reached through the real FreeTDS driver; its own cost is in both sides of every migration ratio."
    echo "For the migration figures it keeps its databases in memory (/dev/shm), as does the bare loop's."
    echo
    echo "| figure | measured | target | met |"
    echo "|---|---|---|---|"
    cat "$rows"
} >bench/RESULTS.md
echo "bench/RESULTS.md written"
