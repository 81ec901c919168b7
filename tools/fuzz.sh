#!/usr/bin/env bash
# Builds the connect-string fuzz target with clang's libFuzzer and runs it for a bounded count.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build-fuzz}
runs=${FUZZ_RUNS:-200000}
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$top" \
  "$top/tests/fuzz/ConnectionFactsFuzz.cpp" "$top/conversion/ConnectionFacts.cpp" "$top/platform/CString.cpp" \
  -o "$out/connection_facts_fuzz"
printf 'D\0R\0I\0V\0E\0R\0=\0{\0S\0Q\0L\0 \0S\0e\0r\0v\0e\0r\0}\0;\0P\0W\0D\0=\0x\0;\0S\0E\0R\0V\0E\0R\0=\0s\0' > "$out/corpus/seed"
"$out/connection_facts_fuzz" -runs="$runs" -max_len=512 "$out/corpus"
