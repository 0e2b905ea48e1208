#!/usr/bin/python3
"""Runs a Windows CE OlmInit.exe's own machine code on an emulated CPU (ARM or
x86), with a COREDLL stand-in in the system's place, through every row of
the contract table (tests/contract/cases.txt), loaded at its preferred base
and rebased, and for ARMV4I behind ARM and Thumb stubs alike.

The stand-in answers each import as Windows CE documents it, over an
in-memory registry, and records every call with its arguments. A case fails
on a breach of CE's rules, a memory fault, a write to a read-only section,
an unaligned word or halfword access (old ARM cores fault or rotate; the
emulator does neither), a handle left open, or a stub entered in the other
instruction set than its own (a call that does not interwork). On x86, CE's
calling convention is cdecl: each stub reads its arguments from [esp+4] on,
answers in EAX and returns with a plain ret, leaving the arguments to the
caller; it then overwrites their slots, which the callee owns, so a build
that expects the callee to pop them fails at once. x86 has no alignment
faults, so no access is held to alignment there.

The launcher writes into stack memory that starts filled with a non-zero
pattern, so a text it leaves unterminated shows.

Usage: ce_device.py EXE BUILD                 the contract table
       ce_device.py EXE BUILD --show ARG...    one start per ARG, calls shown
       ce_device.py EXE BUILD --replay REPLAY DIR...
           each fuzz input in DIR (tests/fuzz/fuzz_input.h) run on the device
           and compared with what the host's REPLAY program prints of it
BUILD is the build's CPU (armv4i, armv7 or x86), and after a colon the
_TGTCPU of the OS design to run it on (ARMV4I, ARMV5, ARMV6, ARMV7, x86):
a core of that architecture (CORES). Without one, the oldest the CPU runs on.
"""
import functools
import os
import subprocess
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "contract"))
import contract  # noqa: E402

try:
    import pefile
    import unicorn
    from unicorn import arm_const as A
    from unicorn import x86_const as X
except ImportError as missing:
    print(f"ce_device: {missing.name} is missing (python3-unicorn, python3-pefile)")
    sys.exit(1 if os.environ.get("CI") == "true" else 77)

REBASED = 0x00400000  # away from the preferred base: relocations must be applied
STUBS, HALT, STACK, ARGS = 0x00100000, 0x00101000, 0x00200000, 0x00300000
HKLM = 0x80000002
KEY = "SOFTWARE\\OLM Controls\\OLM_2_10_0_3639\\OlmInit"
MODULE = "\\Windows\\OlmInit.exe"


# A core of each OS design CPU: ARMv4T, ARMv5TE, ARMv6, ARMv7-A, the 486.
CORES = {"ARMV4I": "TI925T", "ARMV5": "926", "ARMV6": "1136", "ARMV7": "CORTEX_A9",
         "X86": "486"}


class Cpu:
    """What differs between the CPUs: the emulator's model, the registers
    of the calling convention, and the stubs' return instruction."""

    def __init__(self, build):
        build, _, tgtcpu = build.partition(":")
        tgtcpu = tgtcpu.upper() or {"armv4i": "ARMV4I", "armv7": "ARMV7"}.get(build, "X86")
        self.x86 = build == "x86"
        if self.x86:
            self.arch, self.mode, self.model = unicorn.UC_ARCH_X86, unicorn.UC_MODE_32, \
                getattr(X, "UC_CPU_X86_" + CORES[tgtcpu])
            self.sp, self.pc, self.result = X.UC_X86_REG_ESP, X.UC_X86_REG_EIP, X.UC_X86_REG_EAX
            self.stub_sets = (0,)
        else:
            self.arch, self.mode = unicorn.UC_ARCH_ARM, unicorn.UC_MODE_ARM
            self.model = getattr(A, "UC_CPU_ARM_" + CORES[tgtcpu])
            self.sp, self.pc, self.result = A.UC_ARM_REG_SP, A.UC_ARM_REG_PC, A.UC_ARM_REG_R0
            self.stub_sets = (0, 1) if build == "armv4i" else (1,)

    def stub(self, thumb):
        """What a COREDLL function ends with: bx lr in its own set, or ret."""
        return b"\xc3" if self.x86 else b"\x70\x47" if thumb else b"\x1e\xff\x2f\xe1"


