#!/usr/bin/env bash
# Writes the PE checksum of EXE into its optional header, computed over the
# final bytes. Run after the last change to the file: GNU ld computes it
# before any later header patch, lld leaves it 0.
# Usage: pe_checksum.sh EXE
set -euo pipefail
exe=$1
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
field=$((pe + 88))
# The 16-bit words of the file, the checksum field read as 0, added with
# their carries folded back in, plus the file's length.
sum=$(od -An -v -tu2 -w2 "$exe" | awk -v skip=$((field / 2)) -v size="$(stat -c %s "$exe")" '
  NR - 1 != skip && NR - 1 != skip + 1 { s += $1; s = s % 65536 + int(s / 65536) }
  END { printf "%08x", s + size }')
printf "$(printf '\\x%s' "${sum:6:2}" "${sum:4:2}" "${sum:2:2}" "${sum:0:2}")" |
  dd of="$exe" bs=1 seek="$field" conv=notrunc status=none
