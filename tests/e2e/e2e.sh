#!/usr/bin/env bash
# End-to-end cases with the real programs: zanth-sample-game builds, patches
# from zanth-mkpatch, zanth-patch-server on a loopback address of the case's
# own, and zanth-update with the real libtavoPatch.so.
#
#   e2e.sh ZANTH_UPDATE SAMPLE_GAME MKPATCH PATCH_SERVER CASE ADDRESS
#
# CASE: chain | resume | unknown-version | corrupt-patch | cancel
set -euo pipefail

zanth_update="$1"
sample_game="$2"
mkpatch="$3"
patch_server="$4"
case_name="$5"
address="$6"
work="$(mktemp -d "${TMPDIR:-/tmp}/zanth-e2e.XXXXXX")"
server_pid=""
update_pid=""
versions=(2026.12.01.0000.0001 2026.12.01.0000.0002 2026.12.01.0000.0003 2026.12.01.0000.0004)
# Big enough that a kill lands while the file is still being transferred.
big_file_mib=256

cleanup() {
  for pid in "$update_pid" "$server_pid"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL [$case_name]: $*" >&2
  for f in "$work"/update*.out "$work/server.log"; do
    [ -e "$f" ] && { echo "--- $f" >&2; tail -n 40 "$f" >&2; }
  done
  exit 1
}

[ "$(id -u)" -eq 0 ] || { echo "e2e needs root to bind port 80"; exit 77; }

game() { "$sample_game" --seed "$1" --builds "$2" "$work/game" >/dev/null || fail "zanth-sample-game"; }

# publish OLD_INDEX NEW_DIR: patch build OLD -> NEW_DIR into the repository.
publish() {
  local old="$1" new="$2"
  "$mkpatch" --old "$work/game/build$old" --new "$new" --out "$work/patches/p$old.mdp" \
    --version "${versions[$old]}" --from "${versions[$((old - 1))]}" --publish "$work/repository" >/dev/null \
    || fail "zanth-mkpatch build$old"
}

start_server() {
  "$patch_server" --repository "$work/repository" --listen "$address:80" 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 100); do
    grep -q "on $address:80" "$work/server.log" 2>/dev/null && return 0
    kill -0 "$server_pid" 2>/dev/null || fail "zanth-patch-server did not start"
    sleep 0.1
  done
  fail "zanth-patch-server did not report its address"
}

install_build1() { cp -a "$work/game/build1" "$work/install"; }

# update OUT [extra options...]: runs zanth-update in the background.
update_bg() {
  local out="$1"
  shift
  "$zanth_update" --install-dir "$work/install" --download-dir "$work/downloads" --server "$address" \
    --repository game --current-version "${versions[0]}" "$@" >"$out" 2>&1 &
  update_pid=$!
}

# Sets `status` to the updater's exit status. Not in a command substitution:
# a subshell cannot wait for the updater.
update_wait() {
  status=0
  wait "$update_pid" || status=$?
  update_pid=""
}

same_as() {  # DIR: the installation equals DIR (the version file aside)
  diff -r -x zanthgame.ver "$1" "$work/install" >"$work/diff.out" 2>&1 || { cat "$work/diff.out" >&2; return 1; }
}

# Waits until the download folder holds a file larger than MIB (default 1)
# MiB; 16 MiB are several verified blocks of the big patch.
wait_for_download_bytes() {
  local mib="${1:-1}"
  for _ in $(seq 2000); do
    if find "$work/downloads" -type f -size +"${mib}M" 2>/dev/null | grep -q .; then return 0; fi
    kill -0 "$update_pid" 2>/dev/null || return 1
    sleep 0.01
  done
  return 1
}

# A repository of one patch whose file is large: build1 -> build1 + big file.
big_repository() {
  game 11 1
  cp -a "$work/game/build1" "$work/big"
  head -c "$((big_file_mib * 1024 * 1024))" /dev/urandom >"$work/big/movie_big.bin"
  mkdir -p "$work/patches" "$work/repository"
  publish 1 "$work/big"
}

