#!/usr/bin/env bash
# Builds the patch service's request fuzz target with clang (address +
# undefined-behaviour sanitizers) in its own build folder and runs it for a
# short while: FUZZ_SECONDS (default 20).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz-patchserver}"
seconds="${FUZZ_SECONDS:-20}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DZANTH_SANITIZE=address -DZANTH_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_patchserver

corpus="$build/corpus-patchserver"
mkdir -p "$corpus"
# A few well-formed requests to start from.
printf 'POST /http/win32/game/1.0/s1 HTTP/1.1\r\nHost: h\r\nX-Hash-Check: enabled\r\nContent-Length: 5\r\n\r\nhash\n' >"$corpus/seed-game"
printf 'GET /http/win32/game/1.0/?time=2015-02-09-05 HTTP/1.1\r\nHost: h\r\n\r\n' >"$corpus/seed-boot"
printf 'POST /gen_token HTTP/1.1\r\nHost: h\r\nX-Patch-Unique-Id: 00\r\nContent-Length: 20\r\n\r\nhttp://h/p1.patch?x=1' >"$corpus/seed-token"
printf 'GET /patch/game/p1.patch?md5=abc&expires=1 HTTP/1.1\r\nRange: bytes=10-\r\n\r\n' >"$corpus/seed-file"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/fuzz/fuzz_patchserver" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=20000 "$corpus"