class Coredll:
    """The imports, each named as the API, its arguments read by the CPU's
    calling convention; a case asks for a failure by the function's name."""

    def __init__(self, uc, cpu, base, registry, module, fail, flush, system):
        self.uc, self.cpu, self.base, self.registry, self.module = uc, cpu, base, registry, module
        self.fail, self.flush, self.system = fail, flush, system
        self.calls, self.breaches, self.handles, self.status = [], [], {}, None
        self.boxes, self.waits, self.starts = [], [], []
        self.serial = 0x1000

    def arg(self, i):
        sp = self.uc.reg_read(self.cpu.sp)
        if self.cpu.x86:  # above the return address
            return self.word(sp + 4 + 4 * i)
        return self.uc.reg_read(A.UC_ARM_REG_R0 + i) if i < 4 else self.word(sp + 4 * i - 16)

    def word(self, address):
        return struct.unpack("<I", self.uc.mem_read(address, 4))[0]

    def put(self, address, value):  # COREDLL's own stores are words too
        self.rule(self.cpu.x86 or address % 4 == 0, f"unaligned word store at {address:#x}")
        self.uc.mem_write(address, struct.pack("<I", value))

    def text(self, address):
        units = []
        while address and len(units) < 1024 and (units[-1:] or [1])[0]:
            units += struct.unpack("<H", self.uc.mem_read(address + 2 * len(units), 2))
        return "".join(map(chr, units[:-1])) if address else None

    def rule(self, ok, what):
        if not ok:
            self.breaches.append(what)

    def open_handle(self, what):
        self.serial += 4
        self.handles[self.serial] = what
        return self.serial

    def GetModuleFileNameW(self, module, buffer, size):
        self.rule(module == self.base, "GetModuleFileNameW: not the instance handle")
        self.calls.append(f"GetModuleFileNameW {size}")
        # A path that does not fit: CE 5.0 cuts it to size - 1 units,
        # terminated, as if whole; CE 6.0 to 2013 write nothing; the desktop
        # (XP) fills the buffer without a terminator.
        if "GetModuleFileNameW" in self.fail or (
                self.system == "ce6" and len(self.module) >= size):
            return 0
        if self.system == "desktop" and len(self.module) >= size:
            self.uc.mem_write(buffer, self.module[:size].encode("utf-16-le", "surrogatepass"))
            return size
        units = self.module[: max(size, 1) - 1]
        self.uc.mem_write(buffer, (units + "\0").encode("utf-16-le", "surrogatepass"))
        return len(units)

    def key(self, name, root, sub_key, reserved, sam):
        path = self.text(sub_key)
        self.rule(root == HKLM and reserved == 0, f"{name}: root {root:#x}, reserved {reserved}")
        self.calls.append(f"{name} {path} {sam:#x}")
        return path.lower()

    def RegOpenKeyExW(self, root, sub_key, options, sam, result):
        path = self.key("RegOpenKeyExW", root, sub_key, options, sam)
        if "RegOpenKeyExW" in self.fail:
            return 5  # ERROR_ACCESS_DENIED
        if path not in self.registry:
            return 2  # ERROR_FILE_NOT_FOUND
        self.put(result, self.open_handle("key:" + path))
        return 0

    def RegCreateKeyExW(self, root, sub_key, reserved, cls, options, sam, security, result,
                        disposition):
        path = self.key("RegCreateKeyExW", root, sub_key, reserved, sam)
        self.rule(options == 0 and security == 0, "RegCreateKeyExW: options or security")
        if "RegCreateKeyExW" in self.fail:
            return 5  # ERROR_ACCESS_DENIED
        if disposition:
            self.put(disposition, 2 if path in self.registry else 1)
        self.registry.setdefault(path, {})
        self.put(result, self.open_handle("key:" + path))
        return 0

    def values(self, name, key):
        kind, _, path = self.handles.get(key, " ").partition(":")
        self.rule(kind == "key", f"{name}: {key:#x} is no open key")
        return self.registry.setdefault(path, {}) if kind == "key" else {}

    def RegQueryValueExW(self, key, name, reserved, type_out, data, size_in_out):
        values, name = self.values("RegQueryValueExW", key), self.text(name)
        self.rule(reserved == 0, "RegQueryValueExW: reserved argument")
        room = self.word(size_in_out)
        self.calls.append(f"RegQueryValueExW {name} {room}")
        if name not in values:
            return 2
        kind, value = values[name]
        if type_out:
            self.put(type_out, kind)
        self.put(size_in_out, len(value))
        if data and len(value) > room:
            return 234  # ERROR_MORE_DATA
        self.uc.mem_write(data, value) if data else None
        return 0

    def RegSetValueExW(self, key, name, reserved, kind, data, size):
        values, name = self.values("RegSetValueExW", key), self.text(name)
        self.rule(reserved == 0, "RegSetValueExW: reserved argument")
        value = bytes(self.uc.mem_read(data, size))
        self.calls.append(f"RegSetValueExW {name} {kind} {value.hex()}")
        if "RegSetValueExW" in self.fail:
            return 5
        values[name] = (kind, value)
        return 0

    def RegFlushKey(self, key):
        self.values("RegFlushKey", key)
        self.calls.append("RegFlushKey")
        return self.flush

    def close(self, handle, name, kinds):
        self.calls.append(name)
        ok = self.handles.get(handle, " ").partition(":")[0] in kinds
        self.rule(ok, f"{name}: {handle:#x} is not open, or not for this call")
        return ok and self.handles.pop(handle) is not None

    def RegCloseKey(self, key):
        return 0 if self.close(key, "RegCloseKey", ("key",)) else 6

    def CloseHandle(self, handle):
        return int(self.close(handle, "CloseHandle", ("process", "thread")))

    def Sleep(self, milliseconds):
        self.calls.append(f"Sleep {milliseconds}")
        self.waits.append(milliseconds)

    def CreateProcessW(self, application, line, process_security, thread_security, inherit,
                       flags, environment, directory, startup, info):
        for value, what in ((process_security, "process security"), (thread_security,
                            "thread security"), (inherit, "inheritance"), (flags, "flags"),
                            (environment, "environment"), (directory, "current directory"),
                            (startup, "start-up information")):
            self.rule(value == 0, f"CreateProcessW: {what} not NULL or 0")
        self.calls.append(f"CreateProcessW {self.text(application)} {self.text(line)}")
        self.starts.append((self.text(application), self.text(line)))
        if "CreateProcessW" in self.fail:
            return 0
        for offset, value in enumerate((self.open_handle("process"), self.open_handle("thread"),
                                        0x51, 0x52)):
            self.put(info + 4 * offset, value)
        return 1

    def MessageBoxW(self, owner, text, caption, style):
        self.rule(owner == 0, "MessageBoxW: an owner window")
        self.calls.append(f"MessageBoxW {self.text(text)}|{self.text(caption)}|{style:#x}")
        self.boxes.append((self.text(text), self.text(caption), style))
        return 1  # IDOK

    def ExitThread(self, code):
        self.calls.append(f"ExitThread {code:#x}")
        self.status = code
        self.uc.emu_stop()