case "$case_name" in
chain)
  game 21 4
  mkdir -p "$work/patches" "$work/repository"
  for i in 1 2 3; do publish "$i" "$work/game/build$((i + 1))"; done
  start_server
  install_build1
  update_bg "$work/update.out"
  update_wait
  [ "$status" = 0 ] || fail "zanth-update exit status $status"
  same_as "$work/game/build4" || fail "installation differs from build4"
  grep -q "version reached: ${versions[3]}" "$work/update.out" || fail "no 'version reached' for the newest build"
  [ "$(tr -d '\0\n' <"$work/install/zanthgame.ver")" = "${versions[3]}" ] || fail "zanthgame.ver is not ${versions[3]}"
  [ "$(grep -c '"GET .*" 200 ' "$work/server.log")" -ge 3 ] || fail "the server did not serve three patch files"
  ;;
resume)
  big_repository
  start_server
  install_build1
  update_bg "$work/update1.out"
  wait_for_download_bytes 16 || fail "the first run ended before 16 MiB were downloaded"
  kill -KILL "$update_pid"
  update_wait
  partial="$(find "$work/downloads" -type f -size +1M -printf '%s\n' | sort -n | tail -n 1)"
  patch_size="$(stat -c %s "$work/repository/p1.mdp")"
  [ "$partial" -lt "$patch_size" ] || fail "the kill came after the transfer had ended ($partial of $patch_size bytes)"
  requests_before="$(wc -l <"$work/server.log")"
  update_bg "$work/update2.out"
  update_wait
  [ "$status" = 0 ] || fail "the second run ended with status $status"
  same_as "$work/big" || fail "installation differs from the new build after the resumed run"
  tail -n +"$((requests_before + 1))" "$work/server.log" | grep -q '" 206 ' \
    || fail "the second run did not ask for a range (no 206 answer in the server log)"
  ;;
unknown-version)
  game 31 2
  mkdir -p "$work/patches" "$work/repository"
  publish 1 "$work/game/build2"
  start_server
  install_build1
  update_bg "$work/update.out" --current-version 1999.01.01.0000.0000
  update_wait
  [ "$status" != 0 ] || fail "zanth-update succeeded for a version the server does not know"
  grep -q "update failed" "$work/update.out" || fail "no failure line"
  grep -q '\[404\]' "$work/update.out" || fail "404 is not among the error codes"
  grep -q '" 404 ' "$work/server.log" || fail "the server did not answer 404"
  same_as "$work/game/build1" || fail "the installation changed"
  ;;
corrupt-patch)
  game 41 2
  mkdir -p "$work/patches" "$work/repository"
  publish 1 "$work/game/build2"
  start_server
  # The server checks the files when it starts; damage the patch afterwards,
  # as a broken disk or a bad upload would.
  patch="$work/repository/p1.mdp"
  size="$(stat -c %s "$patch")"
  printf '\xde\xad\xbe\xef' | dd of="$patch" bs=1 seek="$((size / 2))" conv=notrunc status=none
  install_build1
  update_bg "$work/update.out"
  update_wait
  [ "$status" = 1 ] || fail "exit status $status, not 1 (failed run)"
  grep -q "update failed" "$work/update.out" || fail "no failure line"
  # The composed text ends in its code line: [first][second]...
  grep -Eq '^\[[0-9]+\](\[[0-9]+\])*$' "$work/update.out" || fail "no code line in the error text"
  grep -q 'version reached' "$work/update.out" && fail "a damaged patch was reported installed"
  same_as "$work/game/build1" || fail "the installation changed"
  ;;
cancel)
  big_repository
  start_server
  install_build1
  update_bg "$work/update.out" --json
  wait_for_download_bytes || fail "the run ended before its download began"
  kill -INT "$update_pid"
  update_wait
  [ "$status" != 0 ] || fail "a cancelled run exited 0"
  grep -q '"message":"status","wparam":8,"value":6' "$work/update.out" || fail "no status 6 (cancelled, session closed)"
  grep -q '"message":"version"' "$work/update.out" && fail "a cancelled run installed a patch"
  same_as "$work/game/build1" || fail "the installation changed"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
echo "PASS [$case_name]"
