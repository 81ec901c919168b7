#!/usr/bin/env bash
# The whole test suite: native build and tests, the native tests again under the sanitizers,
# both Windows builds with their tests under Wine (x64 under 64-bit Wine, x86 under 32-bit Wine,
# the whole conversion of the demo included), and bounded fuzzing runs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

tools/setup.sh

# The SQL Server stand-in as a service, for the Windows end-to-end test; the native tests start
# their own instances, one per test, so that each sees only its own statements.
export DALTRIX_STANDIN_DIR="$top/build/standin-service"
export DALTRIX_STANDIN_PORT=$(tools/standin.sh start "$DALTRIX_STANDIN_DIR")
trap 'tools/standin.sh stop "$DALTRIX_STANDIN_DIR"' EXIT
echo "SQL Server stand-in listening on 127.0.0.1:$DALTRIX_STANDIN_PORT"

log=build/test-summary.log
mkdir -p build
: >"$log"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build
ctest --test-dir build --output-on-failure -j2 2>&1 | tee -a "$log"

# The same native tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer:
# any report ends the test that caused it.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j2 2>&1 | tee -a "$log"

tools/build-windows.sh --test 2>&1 | tee -a "$log"

# The package an operator is handed, made from the Release programs just tested, then opened and
# checked: entries, sums, each program's processor, the handbook's pictures inside its page.
archive=$(tools/release.sh --out build/release)
python3 tests/release_test.py "$archive" 2>&1 | tee -a "$log"

tools/fuzz.sh build/fuzz

# One closing line for all the suites above; a test that cannot run on this machine (the x86 build
# under Wine where the kernel runs no 32-bit code) is counted apart.
skipped=$(grep -c '(Skipped)$' "$log" || true)
grep -hoE '[0-9]+ tests failed out of [0-9]+' "$log" |
  awk -v skipped="$skipped" '{ failed += $1; total += $6 }
    END { printf "tests: %d passed, %d failed, %d skipped\n", total - failed - skipped, failed, skipped }'
