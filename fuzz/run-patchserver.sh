#!/usr/bin/env bash
# Builds the patch service's request fuzz target with clang (address +
# undefined-behaviour sanitizers) in the shared fuzz build folder (build/fuzz) and runs it for a
# short while: FUZZ_SECONDS (default 20).
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${FUZZ_SECONDS:-20}"

fuzz_build fuzz_patchserver

corpus="$build/corpus-patchserver"
mkdir -p "$corpus"
# A few well-formed requests to start from.
printf 'POST /http/win32/game/1.0/s1 HTTP/1.1\r\nHost: h\r\nX-Hash-Check: enabled\r\nContent-Length: 5\r\n\r\nhash\n' >"$corpus/seed-game"
printf 'GET /http/win32/game/1.0/?time=2015-02-09-05 HTTP/1.1\r\nHost: h\r\n\r\n' >"$corpus/seed-boot"
printf 'POST /gen_token HTTP/1.1\r\nHost: h\r\nX-Patch-Unique-Id: 00\r\nContent-Length: 20\r\n\r\nhttp://h/p1.patch?x=1' >"$corpus/seed-token"
printf 'GET /patch/game/p1.patch?md5=abc&expires=1 HTTP/1.1\r\nRange: bytes=10-\r\n\r\n' >"$corpus/seed-file"
fuzz_run "fuzz_patchserver" "$seconds" 20000 "$corpus"
