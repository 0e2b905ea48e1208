#!/usr/bin/env bash
# Reads a built OlmInit.exe's headers: its CPU, the GUI subsystem, imports
# from KERNEL32.dll and ADVAPI32.dll only, a version resource, and a size of
# at most 8 KiB.
# Usage: check_executable.sh EXE MACHINE   (MACHINE: AMD64, I386, ARM64, ARMNT)
set -euo pipefail
exe=$1 machine=$2

if ! command -v llvm-readobj >/dev/null; then
  if [[ ${CI:-} == true ]]; then
    echo "check_executable: llvm-readobj is missing" >&2
    exit 1
  fi
  echo "check_executable: llvm-readobj is missing; skipped"
  exit 77
fi

headers=$(llvm-readobj --file-headers --coff-imports --coff-resources "$exe")
size=$(stat -c %s "$exe")
imports=$(sed -n 's/^  Name: //p' <<<"$headers" | sort | tr '\n' ' ')
echo "$exe: $size bytes, machine $machine, imports: $imports"
failed=0
check() {
  if ! eval "$1"; then
    echo "FAIL: $2"
    failed=$((failed + 1))
  fi
}
check 'grep -q "Machine: IMAGE_FILE_MACHINE_$machine (" <<<"$headers"' "machine $machine"
check 'grep -q "Subsystem: IMAGE_SUBSYSTEM_WINDOWS_GUI" <<<"$headers"' "GUI subsystem"
check '[[ $imports == "ADVAPI32.dll KERNEL32.dll " ]]' "imports only KERNEL32.dll and ADVAPI32.dll"
check 'grep -q "Type: VERSIONINFO" <<<"$headers"' "version resource"
check '((size <= 8192))' "at most 8192 bytes"
echo "$((5 - failed)) passed, $failed failed"
((failed == 0))
