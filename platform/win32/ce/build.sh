#!/usr/bin/env bash
# Builds OlmInit.exe for Windows CE from the given sources (the .rc among
# them), with no C runtime, importing only COREDLL.dll.
#   armv4i: ARM-mode ARMv4T code with interworking: clang reads the sources
#           for Windows types into LLVM IR, llc lowers that for ARMv4T, and
#           GNU binutils for arm-wince-pe assemble and link it (clang emits no
#           ARM-mode COFF; BFD writes machine ARM, the SDKs write THUMB).
#   armv7:  Thumb-2 by clang and lld.
#   x86:    i486 code by clang and lld, the CPU the CE x86 kernels still
#           name; WINAPI is __cdecl there.
# The CE version (UNDER_CE) and the subsystem version come from the preset
# (CMakePresets.json): Compact 2013 loads no binary built for an earlier one.
# All reserve the CE tools' 64 KiB of stack (CE reserves all of it in the
# process's address space) and get subsystem 9, WINDOWS_CE_GUI, written into
# the headers: no linker names it.
# Usage: build.sh armv4i|armv7|x86 UNDER_CE SUBSYSTEM OUTPUT_EXE SOURCE...
#        (WINCE_BINUTILS: armv4i)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
cpu=$1 version=$2 subsystem=$3 out=$4
shift 4

# The clang target, the CPU's own flags, llvm-dlltool's machine and the
# entry's symbol (x86 prefixes C names with '_') where clang links.
case $cpu in
  armv4i) machine=c2 target=armv7-w64-windows-gnu ;;
  armv7) machine= target=armv7-w64-windows-gnu cpuflags=() dlltool=arm
    entry=OlmInitStartup ;;
  x86) machine= target=i386-w64-windows-gnu cpuflags=(-march=i486)
    dlltool=i386 entry=_OlmInitStartup ;;
  *) echo "build.sh: no such CPU: $cpu" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# put_bytes FILE OFFSET HEX...: overwrites the file's bytes at OFFSET.
put_bytes() {
  local file=$1 offset=$2
  shift 2
  printf "$(printf '\\x%s' "$@")" |
    dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

headers=/usr/share/mingw-w64/include
cxxflags=(--target=$target -isystem "$here/include" -isystem "$headers"
  -I"$root" -DUNDER_CE=$version -D_WIN32_WCE=$version -std=c++03 -pedantic
  -fno-exceptions -fno-rtti -Wall -Wextra -Werror -Os -fomit-frame-pointer
  -fno-stack-protector -mno-stack-arg-probe)

objects=()
for source in "$@"; do
  name=$work/$(basename "${source%.*}")
  case $source in
    *.rc)
      /usr/lib/llvm-14/bin/llvm-windres --target=$target -I"$headers" \
        -DUNDER_CE -O res "$source" "$name.res"
      if [[ $cpu == armv4i ]]; then
        "$WINCE_BINUTILS/bin/arm-wince-pe-windres" -J res -O coff \
          -i "$name.res" -o "$name.o"
      else
        /usr/lib/llvm-14/bin/llvm-windres --target=$target -J res -O coff \
          "$name.res" "$name.o"
      fi ;;
    *.cpp) if [[ $cpu == armv4i ]]; then
        clang++ "${cxxflags[@]}" -S -emit-llvm "$source" -o "$name.ll"
      else
        clang++ "${cxxflags[@]}" "${cpuflags[@]}" -ffunction-sections \
          -fdata-sections -c "$source" -o "$name.o"
      fi ;;
    *) echo "build.sh: what is $source?" >&2; exit 2 ;;
  esac
  [[ $source == *.cpp && $cpu == armv4i ]] || objects+=("$name.o")
done