@functools.lru_cache(maxsize=None)
def parse(path):
    return pefile.PE(path)


def load(path, build, thumb_stubs, case, base):
    """Maps the executable at `base` (None: its preferred one), points its
    imports at stubs and returns the CPU ready at the entry with WinMain's
    four arguments."""
    pe = parse(path)
    base = base or pe.OPTIONAL_HEADER.ImageBase
    argument = case.get("argument")
    arguments_size = ((0 if argument is None else 2 * len(argument)) + 2 + 0xFFF) & ~0xFFF
    cpu = Cpu(build)
    thumb_stubs = thumb_stubs and not cpu.x86
    uc = unicorn.Uc(cpu.arch, cpu.mode)
    uc.ctl_set_cpu_model(cpu.model)
    size = (pe.OPTIONAL_HEADER.SizeOfImage + 0xFFF) & ~0xFFF
    for address, length in ((base, size), (STUBS, 0x2000), (STACK, 0x10000),
                            (ARGS, arguments_size)):
        uc.mem_map(address, length)
    for address, length in ((STACK, 0x10000), (ARGS, arguments_size)):
        uc.mem_write(address, b"\xa5" * length)  # memory is not zero on a device
    uc.mem_write(base, pe.header)
    for s in pe.sections:
        uc.mem_write(base + s.VirtualAddress, s.get_data()[: s.Misc_VirtualSize])
    delta = base - pe.OPTIONAL_HEADER.ImageBase
    for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for entry in block.entries:
            at = base + entry.rva
            if entry.type == 3:  # HIGHLOW
                value = struct.unpack("<I", uc.mem_read(at, 4))[0]
                uc.mem_write(at, struct.pack("<I", (value + delta) & 0xFFFFFFFF))
            elif entry.type == 7:  # THUMB_MOV32: a movw, movt pair
                h = struct.unpack("<4H", uc.mem_read(at, 8))
                imm = [(a & 0xF) << 12 | (a >> 10 & 1) << 11 | (b >> 12 & 7) << 8 | b & 0xFF
                       for a, b in ((h[0], h[1]), (h[2], h[3]))]
                value = (imm[1] << 16 | imm[0]) + delta
                out = []
                for a, b, v in ((h[0], h[1], value & 0xFFFF), (h[2], h[3], value >> 16 & 0xFFFF)):
                    out += [a & 0xFBF0 | v >> 12 | (v >> 11 & 1) << 10,
                            b & 0x8F00 | (v >> 8 & 7) << 12 | v & 0xFF]
                uc.mem_write(at, struct.pack("<4H", *out))
            elif entry.type != 0:
                sys.exit(f"ce_device: relocation type {entry.type} is not known here")
    dll = Coredll(uc, cpu, base, case["registry"], case.get("module", MODULE),
                  case.get("fail", ()), case.get("flush", 0), case.get("system", "ce5"))
    stubs = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_IMPORT"):
        dll.breaches.append("no import table")
    for library in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for imp in library.imports:
            stub = STUBS + 8 * len(stubs)
            uc.mem_write(stub, cpu.stub(thumb_stubs))
            stubs[stub] = getattr(dll, imp.name.decode())
            uc.mem_write(imp.address - pe.OPTIONAL_HEADER.ImageBase + base,
                         struct.pack("<I", stub | thumb_stubs))
    for s in pe.sections:
        c = s.Characteristics
        prot = (c >> 30 & 1) * unicorn.UC_PROT_READ | (c >> 31 & 1) * unicorn.UC_PROT_WRITE \
            | (c >> 29 & 1) * unicorn.UC_PROT_EXEC
        uc.mem_protect(base + s.VirtualAddress, (s.Misc_VirtualSize + 0xFFF) & ~0xFFF, prot)
    uc.mem_protect(base, 0x1000, unicorn.UC_PROT_READ)
    uc.mem_protect(STUBS, 0x2000, unicorn.UC_PROT_READ | unicorn.UC_PROT_EXEC)
    if argument is not None:
        uc.mem_write(ARGS, (argument + "\0").encode("utf-16-le", "surrogatepass"))
    winmain = (base, 0, 0 if argument is None else ARGS, 5)
    if cpu.x86:  # cdecl: the four arguments on the stack, above the return address
        uc.mem_write(STACK + 0x10000 - 20, struct.pack("<5I", HALT, *winmain))
        uc.reg_write(X.UC_X86_REG_ESP, STACK + 0x10000 - 20)
    else:
        for i, value in enumerate(winmain):
            uc.reg_write(A.UC_ARM_REG_R0 + i, value)
        uc.reg_write(A.UC_ARM_REG_SP, STACK + 0x10000)
        uc.reg_write(A.UC_ARM_REG_LR, HALT)
    return uc, cpu, dll, stubs, base + pe.OPTIONAL_HEADER.AddressOfEntryPoint


