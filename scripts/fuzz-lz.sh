#!/usr/bin/env bash
# Fuzzes the SZDD decoder for a bounded time (seconds, default 60) with clang's libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer. Seeds come from tests/lz/corpus; any
# crash input is written to tests/lz/regressions, which lz_tests replays.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
work=${LZFUZZ_WORK:-$root/build/lzfuzz}
mkdir -p "$work/corpus" "$root/tests/lz/regressions"

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/tools/lzfuzz/lzfuzz.cpp" "$root/emu/szdd.cpp" -o "$work/lzfuzz"

# New inputs go to the work corpus; the committed seeds are only read.
"$work/lzfuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -artifact_prefix="$root/tests/lz/regressions/" "$work/corpus" "$root/tests/lz/corpus"
