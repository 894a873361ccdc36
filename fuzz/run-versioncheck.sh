#!/usr/bin/env bash
# Builds the patch-list fuzz target with clang (address + undefined-behaviour
# sanitizers, coverage on the parser) in the shared fuzz build folder (build/fuzz) and runs it for
# a short while: FUZZ_SECONDS (default 20).
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${FUZZ_SECONDS:-20}"

fuzz_build fuzz_multipart fuzz_multipart_seeds

corpus="$build/corpus-multipart"
mkdir -p "$corpus"
"$build/fuzz/fuzz_multipart_seeds" "$corpus"
fuzz_run "fuzz_multipart" "$seconds" 16384 "$corpus"
