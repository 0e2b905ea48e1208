#!/usr/bin/env bash
# The package install step against stand-ins for apt-get, dpkg-query and id:
# every outcome of a broken index and a refused install; and the answer to
# whether the kernel runs 32-bit x86 code, with the kernel's own answer
# stated by each row.
set -euo pipefail
lib=$(cd "$(dirname "$0")/../../scripts/lib" && pwd)/packages.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# Each stand-in logs its call; APT_* say what fails.
stand_in() { printf '#!/bin/bash\necho "%s $*" >>"$CALLS"\n%s\n' "$1" "$2" >"$work/bin/$1"; chmod +x "$work/bin/$1"; }
stand_in apt-get '
if [[ $1 == update* || $2 == update ]]; then
  [[ -z $APT_UPDATE_FAILS ]] && exit 0
  echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"; exit 100
fi
for p in "$@"; do
  [[ " $APT_REFUSES " == *" $p "* ]] && { echo "E: Unable to correct problems, you have held broken packages."; exit 100; }
done; exit 0'
stand_in dpkg-query 'exit 1'
stand_in id 'echo 0'

# name | environment | the kernel runs 32-bit x86 code | status | wanted in
# the output and calls (';' between) | not wanted. The kernel's answer is the
# row's, never this machine's.
cases=(
  "healthy||yes|0|apt-get install -y -qq cmake wine;x86_32=yes|warning;i386"
  "broken index|APT_UPDATE_FAILS=1|yes|0|warning: apt-get update failed;E: Failed to fetch;apt-get install -y -qq cmake wine|"
  "refused needed package|APT_REFUSES=wine|yes|1|could not install cmake wine;held broken packages|x86_32"
  "no 32-bit execution||no|0|x86_32=no|i386"
  "rehearsing a kernel without 32-bit execution|OLM_ASSUME_NO_X86_32=1|yes|0|x86_32=no|"
  "a switch not set to 1 rehearses nothing|OLM_ASSUME_NO_X86_32=0|yes|0|x86_32=yes|"
)
passed=0 failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r name environment runs32 status wanted unwanted <<<"$row"
  : >"$work/calls"
  got=0
  out=$(env -i PATH="$work/bin:$PATH" CALLS="$work/calls" OLM_APT_RETRY_SECONDS=0 \
    APT_UPDATE_FAILS= APT_REFUSES= $environment bash -ec '
      source "$1"
      runs32=$2
      x86_32_probe() { [[ $runs32 == yes ]] || return 126; }
      require_packages cmake wine
      runs_x86_32 && echo x86_32=yes || echo x86_32=no' - "$lib" "$runs32" 2>&1) || got=$?
  text="$out"$'\n'"$(cat "$work/calls")"
  problems=()
  ((got == status)) || problems+=("status $got, wanted $status")
  IFS=';' read -ra patterns <<<"$wanted"
  for p in "${patterns[@]}"; do grep -qe "$p" <<<"$text" || problems+=("no '$p'"); done
  IFS=';' read -ra patterns <<<"$unwanted"
  for p in "${patterns[@]}"; do ! grep -qe "$p" <<<"$text" || problems+=("unwanted '$p'"); done
  if ((${#problems[@]})); then
    failed=$((failed + 1))
    printf 'FAIL %s: %s\n%s\n' "$name" "${problems[*]}" "$text"
  else
    passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
((failed == 0))
