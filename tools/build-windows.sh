#!/bin/bash
# Configures and builds both Windows programs: build-win64 (x64) and build-win32 (x86).
#   tools/build-windows.sh [--test]    --test also runs the tests of the x64 build (under Wine)
# BUILD_TYPE (default Release) chooses the CMake build type; DALTRIX_NATIVE_BUILD_DIR (default
# build) names the native build whose legacy test driver the Wine tests load.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_type=${BUILD_TYPE:-Release}
# The native build whose legacy test driver a Wine test loads (tools/test.sh builds it first).
native=${DALTRIX_NATIVE_BUILD_DIR:-$PWD/build}
for arch in x64 x86; do
    case $arch in
        x64) dir=build-win64 ;;
        x86) dir=build-win32 ;;
    esac
    cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE="$build_type" \
        -DDALTRIX_NATIVE_BUILD_DIR="$native"
    cmake --build "$dir"
done

if [ "${1:-}" = --test ]; then
    # The x86 build is only checked on this host (its imports); Wine here runs 64-bit programs only.
    status=0
    ctest --test-dir build-win64 --output-on-failure || status=1
    ctest --test-dir build-win32 --output-on-failure || status=1
    exit $status
fi
