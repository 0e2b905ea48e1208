#!/usr/bin/env bash
# Runs OlmInit.exe under Wine's relay trace and checks the exact arguments
# of its calls into the API, in order. Called by run_wine_tests.sh inside a
# prepared prefix, with the launcher at C:\olm_tools\OlmInit.exe, and the
# registry view the build reads in OLM_REG_VIEW (the other in
# OLM_OTHER_REG_VIEW).
# Usage: check_api_calls.sh WORK_DIR
set -euo pipefail
work=$1
source "$(dirname "$0")/../../scripts/lib/wine_prefix.sh"
failed=0

# call_matches LINE PATTERN: PATTERN is Dll.Function(argument,...) with * for any
# argument. A text argument is compared after its address; a number by its
# low 32 bits, since the rest of a 64-bit register is undefined for a 32-bit
# argument.
call_matches() {
  local line=$1 pattern=$2
  [[ $line == *"Call ${pattern%%(*}("* ]] || return 1
  local actual=${line#*"Call ${pattern%%(*}("} wanted=${pattern#*(}
  actual=${actual%") ret="*}
  wanted=${wanted%)}
  local -a got want
  IFS=',' read -r -a got <<<"$actual"
  IFS=',' read -r -a want <<<"$wanted"
  ((${#got[@]} == ${#want[@]})) || return 1
  local i a w
  for i in "${!want[@]}"; do
    a=${got[i]} w=${want[i]}
    case $w in
      '*') ;;
      L\"*) [[ $a == *" $w" || $a == "$w" ]] || return 1 ;;
      *) a=00000000$a
         [[ ${a: -8} == "$(printf '%08x' "0x$w")" ]] || return 1 ;;
    esac
  done
}

# expect LOG CASE PATTERN...: calls matching these, in this order.
expect() {
  local log=$1 name=$2 line n=0
  shift 2
  local -a patterns=("$@")
  while IFS= read -r line && ((n < ${#patterns[@]})); do
    call_matches "$line" "${patterns[n]}" && n=$((n + 1))
  done <"$log"
  if ((n < ${#patterns[@]})); then
    echo "  FAIL [$name] no call matching ${patterns[n]}"
    failed=$((failed + 1))
  fi
}

# relay LOG ARGUMENT...: runs the launcher traced; keeps the calls of its
# own thread (the interpreter it starts is traced too).
relay() {
  local log=$1
  shift
  WINEDEBUG=+relay wine64 'C:\olm_tools\OlmInit.exe' "$@" >/dev/null 2>"$log.raw" || true
  tr -d '\r' <"$log.raw" |
    grep -E '^[0-9a-f]+:Call (advapi32|KERNEL32|USER32)\.' >"$log.calls"
  local thread
  thread=$(grep -m1 'OLM Controls' "$log.calls" | cut -d: -f1)
  grep "^$thread:" "$log.calls" >"$log"
}

key='L"SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit"'
cmd='L"C:\\windows\\system32\\cmd.exe"'

relay "$work/set.log" -w500
expect "$work/set.log" "set delay" \
  "advapi32.RegCreateKeyExW(80000002,$key,0,*,0,3,0,*,*)" \
  'advapi32.RegSetValueExW(*,L"Wait",0,4,*,4)' \
  'advapi32.RegFlushKey(*)' \
  'advapi32.RegCloseKey(*)'

# 300 ms in the view this build reads, and a decoy of 700 in the other one.
for view in "$OLM_REG_VIEW 300" "$OLM_OTHER_REG_VIEW 700"; do
  wine64 reg add 'HKLM\SOFTWARE\OLM Controls\OLM_2_10_0_3639\OlmInit' \
    /v Wait /t REG_DWORD /d "${view#* }" /f "${view% *}" >/dev/null 2>&1
done
relay "$work/run.log"
expect "$work/run.log" "run mode" \
  "advapi32.RegOpenKeyExW(80000002,$key,0,1,*)" \
  'advapi32.RegQueryValueExW(*,L"Wait",0,*,*,*)' \
  'advapi32.RegCloseKey(*)' \
  'KERNEL32.Sleep(12c)' \
  "KERNEL32.CreateProcessW($cmd,L\"\\\"C:\\\\windows\\\\system32\\\\cmd.exe\\\" /S /C \\\"\\\"C:\\\\olm_tools\\\\OlmInit.bat\\\"\\\"\",0,0,0,0,0,0,*,*)" \
  'KERNEL32.CloseHandle(*)' \
  'KERNEL32.CloseHandle(*)'

echo "$((2 - failed)) passed, $failed failed"
((failed == 0))
