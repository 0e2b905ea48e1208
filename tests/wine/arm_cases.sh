#!/usr/bin/env bash
# An ARM build's end-to-end cases, run inside the arm64 or armhf root by
# run_arm_group.sh, with OlmInit.exe beside this file and the root's Wine
# loader and server in WINE_LOADER and WINE_SERVER. Wine has no display
# there, so a failure box returns at once and shows only as the status.
set -euo pipefail
cd "$(dirname "$0")"
# Without a display, Wine's desktop process (explorer) spins under qemu and
# starves every process after it; nothing here needs it.
export WINEPREFIX=$PWD/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;explorer.exe=d"
wine() { "$WINE_LOADER" "$@"; }
wineserver() { "$WINE_SERVER" "$@"; }
wine wineboot -i >boot.log 2>&1
wineserver -w

olm=$WINEPREFIX/drive_c/olm
mkdir -p "$olm"
cp OlmInit.exe "$olm/OlmInit.exe"
cp OlmInit.exe "$olm/OlmInit"
printf '@echo off\r\necho ran>C:\\olm\\ran.txt\r\n' >"$olm/OlmInit.bat"
key='HKLM\SOFTWARE\OLM Controls\OLM_2_10_0_3639\OlmInit'

passed=0
failed=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else echo "  FAIL [$1]"; failed=$((failed + 1)); fi
}
stored() {
  wine reg query "$key" /v Wait 2>/dev/null | tr -d '\r' | grep -o 'REG_[A-Z_]* *0x[0-9a-f]*' | tr -s ' ' || true
}
# launch PROGRAM ARGUMENT...: runs it and sets $status, then lets Wine settle.
launch() {
  status=0
  wine "$@" >/dev/null 2>&1 || status=$?
  wineserver -w
}

launch 'C:\olm\OlmInit.exe' -w300
check "-w300 ends with 0 (got $status)" '((status == 0))'
check "-w300 stores REG_DWORD 0x12c (got $(stored))" '[[ $(stored) == "REG_DWORD 0x12c" ]]'
check "-w300 starts nothing" '[[ ! -e $olm/ran.txt ]]'

started=$(date +%s%N)
status=0
wine 'C:\olm\OlmInit.exe' >/dev/null 2>&1 || status=$?
for _ in $(seq 500); do [[ -e $olm/ran.txt ]] && break; sleep 0.02; done
ran_ms=$((($(date +%s%N) - started) / 1000000))
wineserver -w
check "run mode ends with 0 (got $status)" '((status == 0))'
check "companion ran, no earlier than 300 ms (after $ran_ms ms)" '[[ -e $olm/ran.txt ]] && ((ran_ms >= 300))'

rm -f "$olm/ran.txt"
WINEDEBUG=+relay wine 'C:\olm\OlmInit.exe' >/dev/null 2>relay.raw || true
wineserver -w
tr -d '\r' <relay.raw >relay.log
line='L"\"C:\\windows\\system32\\cmd.exe\" /S /C \"\"C:\\olm\\OlmInit.bat\"\""'
check "trace shows Sleep(12c)" 'grep -qE "Call KERNEL32\.Sleep\(0*12c\)" relay.log'
check "trace shows the desktop command line" 'grep "Call KERNEL32.CreateProcessW(" relay.log | grep -qF "$line"'
slept=$(grep -nE -m1 "Call KERNEL32\.Sleep\(0*12c\)" relay.log | cut -d: -f1 || true)
spawned=$(grep -nF "$line" relay.log | grep -m1 "Call KERNEL32.CreateProcessW(" | cut -d: -f1 || true)
check "Sleep comes before CreateProcessW" '((${slept:-0} > 0 && ${slept:-0} < ${spawned:-0}))'

for program in 'C:\olm\OlmInit.exe -wabc' 'C:\olm\OlmInit'; do
  rm -f "$olm/ran.txt"
  # shellcheck disable=SC2086
  launch $program
  check "$program ends with 255 (got $status)" '((status == 255))'
  check "$program leaves the registry as it was" '[[ $(stored) == "REG_DWORD 0x12c" ]]'
  check "$program starts nothing" '[[ ! -e $olm/ran.txt ]]'
done

echo "$passed passed, $failed failed"
((failed == 0))
