#!/usr/bin/python3
"""What the Windows CE loaders and the image tool check of an executable,
one row a rule, read from the headers of a CE OlmInit.exe.

Usage: ce_loader_rules.py EXE CPU:UNDER_CE
  CPU is armv4i, armv7 or x86; UNDER_CE the oldest CE the build is for:
  0x500 (CE 5.0 to 7) or 0x800 (Compact 2013).
"""
import sys

import pefile

exe, (cpu, _, version) = sys.argv[1], sys.argv[2].partition(":")
pe = pefile.PE(exe)
oh, fh = pe.OPTIONAL_HEADER, pe.FILE_HEADER
compact2013 = int(version, 16) >= 0x800
# CE 5.0 to 7 apply base relocations of these types only; Compact 2013 on
# ARM adds the Thumb MOV32 pair (7), which no x86 code has.
relocation_types = {0, 1, 2, 3, 4, 5, 9} | ({7} if compact2013 and cpu != "x86" else set())
oldest_os = 8.0 if compact2013 else 5.0
# The kernel loads only code for its own CPU: ARM or Thumb on CE 5.0 to 7
# (ARMV4I to ARMV7), ARMNT on Compact 2013, I386 on x86.
machines = {0x14C} if cpu == "x86" else {0x1C4} if compact2013 else {0x1C0, 0x1C2}
subsystem = oh.MajorSubsystemVersion + oh.MinorSubsystemVersion / 100
found = {e.type for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
         for e in block.entries}
RULES = [
    # romimage refuses other page alignments; 1 KiB fails to load on CE 4.1+
    ("section alignment 4 KiB", oh.SectionAlignment == 0x1000),
    # the loader finds the section table at a fixed offset after "PE\0\0"
    ("standard 0xE0 optional header, 16 data directories",
     fh.SizeOfOptionalHeader == 0xE0 and oh.NumberOfRvaAndSizes == 16),
    # sections are mapped page by page within the image's reservation
    ("every section page-aligned and inside SizeOfImage",
     all(s.VirtualAddress % 0x1000 == 0
         and s.VirtualAddress + s.Misc_VirtualSize <= oh.SizeOfImage for s in pe.sections)),
    # the loader reads the first section's file data to place the image
    ("the first section has file data",
     bool(pe.sections) and pe.sections[0].SizeOfRawData > 0
     and pe.sections[0].PointerToRawData > 0),
    # a type the kernel does not apply leaves a wrong address behind
    (f"base relocation types within {sorted(relocation_types)} (found {sorted(found)})",
     found <= relocation_types),
    # without a lookup table the loader skips the descriptor's imports
    ("every import descriptor has an import lookup table",
     hasattr(pe, "DIRECTORY_ENTRY_IMPORT")
     and all(d.struct.OriginalFirstThunk for d in pe.DIRECTORY_ENTRY_IMPORT)),
    # CE 7 and Compact 2013 in strict no-execute mode refuse images without it
    ("NX_COMPAT", oh.DllCharacteristics & 0x100 != 0),
    # newer: ERROR_OLD_WIN_VERSION; Compact 2013 loads nothing below 8.00
    (f"subsystem version {subsystem:.2f} within {'8.00' if compact2013 else '0'}"
     f" to {oldest_os:.2f}", (8.0 if compact2013 else 0) <= subsystem <= oldest_os),
    (f"machine {fh.Machine:#x}, the kernel's own CPU", fh.Machine in machines),
    # the kernel rounds the reserve to 64 KiB and clamps it to 1 MiB
    ("stack reserve a multiple of 64 KiB from 64 KiB to 1 MiB",
     oh.SizeOfStackReserve % 0x10000 == 0 and 0x10000 <= oh.SizeOfStackReserve <= 0x100000),
    # a program, loadable where the kernel puts it
    ("not a DLL", fh.Characteristics & 0x2000 == 0),
    ("relocations kept, or the base within 0x10000 to 0x400000",
     (fh.Characteristics & 0x1 == 0 and bool(found))
     or 0x10000 <= oh.ImageBase <= 0x400000),
]
failed = [name for name, ok in RULES if not ok]
for name in failed:
    print(f"FAIL: CE loader: {name}")
print(f"{len(RULES) - len(failed)} passed, {len(failed)} failed")
sys.exit(1 if failed else 0)
