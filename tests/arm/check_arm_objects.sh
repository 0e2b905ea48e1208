#!/usr/bin/env bash
# Compiles the launcher and the Win32 backend to 32-bit ARM (Thumb-2) COFF
# objects with clang and the mingw-w64 headers: the nearest this machine
# gets to the devices' compilers. Warnings are errors, as C++03.
# Usage: check_arm_objects.sh SOURCE_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
headers=/usr/share/mingw-w64/include

for tool in clang++ llvm-objdump; do
  if ! command -v "$tool" >/dev/null || [[ ! -d $headers ]]; then
    if [[ ${CI:-} == true ]]; then
      echo "check_arm_objects: $tool or the mingw-w64 headers are missing" >&2
      exit 1
    fi
    echo "check_arm_objects: $tool or the mingw-w64 headers are missing; skipped"
    exit 77
  fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
passed=0
failed=0
# compile NAME SOURCE [DEFINE]: one object, checked to be Thumb COFF
compile() {
  local object=$out/$1.o
  if ! clang++ --target=armv7-w64-windows-gnu -isystem "$headers" \
      -I"$source_dir" ${3:+-D$3} -std=c++03 -pedantic -fno-exceptions \
      -fno-rtti -Wall -Wextra -Werror -Os -c "$source_dir/$2" -o "$object"; then
    echo "FAIL $1"
    failed=$((failed + 1))
    return
  fi
  if llvm-objdump -f "$object" | grep -q 'file format coff-arm' &&
     llvm-objdump -f "$object" | grep -q 'architecture: thumb'; then
    echo "ok   $1 (coff-arm, thumb)"
    passed=$((passed + 1))
  else
    echo "FAIL $1 is not a Thumb COFF object"
    failed=$((failed + 1))
  fi
}

for source in launcher/*.cpp platform/win32/*.cpp; do
  (cd "$source_dir" && [[ -f $source ]]) || continue
  compile "$(basename "${source%.cpp}")" "$source"
done
# The Windows CE branch of the backend. The CE entry cannot be compiled
# here: the desktop headers declare WinMain with narrow argument text.
compile win32_platform_under_ce platform/win32/win32_platform.cpp UNDER_CE

echo "$passed passed, $failed failed"
((failed == 0))
