#!/usr/bin/env bash
# Patch download benchmark: a 1 GiB random patch file with 99 block hashes
# served by nginx (run as this script's own process on 127.0.0.60:80, which
# also answers the token request) and fetched through the exported download
# functions against `curl -s -o FILE` of the same file in the same run.
# Needs root: the token request always goes to port 80.
# Optional arguments: rounds, poll interval in ms. BENCH_TMPDIR chooses the
# folder for the files; BENCH_BYTES the patch size.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "run-download.sh must run as root: the token server listens on port 80" >&2
  exit 1
fi
nginx=/usr/sbin/nginx
if [ ! -x "$nginx" ]; then
  echo "nginx is not installed ($nginx)" >&2
  exit 1
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$root/build/bench-download}"
bytes="${BENCH_BYTES:-1073741824}"
address=127.0.0.60
file_path=/files/a/seg/D2015.patch
file_url="http://$address$file_path"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target bench_download

work="$(mktemp -d "${BENCH_TMPDIR:-/tmp}/bench-download.XXXXXX")"
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill -QUIT "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www/files/a/seg" "$work/nginx"
source_file="$work/www$file_path"
head -c "$bytes" /dev/urandom >"$source_file"
sync

cat >"$work/nginx/nginx.conf" <<CONF
worker_processes 1;
user root;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  sendfile on;
  server {
    listen $address:80;
    root $work/www;
    location = /gen_token { return 200 "$file_url"; }
  }
}
CONF
"$nginx" -p "$work/nginx/" -c "$work/nginx/nginx.conf" -g "daemon off;" &
nginx_pid=$!
for _ in $(seq 200); do
  curl -s --noproxy '*' -o /dev/null -X POST "http://$address/gen_token" && break
  sleep 0.05
done
if ! curl -s --noproxy '*' -o /dev/null -X POST "http://$address/gen_token"; then
  echo "nginx did not start:" >&2
  cat "$work/nginx/error.log" >&2 || true
  exit 1
fi

"$build/bench/download/bench_download" "$source_file" "$file_url" "$address" "$work" "${1:-2}" "${2:-100}"
