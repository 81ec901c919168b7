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
  # The handbook's HTML page in the release package (tools/handbook_html.py).
  python3-markdown
)
# The x86 build runs under the 32-bit Wine, whose odbc32 loads the 32-bit unixODBC and drivers.
# Without them the x86 build's Wine tests say so and are skipped; everything else still runs.
packages_i386=(wine32:i386 libodbc2:i386 odbcinst1debian2:i386 tdsodbc:i386 libsqliteodbc:i386)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The i386 packages come from the i386 architecture; the update below then lists them.
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}
mapfile -t wanted < <(missing "${packages[@]}")
mapfile -t wanted_i386 < <(missing "${packages_i386[@]}")
[ ${#wanted[@]} -eq 0 ] && [ ${#wanted_i386[@]} -eq 0 ] && exit 0

# A mirror caught in the middle of a sync serves an index whose size does not match its release
# file; a later try usually gets a whole one. What cannot be had is left to the installs below.
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  echo "apt-get update failed (try $attempt of 3)" >&2
  [ $attempt -lt 3 ] && sleep 20
done

install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "$@"
}
if [ ${#wanted[@]} -gt 0 ]; then
  echo "Installing: ${wanted[*]}"
  install "${wanted[@]}"
fi
if [ ${#wanted_i386[@]} -gt 0 ]; then
  echo "Installing: ${wanted_i386[*]}"
  install "${wanted_i386[@]}" ||
    echo "WARNING: the 32-bit packages could not be installed (${wanted_i386[*]}): the x86 build's Wine tests will be skipped" >&2
fi
