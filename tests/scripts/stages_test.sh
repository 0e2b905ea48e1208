#!/usr/bin/env bash
# The test command's lanes and preparations, run on stand-in commands: what
# each stage's verdict and output must be, whatever the others do.
set -euo pipefail
lib=$(cd "$(dirname "$0")/../../scripts/lib" && pwd)/stages.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
out=$(bash -c '
  set -euo pipefail
  source "$1"
  goes_on() { false; echo "went on after a failed step"; }
  leaves() { echo leaving; exit 3; }
  one() {
    stage first echo first ran
    stage after-bad --after bad-prep echo after-bad ran
    stage quits leaves
    stage last echo last ran
  }
  two() {
    stage hides-fault goes_on
    stage after-good --after good-prep echo after-good ran
    stage after-none --after never-started echo after-none ran
  }
  stages_begin "$2"
  prepare bad-prep sh -c "echo mirror unreachable; exit 1"
  prepare good-prep --nice 5 sleep 1
  lane one
  lane two
  wait
  stages_end' - "$lib" "$work/stages" 2>&1) || status=$?

# what | wanted in the output (a line of it, as a pattern) | or not (!)
cases=(
  "the run fails|status 1"
  "a failed step fails its stage, whatever follows|^== hides-fault .*FAILED"
  "set -e holds inside a stage|!went on after a failed step"
  "a failed preparation fails its stage|^== after-bad .*FAILED"
  "with the preparation's own log|mirror unreachable"
  "and its stage does not run|!after-bad ran"
  "an exit ends only its stage|^== quits .*FAILED"
  "its lane goes on|last ran"
  "a whole preparation lets its stage run|after-good ran"
  "one never started holds nothing up|after-none ran"
  "the timeline names the failures|^failed: .*bad-prep"
  "and counts every stage and preparation|^stages: 5 passed, 4 failed$"
)
text="$out"$'\n'"status $status"
passed=0 failed=0
for row in "${cases[@]}"; do
  what=${row%%|*} pattern=${row#*|}
  if [[ $pattern == '!'* ]]; then
    ! grep -qe "${pattern#!}" <<<"$text"
  else
    grep -qe "$pattern" <<<"$text"
  fi && passed=$((passed + 1)) && continue
  failed=$((failed + 1))
  echo "FAIL $what: $pattern"
done
((failed == 0)) || echo "$text"
echo "$passed passed, $failed failed"
((failed == 0))