# armv4i_assembly IR: ARMv4T assembly for GNU as on stdout. The IR is the
# Windows (Thumb-2) target's; its CPU, calling convention and import marks
# go, so that llc lowers it as plain ARMv4T with soft float.
armv4i_assembly() {
  sed -E -e 's/ "target-(cpu|features)"="[^"]*"//g' \
    -e 's/\barm_aapcs_vfpcc //g' -e 's/\bdllimport //g' \
    -e '/^target (datalayout|triple)/d' "$1" >"$work/v4t.ll"
  llc -mtriple=armv4t-none-eabi -mcpu=arm7tdmi -float-abi=soft \
    -relocation-model=static -O2 "$work/v4t.ll" -o "$work/v4t.s"
  # ELF-only directives go, ELF sections become COFF's; anything else
  # unknown stops the build rather than pass unread.
  awk '
    /^[ \t]*\.(fnstart|fnend|cantunwind|save|pad|setfp|vsave|eabi_attribute|cpu|file|ident|size|type|addrsig)([ \t]|$)/ { next }
    /^[ \t]*\.section[ \t]+"?\.note\.GNU-stack/ { next }
    /^[ \t]*\.section[ \t]+\.rodata/ { print "\t.section .rdata,\"dr\""; next }
    /^[ \t]*\.section[ \t]+\.(data|bss)[ \t,]/ { split($2, s, ","); print "\t" s[1]; next }
    /^[ \t]*\.(text|data|bss|globl|p2align|long|short|byte|ascii|asciz|zero|syntax|code)([ \t]|$)/ { print; next }
    /^[ \t]*\./ && !/^\.L[^ \t:]*:/ { print "build.sh: unknown directive: " $0 > "/dev/stderr"; bad = 1 }
    { print }
    END { exit bad }' "$work/v4t.s"
}

# Link, importing COREDLL.dll's functions by name.
if [[ $cpu == armv4i ]]; then
  bin=$WINCE_BINUTILS/bin/arm-wince-pe
  llvm-link "$work"/*.ll -o "$work/all.bc"
  llvm-dis "$work/all.bc" -o "$work/all.ll"
  armv4i_assembly "$work/all.ll" >"$work/program.s"
  "$bin-as" -mcpu=arm7tdmi -o "$work/program.o" "$work/program.s"
  # The library holds only the import entries (DATA); each call goes through
  # a thunk of ours that enters COREDLL with bx, so a Thumb COREDLL works:
  # dlltool's ARM thunks load the PC, which does not interwork on ARMv4T.
  sed -E '/^(LIBRARY|EXPORTS|;)/!s/$/ DATA/' "$here/coredll.def" \
    >"$work/coredll.def"
  "$bin-dlltool" -m arm-wince -d "$work/coredll.def" -l "$work/libcoredll.a"
  {
    echo '  .text'
    echo '  .arm'
    sed -n '1,/^EXPORTS/d;/^[A-Za-z]/p' "$here/coredll.def" |
      while read -r name; do
        printf '  .globl %s\n  .p2align 2\n%s:\n  ldr ip, 1f\n  ldr ip, [ip]\n  bx ip\n1:\n  .long __imp_%s\n' \
          "$name" "$name" "$name"
      done
  } >"$work/thunks.s"
  "$bin-as" -mcpu=arm7tdmi -o "$work/thunks.o" "$work/thunks.s"
  "$bin-ld" --subsystem "wince:$subsystem" --entry OlmInitStartup \
    --image-base 0x10000 --stack 0x10000,0x1000 --enable-reloc-section \
    --fatal-warnings --no-insert-timestamp -s \
    -o "$out" "$work/program.o" "$work/thunks.o" "${objects[@]}" \
    "$work/libcoredll.a"
else
  # Undecorated names: a __stdcall declaration (Name@N) finds none, and
  # lld's fix-up to the plain name, which would link it, is off.
  llvm-dlltool -m $dlltool -d "$here/coredll.def" -l "$work/libcoredll.a"
  clang++ --target=$target -fuse-ld=lld -nostdlib \
    -Wl,--entry=$entry,--subsystem,windows:$subsystem,--disable-stdcall-fixup \
    -Wl,--stack,0x10000,--image-base,0x10000,--gc-sections,--fatal-warnings \
    -Wl,--no-insert-timestamp -s \
    -o "$out" "${objects[@]}" "$work/libcoredll.a"
fi

pe=$(od -An -tu4 -j60 -N4 "$out" | tr -d ' ')
put_bytes "$out" $((pe + 92)) 09 00
[[ -z $machine ]] || put_bytes "$out" $((pe + 4)) "$machine" 01
bash "$here/../pe_checksum.sh" "$out"
