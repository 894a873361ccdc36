#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test: a normal build, an
# address + undefined-behaviour sanitizer build and a thread-sanitizer build
# of the threaded tests. With CI=true warnings are errors.
#
#   scripts/test.sh            all three builds
#   scripts/test.sh quick      the normal build only
#
# The full run ends with a short run of every fuzz target (fuzz/run-*.sh).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
jobs="$(nproc)"

build_and_test() {  # dir sanitizer [ctest args...]
  local dir="$1" sanitize="$2"
  shift 2
  echo "== build $dir (sanitizer: ${sanitize:-none})"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZANTH_WERROR="$werror" -DZANTH_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600 "$@")
}

build_and_test build/release ""
if [ "${1:-}" != "quick" ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build_and_test build/asan address -LE nosan
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    build_and_test build/tsan thread -L threads
fi
if [ "${1:-}" != "quick" ]; then
  for runner in fuzz/run-*.sh; do
    [ -e "$runner" ] || continue
    echo "== fuzz $runner"
    bash "$runner"
  done
fi
echo "== all tests passed"
