#!/usr/bin/env bash
# Installs what building and testing Daltrix needs on Debian 12. Packages already present are
# left alone; run as root or with sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev python3
  unixodbc unixodbc-dev odbcinst tdsodbc libsqliteodbc
  postgresql odbc-postgresql mariadb-server odbc-mariadb
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb x11-utils xdotool imagemagick
  # The x86 build runs under the 32-bit Wine, whose odbc32 loads the 32-bit unixODBC and drivers.
  wine32:i386 libodbc2:i386 odbcinst1debian2:i386 tdsodbc:i386 libsqliteodbc:i386
  # The handbook's HTML page in the release package (tools/handbook_html.py).
  python3-markdown
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The i386 packages come from the i386 architecture; the update below then lists them.
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends \
  "${missing[@]}"
