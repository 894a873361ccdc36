#!/usr/bin/env bash
# The shared library must define exactly the functions its export map names.
set -euo pipefail
library="$1" map="$2"
expected=$(grep -oE 'tavoPatch[A-Za-z]+' "$map" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$expected" != "$actual" ]; then
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
count=$(echo "$actual" | wc -l)
[ "$count" -eq 21 ] || { echo "expected 21 exports, found $count"; exit 1; }
echo "exports: $count functions, as listed"
