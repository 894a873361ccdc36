#!/usr/bin/env bash
# Builds the installer fuzz target with clang (address + undefined-behaviour
# sanitizers, coverage on the library) in the shared fuzz build folder (build/fuzz) and runs it
# for a short while: FUZZ_SECONDS (default 30).
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${FUZZ_SECONDS:-30}"

fuzz_build fuzz_install fuzz_install_seeds

corpus="$build/corpus-install"
mkdir -p "$corpus"
"$build/fuzz/fuzz_install_seeds" "$corpus"
fuzz_run "fuzz_install" "$seconds" 8192 "$corpus"