def run(path, build, thumb_stubs, case, base=REBASED, count=None):
    uc, cpu, dll, stubs, entry = load(path, build, thumb_stubs, case, base)

    def on_code(uc, address, size, _):
        if not STUBS <= address < STUBS + 0x2000:  # only when counting
            count[0] += 1
            return
        function = stubs.get(address)
        if function is None:
            dll.breaches.append(f"code run inside the stand-in at {address:#x}")
            return uc.emu_stop()
        if not cpu.x86 and uc.reg_read(A.UC_ARM_REG_CPSR) >> 5 & 1 != thumb_stubs:
            dll.breaches.append(f"{function.__name__} entered in the other instruction set")
            return uc.emu_stop()
        argc = function.__code__.co_argcount - 1
        try:
            result = function(*[dll.arg(i) for i in range(argc)])
        except (TypeError, AttributeError, unicorn.UcError) as error:  # a bad pointer
            dll.breaches.append(f"{function.__name__}: {error}")
            return uc.emu_stop()
        uc.reg_write(cpu.result, (result or 0) & 0xFFFFFFFF)
        if cpu.x86:  # the slots are the callee's: what the caller left there is gone
            uc.mem_write(uc.reg_read(cpu.sp) + 4, b"\xa5" * 4 * argc)

    def on_access(uc, access, address, size, value, _):
        if not cpu.x86 and size in (2, 4, 8) and address % min(size, 4):
            dll.breaches.append(f"unaligned {size}-byte access at {address:#x}")

    def on_fault(uc, access, address, size, value, _):
        dll.breaches.append(f"memory fault ({access}) at {address:#x}")
        return False

    # One code hook: the stubs' range, or all code (begin > end) when the
    # launcher's own instructions are counted.
    begin, end = (1, 0) if count else (STUBS, STUBS + 8 * len(stubs) - 1)
    uc.hook_add(unicorn.UC_HOOK_CODE, on_code, begin=begin, end=end)
    uc.hook_add(unicorn.UC_HOOK_MEM_READ | unicorn.UC_HOOK_MEM_WRITE, on_access)
    uc.hook_add(unicorn.UC_HOOK_MEM_INVALID, on_fault)
    try:
        uc.emu_start(entry, HALT, count=2_000_000)
    except unicorn.UcError as error:
        dll.breaches.append(f"CPU stopped: {error} at pc {uc.reg_read(cpu.pc):#x}")
    if dll.status is None and not dll.breaches:
        returned = uc.reg_read(cpu.pc) == HALT
        dll.breaches.append("the entry returned" if returned else "never ended the thread")
    for handle, what in dll.handles.items():
        dll.breaches.append(f"handle {handle:#x} ({what}) left open")
    return dll


