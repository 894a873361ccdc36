# Shared by the fuzz/run-*.sh runners: one clang build folder with the
# address + undefined-behaviour sanitizers and coverage on the library, and
# one way to run a target for FUZZ_SECONDS.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"

fuzz_build() {  # targets...
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
    -DZANTH_SANITIZE=address -DZANTH_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" -j 2 --target "$@"
}

fuzz_run() {  # target seconds max_len corpus
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$1" -max_total_time="$2" -timeout=10 -rss_limit_mb=2048 -max_len="$3" "$4"
}
