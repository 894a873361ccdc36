#!/usr/bin/env bash
# Installer benchmark: (a) a patch of "A" commands writing 1 GiB of archive
# data through the exported install functions against cp of the same bytes;
# (b) a patch of compressed file-add blocks producing 512 MiB against zlib's
# raw inflate of the same blocks in a tight loop. Optional arguments: archive
# bytes, file bytes, rounds. BENCH_TMPDIR chooses the folder for the files.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$root/build/bench-install}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target bench_install
"$build/bench/install/bench_install" "$@"