# ---- the contract's rows, and what only this runner sees -----------------
def case_of(row):
    """A contract row as the stand-in's setup."""
    stored = row["stored"]
    return {"module": row["module"], "argument": row["argument"],
            "fail": [c for c in row["refused"] if ":" not in c],
            "flush": contract.flush_answer(row),
            "system": "ce5" if row["system"] == "-" else row["system"],
            "registry": {} if stored is None else {KEY.lower(): {} if stored == "" else {
                "Wait": stored}}}


def call_rules(calls, refused):
    """The order and rights of the calls, which the outcome does not show."""
    problems = []
    if calls[:1] != ["GetModuleFileNameW 127"]:
        problems.append("the module path was not asked for first, with 127 units")
    rights = {"RegOpenKeyExW": f"RegOpenKeyExW {KEY} 0x0",
              "RegCreateKeyExW": f"RegCreateKeyExW {KEY} 0xf003f",
              "RegQueryValueExW": "RegQueryValueExW Wait 4"}
    problems += [f"{c!r}, wanted {rights[c.split()[0]]!r}" for c in calls
                 if c.split()[0] in rights and c != rights[c.split()[0]]]
    if sum(c.split()[0] in ("RegOpenKeyExW", "RegCreateKeyExW") for c in calls) > 1:
        problems.append("the key asked for more than once")
    for i, c in enumerate(calls):
        if (c.startswith("RegSetValueExW") and "RegSetValueExW" not in refused
                and calls[i + 1:i + 2] != ["RegFlushKey"]):
            problems.append("no flush right after the store")
    order = [c.split()[0] for c in calls]
    if "Sleep" in order and "CreateProcessW" in order and order.index(
            "Sleep") > order.index("CreateProcessW"):
        problems.append("waited after the start")
    if "MessageBoxW" in order and order.index("MessageBoxW") != len(order) - 2:
        problems.append("calls after the box")
    return problems


def written(value):
    """A row's Wait in the form stored() gives."""
    return value if value in (None, "") else f"{value[0]} {value[1].hex()}"


def stored(registry):
    values = registry.get(KEY.lower())
    kind, value = (values or {}).get("Wait", (None, b""))
    return None if values is None else "" if kind is None else f"{kind} {value.hex()}"


# ---- fuzz inputs: the device against the host's replay program -----------
ADDED_CAP = 3000  # inputs the fuzzer added; ~10 ms each per build


