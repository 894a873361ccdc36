#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: it
# only runs apt-get (and its index update) when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev
  libssl-dev zlib1g-dev libcurl4-openssl-dev rapidjson-dev
  clang libclang-rt-14-dev
  curl openssl
  nginx
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
# Packages with a service (nginx) must not start it: the tests run their own.
policy=/usr/sbin/policy-rc.d
own_policy=""
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null && $sudo chmod 755 "$policy" && own_policy=1
fi
rc=0
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || rc=$?
[ -z "$own_policy" ] || $sudo rm -f "$policy"
exit "$rc"
