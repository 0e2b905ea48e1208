#!/usr/bin/env bash
# Reads a built OlmInit.exe's headers: its CPU, the GUI subsystem, imports
# from KERNEL32.dll and ADVAPI32.dll only, a version resource, and a size of
# at most 8 KiB. A Windows CE build instead: subsystem WINDOWS_CE_GUI with
# its version, imports of exactly coredll.def's functions by name, the CE
# tools' 64 KiB stack at image base 0x10000, relocations, what the CE
# loaders check (ce_loader_rules.py), and, on a disassembly, the entry's
# instruction set and nothing newer than the CPU (ARMv4T for armv4i, the 486
# for x86). Every build: no link time stamp, and a checksum that is the
# file's.
# Usage: check_executable.sh EXE MACHINE          (AMD64, I386, ARM64, ARMNT)
#        check_executable.sh EXE CPU:UNDER_CE COREDLL_DEF OBJDUMP
#                        (CPU armv4i, armv7 or x86; UNDER_CE 0x500 or 0x800)
set -euo pipefail
exe=$1 machine=$2 ce=
if [[ $machine == *:* ]]; then
  ce=${machine%%:*} machine=
fi
for tool in llvm-readobj ${4:-} pefile; do
  if ! command -v "$tool" >/dev/null &&
     ! /usr/bin/python3 -c "import $tool" 2>/dev/null; then
    if [[ ${CI:-} == true ]]; then
      echo "check_executable: $tool is missing" >&2
      exit 1
    fi
    echo "check_executable: $tool is missing; skipped"
    exit 77
  fi
done

headers=$(llvm-readobj --file-headers --sections --coff-imports \
  --coff-resources "$exe" 2>&1) || true  # the rows below say what is wrong
size=$(stat -c %s "$exe")
imports=$(sed -n 's/^  Name: //p' <<<"$headers" | sort | tr '\n' ' ')
echo "$exe: $size bytes, ${ce:-machine $machine}, imports: $imports"
passed=0
failed=0
check() {
  if eval "$1"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $2"
    failed=$((failed + 1))
  fi
}
field() { sed -n "s/^ *$1: //p" <<<"$headers" | head -1; }

[[ -n $ce ]] || check 'grep -q "Machine: IMAGE_FILE_MACHINE_$machine (" <<<"$headers"' "machine $machine"
check 'grep -q "Type: VERSIONINFO" <<<"$headers"' "version resource"
check '((size <= 8192))' "at most 8192 bytes"
stamp=$(field TimeDateStamp)
checksum_ok() {
  /usr/bin/python3 -c 'import pefile, sys
sys.exit(not pefile.PE(sys.argv[1]).verify_checksum())' "$exe"
}
check '[[ $stamp == *"(0x0)" ]]' "no link time stamp (got $stamp)"
check checksum_ok "a checksum that is the file's own"
if [[ -z $ce ]]; then
  check 'grep -q "Subsystem: IMAGE_SUBSYSTEM_WINDOWS_GUI" <<<"$headers"' "GUI subsystem"
  check '[[ $imports == "ADVAPI32.dll KERNEL32.dll " ]]' "imports only KERNEL32.dll and ADVAPI32.dll"
  echo "$passed passed, $failed failed"
  ((failed == 0))
  exit
fi

