#!/bin/bash
# Configures and builds both Windows programs: build-win64 (x64) and build-win32 (x86).
#   tools/build-windows.sh [--test | --program]
#       --test     also runs the tests of both builds, each under the Wine of its own architecture
#                  in a prefix of its own
#       --program  builds only the two programs, not the test programs (what tools/release.sh needs)
# BUILD_TYPE (default Release) chooses the CMake build type; DALTRIX_NATIVE_BUILD_DIR (default
# build) names the native build whose legacy test driver the x64 build's Wine test loads.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_type=${BUILD_TYPE:-Release}
native=${DALTRIX_NATIVE_BUILD_DIR:-$PWD/build}
targets=()
[ "${1:-}" = --program ] && targets=(--target Daltrix)
for arch in x64 x86; do
    case $arch in
        x64) dir=build-win64 ;;
        x86) dir=build-win32 ;;
    esac
    cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE="$build_type" \
        -DDALTRIX_NATIVE_BUILD_DIR="$native"
    cmake --build "$dir" "${targets[@]}"
done

if [ "${1:-}" = --test ]; then
    status=0
    ctest --test-dir build-win64 --output-on-failure || status=1
    ctest --test-dir build-win32 --output-on-failure || status=1
    exit $status
fi
