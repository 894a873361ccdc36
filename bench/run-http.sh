#!/usr/bin/env bash
# HTTP client benchmark: a 1 GiB body on loopback through HttpSession/
# HttpRequest against curl of the same URL in the same run. Optional
# arguments: body bytes, rounds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$root/build/bench-http}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target bench_http
"$build/bench/http/bench_http" "$@"