wanted=$(sed -n '1,/^EXPORTS/d;/^[A-Za-z]/p' "$3" | sort | tr '\n' ' ')
symbols=$(sed -n 's/^ *Symbol: \(.*\) ([0-9]*)$/\1/p' <<<"$headers" | sort | tr '\n' ' ')
entry=$(($(field AddressOfEntryPoint)))
text_start=$(awk '/Name: .text/ {t=1} t && /VirtualAddress:/ {print $2; exit}' <<<"$headers")
text_size=$(awk '/Name: .text/ {t=1} t && /VirtualSize:/ {print $2; exit}' <<<"$headers")
echo "entry $(printf '0x%X' "$entry"), subsystem version $(field MajorSubsystemVersion).$(field MinorSubsystemVersion)"
check 'grep -q "Subsystem: IMAGE_SUBSYSTEM_WINDOWS_CE_GUI (0x9)" <<<"$headers"' "Windows CE GUI subsystem"
check '[[ $imports == "COREDLL.dll " ]]' "imports only COREDLL.dll"
check '[[ $symbols == "$wanted" ]]' "imports by name exactly: $wanted(got $symbols)"
check '(($(field SizeOfStackReserve) == 65536))' "64 KiB stack reserve"
check '(($(field ImageBase) == 0x10000))' "image base 0x10000"
check 'grep -q "Name: .reloc" <<<"$headers"' "relocations, for a load elsewhere"
check '((entry >= text_start && entry < text_start + text_size))' "entry inside .text"

# What the CE loaders and the image tool check, from a table beside this.
rules=$(/usr/bin/python3 "$(dirname "$0")/ce_loader_rules.py" "$exe" "$2") || true
grep '^FAIL' <<<"$rules" || true
check '[[ $rules == *" passed, 0 failed" ]]' "what the CE loaders check: $(tail -1 <<<"$rules")"

code=$("$4" -d "$exe" 2>&1)
if [[ $ce == armv4i ]]; then
  # ARM mode, interworking: each call into COREDLL leaves by bx, and no
  # branch or return loads the PC, which ARMv4T does not interwork on.
  newer='(blx|clz|ldrd|strd|movw|movt|pld|ldrex|strex|qadd|qsub|smla|smul|smua|smus|uxt|sxt|rev|sel|bkpt)'
  # Literal pools are data: drop the words that PC-relative loads read.
  pools=$(grep -oE '\[pc, #-?[0-9]+\]\s+@ 0x[0-9a-f]+' <<<"$code" | sed 's/.*@ 0x//')
  code=$(awk 'NR == FNR { pool[$1 ":"]; next } !($1 in pool)' \
    <(echo "$pools") <(echo "$code"))
  check '((entry % 2 == 0))' "entry in ARM mode"
  check '! grep -qE "^ +[0-9a-f]+:\s+[0-9a-f]{8}\s+$newer" <<<"$code"' "no instruction newer than ARMv4T"
  check '! grep -qE "(ldr|ldm[a-z]*|pop|mov)\s+(pc,|\{[^}]*pc\})|pop\s+\{[^}]*pc\}|ldm[a-z]*\s+[a-z0-9!]+,\s*\{[^}]*pc\}" <<<"$code"' "no branch or return that loads the PC"
  check '(($(grep -cE "\sbx\s+(ip|r12)$" <<<"$code") == $(wc -w <<<"$wanted")))' "every COREDLL call enters it by bx"
elif [[ $ce == x86 ]]; then
  # The CE x86 kernels still name the 486: nothing of the Pentium's or
  # later (cmov, the multi-byte nop, cmpxchg8b, rdtsc, cpuid, MMX, SSE).
  newer='(cmov|fcmov|fu?comi|rdtsc|rdpmc|cmpxchg8b|cpuid|sysenter|sysexit|nop[wl]|ud2|movbe|popcnt|lzcnt|tzcnt|emms)'
  code=$("$4" -d --no-show-raw-insn "$exe" 2>&1)
  check '! grep -qE "^ +[0-9a-f]+:\s+$newer|%[xy]?mm[0-9]" <<<"$code"' "no instruction newer than the 486"
  check '! grep -qE "<unknown>|\(bad\)" <<<"$code"' "all of .text decodes as x86"
else
  check '((entry % 2 == 1))' "entry in Thumb mode"
  check '! grep -qE "<unknown>|\.inst" <<<"$code"' "all of .text decodes as Thumb-2"
fi
echo "$passed passed, $failed failed"
((failed == 0))
