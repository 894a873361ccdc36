#!/usr/bin/env bash
# Builds the patch-list fuzz target with clang (address + undefined-behaviour
# sanitizers, coverage on the parser) in its own build folder and runs it for
# a short while: FUZZ_SECONDS (default 20).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz-versioncheck}"
seconds="${FUZZ_SECONDS:-20}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DZANTH_SANITIZE=address -DZANTH_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_multipart fuzz_multipart_seeds

corpus="$build/corpus-multipart"
mkdir -p "$corpus"
"$build/fuzz/fuzz_multipart_seeds" "$corpus"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/fuzz/fuzz_multipart" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=16384 "$corpus"
