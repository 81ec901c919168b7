#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time, FUZZ_SECONDS
# (default 60), or for FUZZ_RUNS runs when that is set. Each target starts from its seed corpus
# in tests/fuzz/corpus/<target>, copied into OUTDIR/corpus/<target> so its finds never touch the
# tree. One line per target tells the result; a crash, a hang or a failed build exits non-zero,
# with the input kept as OUTDIR/crashes/<target>-*.
#
#   tools/fuzz.sh [OUTDIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build-fuzz}
mkdir -p "$out/crashes"
out=$(cd "$out" && pwd)

if [[ -n ${FUZZ_RUNS:-} ]]; then
    limit=(-runs="$FUZZ_RUNS")
else
    limit=(-max_total_time="${FUZZ_SECONDS:-60}")
fi
failed=0

# fuzz TARGET MAX_LEN PRODUCT_SOURCES...: builds tests/fuzz/TARGET.cpp with the sources and runs it.
fuzz() {
    local target=$1 maxlen=$2
    shift 2
    local binary="$out/$target" corpus="$out/corpus/$target" log="$out/$target.log"
    local sources=("$top/tests/fuzz/$target.cpp")
    for source in "$@"; do
        sources+=("$top/$source")
    done
    if ! clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$top" \
        "${sources[@]}" -o "$binary" >"$log" 2>&1; then
        echo "$target: BUILD FAILED, see $log"
        failed=1
        return
    fi
    mkdir -p "$corpus"
    cp "$top/tests/fuzz/corpus/$target/"* "$corpus/"
    local status=0
    "$binary" "${limit[@]}" -max_len="$maxlen" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$target-" "$corpus" >>"$log" 2>&1 || status=$?
    # sed, unlike grep, succeeds on no match, so a missing figure cannot end the script here.
    local runs rate cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(sed -n 's/.*\(cov: [0-9]* ft: [0-9]* corp: [0-9]*\).*/\1/p' "$log" | tail -1)
    if [[ $status -ne 0 ]]; then
        local reason artifact
        reason=$(sed -n -e "s/^$target: //p" -e 's/^SUMMARY: //p' "$log" | head -1)
        artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
        echo "$target: FAILED after ${runs:-?} runs: ${reason:-exit $status}; input ${artifact:-not written}; see $log"
        failed=1
        return
    fi
    echo "$target: ok, ${runs:-?} runs, ${rate:-?} exec/s, ${cov:-no coverage line}"
}

fuzz ConnectionFactsFuzz 512 conversion/ConnectionFacts.cpp platform/ConnectString.cpp platform/CString.cpp \
    platform/Exceptions.cpp platform/posix/System.cpp
fuzz FileDsnFuzz 1024 platform/ConnectString.cpp platform/CString.cpp platform/Exceptions.cpp \
    platform/posix/System.cpp
fuzz WildcardMatchFuzz 96 dsn/WildcardMatch.cpp platform/CString.cpp
exit "$failed"
