#!/usr/bin/env bash
# Builds PRESET's OlmInit.exe a second time, a second later and in another
# folder, and compares it byte for byte with EXE: an integrator keeps the
# hash of what goes into an image.
# Usage: check_reproducible.sh EXE SOURCE_DIR PRESET SCRATCH_DIR
set -euo pipefail
exe=$1 source=$2 preset=$3 scratch=$4
rm -rf "$scratch"
sleep 1
cmake -S "$source" --preset "$preset" -B "$scratch" >"$scratch.log" 2>&1 &&
  cmake --build "$scratch" --target OlmInit >>"$scratch.log" 2>&1 ||
  { tail -20 "$scratch.log"; exit 1; }
if cmp "$exe" "$scratch/OlmInit.exe"; then
  echo "$preset: the same $(stat -c %s "$exe") bytes, sha256 $(sha256sum <"$exe" | cut -c1-64)"
else
  echo "$preset: a second build differs" >&2
  exit 1
fi
