#!/usr/bin/env bash
# Platform Builder's subproject compiles what the Windows CE presets compile.
# Usage: check_pb_sources.sh SOURCES_FILE SOURCE...  (relative to the top)
set -euo pipefail
file=$1
shift
top=$(cd "$(dirname "$0")/../.." && pwd)
listed=$(grep -oE '[^[:space:]=]+\.(cpp|rc)' "$file" | tr '\\' / |
  while read -r path; do
    realpath -m --relative-to="$top" "$(dirname "$file")/$path"
  done | sort)
if diff <(printf '%s\n' "$@" | sort) <(echo "$listed"); then
  echo "1 passed, 0 failed"
else
  echo "FAIL: $file lists other sources than the presets (< presets, > $file)"
  exit 1
fi
