#!/usr/bin/env bash
# Builds the HTTP parser fuzz targets (status line, header block) with clang
# (address + undefined-behaviour sanitizers, coverage on the library) in
# the shared fuzz build folder (build/fuzz) and runs each for a short while: FUZZ_SECONDS
# (default 20) per target.
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${FUZZ_SECONDS:-20}"

fuzz_build fuzz_http_status_line fuzz_http_header_block

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
  fuzz_run "fuzz_http_$target" "$seconds" 4096 "$corpus"
done
