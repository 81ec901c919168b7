#!/usr/bin/env bash
# Makes the package an operator is handed: Daltrix-<version>.zip holding both Windows programs,
# named by architecture, the handbook as one HTML file, and SHA256SUMS for them.
#   tools/release.sh [--out DIR]    DIR defaults to build/release; the archive's path is printed
#                                   last, alone on stdout (everything else goes to stderr)
# The programs are the Release builds in build-win32 (x86) and build-win64 (x64), built or brought
# up to date by tools/build-windows.sh. The version is the one in CMakeLists.txt, which the
# programs also carry. Entries are sorted and dated by SOURCE_DATE_EPOCH or else by the last
# commit, so the same programs give the same archive.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

out=build/release
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=${2:?"--out needs a folder"}; shift 2 ;;
    *) echo "usage: tools/release.sh [--out DIR]" >&2; exit 2 ;;
  esac
done

version=$(sed -nE 's/^project\(Daltrix VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no project(Daltrix VERSION ...) in CMakeLists.txt" >&2; exit 1; }

# Release whatever the caller's BUILD_TYPE: a Debug build reconfigured here becomes Release.
BUILD_TYPE=Release tools/build-windows.sh --program >&2

# Debian's python3: the converter needs its python3-markdown (tools/setup.sh), which another
# python3 earlier on the PATH would not see.
python=/usr/bin/python3
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# Named by architecture: once copied out of the archive the two would otherwise look the same.
# The program finds its files and writes Daltrix.log by its folder, never by its own name.
cp build-win32/Daltrix.exe "$stage/Daltrix-x86.exe"
cp build-win64/Daltrix.exe "$stage/Daltrix-x64.exe"
"$python" tools/handbook_html.py docs/handbok.md "$stage/handbok.html"
(cd "$stage" && LC_ALL=C sha256sum Daltrix-x64.exe Daltrix-x86.exe handbok.html >SHA256SUMS)

mkdir -p "$out"
archive=$(cd "$out" && pwd)/Daltrix-$version.zip
when=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
"$python" - "$stage" "$archive.part" "$when" <<'EOF'
import os, sys, time, zipfile
stage, archive, when = sys.argv[1], sys.argv[2], int(sys.argv[3])
# The zip format holds no time before 1980.
date = time.gmtime(max(when, 315532800))[:6]
with zipfile.ZipFile(archive, "w") as z:
    for name in sorted(os.listdir(stage)):
        entry = zipfile.ZipInfo(name, date)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o644 << 16
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(entry, f.read(), compresslevel=9)
EOF
# Moved into place whole: an interrupted run leaves no archive that looks finished.
mv -f "$archive.part" "$archive"
echo "$archive"
