#!/usr/bin/env bash
# Builds the HTTP parser fuzz targets (status line, header block) with clang
# (address + undefined-behaviour sanitizers, coverage on the library) in
# their own build folder and runs each for a short while: FUZZ_SECONDS
# (default 20) per target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz-http}"
seconds="${FUZZ_SECONDS:-20}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DZANTH_SANITIZE=address -DZANTH_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_http_status_line fuzz_http_header_block

seed() {  # corpus name bytes (printf format)
  printf "$3" >"$1/$2"
}

for target in status_line header_block; do
  corpus="$build/corpus-http-$target"
  mkdir -p "$corpus"
  seed "$corpus" ok 'HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain\r\n\r\n'
  seed "$corpus" no-reason 'HTTP/1.0 503 \r\nX-Patch-Error-Code: 20410\r\n\r\n'
  seed "$corpus" repeated 'HTTP/1.1 206 Partial\r\nA: 1\r\nA: 2\r\nB:\t x\r\n\r\nC: 3\r\n'
  seed "$corpus" empty-block '\r\n'
  seed "$corpus" bare-lf 'HTTP/1.1 200 OK\nA: 1\n\n'
  seed "$corpus" no-colon 'HTTP/1.1 200 OK\r\nNoColon\r\n\r\n'
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_http_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 "$corpus"
done
