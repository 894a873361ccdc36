#!/usr/bin/env bash
# The server block of `zanth-patch-server --nginx-config`, loaded by Debian's
# nginx run as this test's own process: the token's signed address is served
# by nginx whole and by range, a tampered or unsigned address is refused and
# the manifest (which holds the secret) is never served.
#
#   nginx-config.sh SAMPLE_GAME MKPATCH PATCH_SERVER ADDRESS
set -euo pipefail

sample_game="$1" mkpatch="$2" patch_server="$3" address="$4"
nginx="$(command -v nginx || echo /usr/sbin/nginx)"
[ -x "$nginx" ] || { echo "nginx is not installed"; exit 77; }

work="$(mktemp -d "${TMPDIR:-/tmp}/zanth-nginx.XXXXXX")"
server_pid="" nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && { kill -QUIT "$nginx_pid" 2>/dev/null; wait "$nginx_pid" 2>/dev/null; }
  [ -n "$server_pid" ] && { kill -TERM "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; for f in "$work"/*.log; do echo "--- $f" >&2; tail -n 20 "$f" >&2; done; exit 1; }
# Waits until a TCP port answers.
wait_port() { for _ in $(seq 100); do (exec 3<>"/dev/tcp/$address/$1") 2>/dev/null && return 0; sleep 0.1; done; return 1; }

service_port=18080 nginx_port=18081
"$sample_game" --seed 3 --builds 2 "$work/game" >/dev/null
mkdir -p "$work/patches"
"$mkpatch" --old "$work/game/build1" --new "$work/game/build2" --out "$work/patches/p1.mdp" \
  --version 1.1 --from 1.0 --publish "$work/repository" >/dev/null

mkdir -p "$work/nginx"
{
  [ "$(id -u)" -eq 0 ] && echo "user root;"
  echo "pid $work/nginx/nginx.pid;"
  echo "error_log $work/nginx.log;"
  echo "events { worker_connections 64; }"
  echo "http {"
  echo "  access_log off;"
  for t in client_body proxy fastcgi uwsgi scgi; do echo "  ${t}_temp_path $work/nginx/$t;"; done
  "$patch_server" --repository "$work/repository" --listen "$address:$nginx_port" --nginx-config
  echo "}"
} >"$work/nginx/nginx.conf"
"$nginx" -p "$work/nginx" -c "$work/nginx/nginx.conf" -g "daemon off;" &
nginx_pid=$!
"$patch_server" --repository "$work/repository" --listen "$address:$service_port" 2>"$work/service.log" &
server_pid=$!
wait_port "$nginx_port" || fail "nginx did not start"
wait_port "$service_port" || fail "zanth-patch-server did not start"

c() { curl -s --noproxy '*' "$@"; }
unique_id="$(c -D - -o /dev/null -X POST --data-binary $'hash\n' \
  "http://$address:$service_port/http/win32/game/1.0/s1" | tr -d '\r' | sed -n 's/^X-Patch-Unique-Id: //p')"
[ -n "$unique_id" ] || fail "no unique id from the version check"
# The token request's body is the patch address from the list.
signed="$(c -X POST -H "X-Patch-Unique-Id: $unique_id" --data-binary "p1.mdp" \
  "http://$address:$service_port/gen_token")"
case "$signed" in *"/patch/game/p1.mdp?md5="*"&expires="*) ;; *) fail "unexpected token answer: $signed" ;; esac
at_nginx="http://$address:$nginx_port/${signed#http://*/}"

status() { c -o "$work/body" -w '%{http_code}' "$@"; }
[ "$(status "$at_nginx")" = 200 ] || fail "nginx did not serve the signed address"
cmp -s "$work/body" "$work/repository/p1.mdp" || fail "nginx served other bytes"
[ "$(status -H 'Range: bytes=100-' "$at_nginx")" = 206 ] || fail "no 206 for a range"
cmp -s "$work/body" <(tail -c +101 "$work/repository/p1.mdp") || fail "the range has other bytes"
size="$(stat -c %s "$work/repository/p1.mdp")"
[ "$(status -H "Range: bytes=$size-" "$at_nginx")" = 416 ] || fail "no 416 past the end"
tampered="${at_nginx/md5=/md5=A}"
[ "$(status "$tampered")" = 403 ] || fail "a tampered signature was not refused"
[ "$(status "http://$address:$nginx_port/patch/game/p1.mdp")" = 403 ] || fail "an unsigned address was not refused"
[ "$(status "http://$address:$nginx_port/patch/game/manifest.json")" = 404 ] || fail "the manifest was served"
echo "nginx serves the signed addresses of zanth-patch-server"