def decode(data):
    """A fuzz input as tests/fuzz/fuzz_input.h reads it, as a case."""
    if len(data) < 3:
        return None
    flags, kind, length = data[0], data[1] & 0xF, (data[1] >> 4) % 10
    value = data[3:3 + length] if length <= 8 else b""
    units = data[3 + len(value):]
    text = "".join(map(chr, struct.unpack(f"<{len(units) // 2}H", units[: len(units) // 2 * 2])))
    module, zero, rest = text.partition("\0")
    return {"module": module, "argument": rest.partition("\0")[0] if zero else None,
            "fail": [name for bit, name in enumerate(("GetModuleFileNameW", "RegOpenKeyExW",
                     "RegCreateKeyExW", "RegSetValueExW", "", "", "CreateProcessW"))
                     if flags >> bit & 1 and name],
            "flush": (0, 5, 50, 1015)[flags >> 4 & 3],
            "system": ("ce5", "ce6", "desktop", "ce5")[data[2] % 4],
            "registry": {KEY.lower(): {"Wait": (kind, value)} if length <= 8 else {}}
            if flags & 0x80 else {}}


def outcome(dll, registry):
    """The line tests/fuzz/fuzz_replay.cpp prints for the same input."""
    def text(t):
        return "".join(c if 0x20 <= ord(c) < 0x7F else f"\\u{ord(c):04x}" for c in t)
    boxes = "".join(f" {text(t)}|{text(c)}|{style}" for t, c, style in dll.boxes)
    waits = "".join(f" {w}" for w in dll.waits)
    starts = "".join(f" {text(a)} {text(line)}" for a, line in dll.starts)
    after = stored(registry)
    wait = "no key" if after is None else after or "no value"
    status = dll.status - (dll.status >> 31 << 32)
    return f"status {status}; boxes [{boxes} ]; waits [{waits} ]; starts [{starts} ]; Wait {wait}"


def replay(path, build, program, seeds, added):
    inputs = sorted(os.path.join(seeds, f) for f in os.listdir(seeds))
    if os.path.isdir(added):
        inputs += sorted(os.path.join(added, f) for f in os.listdir(added))[:ADDED_CAP]
    elif os.environ.get("CI") == "true":
        print(f"ce_device: no fuzz inputs in {added} (scripts/fuzz adds them)")
        return 1
    host = dict(line.rstrip("\n").split(": ", 1) for line in subprocess.run(
        [program] + inputs, check=True, capture_output=True, text=True,
        errors="surrogateescape").stdout.splitlines(keepends=True))
    failed = 0
    for name in inputs:
        with open(name, "rb") as f:
            case = decode(f.read())
        device = "not an input"
        if case is not None:
            dll = run(path, build, 1, case)
            device = "; ".join(["BREACH " + b for b in dll.breaches]) or outcome(
                dll, case["registry"])
        if device != host[name]:
            failed += 1
            print(f"DIFFERENT {os.path.basename(name)}\n  host   {host[name]}\n  device {device}")
    print(f"fuzz inputs through the device: {len(inputs) - failed} passed, {failed} failed")
    return 1 if failed else 0


def main():
    path, build = sys.argv[1:3]
    failed, cases = 0, 0
    if sys.argv[3:4] == ["--replay"]:
        return replay(path, build, *sys.argv[4:7])
    if sys.argv[3:4] == ["--show"]:  # one start per argument, one registry
        registry = {}
        for argument in sys.argv[4:]:
            count = [0]
            dll = run(path, build, 1, {"registry": registry, "argument": argument},
                      count=count)
            print(f"== OlmInit {argument}".rstrip())
            print("".join(f"   {c}\n" for c in dll.calls + [f"BREACH {b}" for b in dll.breaches])
                  + f"   registry afterwards: Wait = {stored(registry) or 'absent'}\n"
                  + f"   {count[0]} instructions of the launcher's own")
            failed += len(dll.breaches)
        return 1 if failed else 0
    rows, _ = contract.read()
    cpu = Cpu(build)
    for thumb_stubs in cpu.stub_sets:
        for base in (None, REBASED):
            for row in rows:
                case = case_of(row)
                dll, cases = run(path, build, thumb_stubs, case, base), cases + 1
                status = dll.status - (dll.status >> 31 << 32) if dll.status is not None else None
                problems = dll.breaches + call_rules(dll.calls, case["fail"]) + [
                    f"{what} {got!r}, wanted {want!r}" for what, got, want in (
                        ("status", status, row["status"]),
                        ("boxes", dll.boxes, [row["box"]] if row["box"] else []),
                        ("waits", dll.waits, [row["wait"]] if row["wait"] is not None else []),
                        ("starts", dll.starts, [row["start"]] if row["start"] else []),
                        ("Wait afterwards", stored(case["registry"]), written(row["after"])))
                    if got != want]
                if problems:
                    failed += 1
                    stubs = "x86" if cpu.x86 else "Thumb" if thumb_stubs else "ARM"
                    print(f"FAIL [{stubs} COREDLL, "
                          f"{'rebased' if base else 'preferred base'}] cases.txt:{row['line']} "
                          f"{row['name']}: " + "; ".join(problems))
    print(f"{cases - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
