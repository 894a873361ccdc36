#!/usr/bin/env bash
# The whole chain on one machine: build (Release), generate a sample game with
# three newer builds, build the three patches into a repository, serve it with
# zanth-patch-server on loopback, update an installation of the oldest build
# with zanth-update and show that it now equals the newest build.
#
#   scripts/demo.sh [--seed N] [--address 127.0.0.X] [--keep]
#
# The version check and the token are on port 80, so it runs as root.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seed=7
address=127.0.0.10
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seed) seed="$2"; shift 2 ;;
    --address) address="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $1" >&2; exit 2 ;;
  esac
done
case "$address" in
  127.*) ;;
  *) echo "demo: --address must be a loopback address (127.x.x.x)" >&2; exit 2 ;;
esac

step() { printf '\n==> %s\n' "$*"; }
fail() { printf '\ndemo: FAILED: %s\n' "$*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  fail "zanth-patch-server must listen on port 80 (the protocol's port for the version check and the token); run this script as root"
fi

build="$root/build/demo"
bin="$build/bin"
# Versions of the four builds: build1 is installed, build2..build4 are patches.
versions=(2026.12.01.0000.0001 2026.12.01.0000.0002 2026.12.01.0000.0003 2026.12.01.0000.0004)

step "Building (Release) in build/demo"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tavoPatch zanth-update zanth-sample-game zanth-mkpatch zanth-patch-server \
  | tail -n 1

work="$(mktemp -d "${TMPDIR:-/tmp}/zanth-demo.XXXXXX")"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ "$keep" = 1 ]; then echo "demo: files kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step "Generating a sample game (seed $seed) with four builds in $work/game"
"$build/tools/samplegame/zanth-sample-game" --seed "$seed" --builds 4 "$work/game" >/dev/null
for i in 1 2 3 4; do
  printf '    build%d  %-22s %6s  %s files\n' "$i" "${versions[$((i - 1))]}" \
    "$(du -sh "$work/game/build$i" | cut -f1)" "$(find "$work/game/build$i" -type f | wc -l)"
done

step "Building the three patches into the repository $work/repository"
mkdir -p "$work/patches" "$work/repository"
for i in 1 2 3; do
  patch="$work/patches/build$((i + 1)).mdp"
  "$build/tools/mkpatch/zanth-mkpatch" --old "$work/game/build$i" --new "$work/game/build$((i + 1))" --out "$patch" \
    --version "${versions[$i]}" --from "${versions[$((i - 1))]}" --publish "$work/repository" >/dev/null \
    || fail "zanth-mkpatch build$i -> build$((i + 1))"
  printf '    %s -> %s  %s bytes\n' "${versions[$((i - 1))]}" "${versions[$i]}" "$(stat -c %s "$patch")"
done

step "Starting zanth-patch-server on $address:80"
"$build/tools/patchserver/zanth-patch-server" --repository "$work/repository" --listen "$address:80" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 50); do
  grep -q "on $address:80" "$work/server.log" 2>/dev/null && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.log" >&2; fail "zanth-patch-server did not start"; }
  sleep 0.1
done
sed -n 1p "$work/server.log" | sed 's/^/    /'

step "Installing build1 (version ${versions[0]}) and updating it with zanth-update"
cp -a "$work/game/build1" "$work/install"
set +e
"$bin/zanth-update" --install-dir "$work/install" --download-dir "$work/downloads" \
  --server "$address" --repository game --current-version "${versions[0]}"
status=$?
set -e
[ "$status" -eq 0 ] || { sed 's/^/    server: /' "$work/server.log" >&2; fail "zanth-update ended with status $status"; }

step "Requests the server answered"
sed -n '2,$p' "$work/server.log" | sed 's/^/    /'

step "Comparing the installation with build4 (diff -r)"
# zanthgame.ver is the updater's record of the installed version, not a game file.
if diff -r -x zanthgame.ver "$work/game/build4" "$work/install"; then
  echo "    identical: the installation now equals build4"
  echo "    zanthgame.ver: $(tr -d '\0' < "$work/install/zanthgame.ver" 2>/dev/null || echo missing)"
else
  fail "the installation differs from build4"
fi

step "Stopping the server"
kill -TERM "$server_pid"
wait "$server_pid" 2>/dev/null || true
tail -n 1 "$work/server.log" | sed 's/^/    /'
server_pid=""
printf '\ndemo: done\n'
