#!/usr/bin/python3
"""Reads cases.txt, the launcher's contract one case a row, for the runners
written in Python, and writes each row as a fuzz input
(tests/fuzz/fuzz_input.h): the seeds of the fuzzer and of the device
differential.

Usage: contract.py seeds DIR            write one seed per row into DIR
       contract.py seeds DIR --check    fail when DIR's seeds are not those
"""
import hashlib
import os
import re
import struct
import sys

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases.txt")
COLUMNS = ("name", "argument", "module", "system", "stored", "refused", "status", "box_text",
           "box_caption", "box_style", "wait", "application", "command_line", "after", "marks")
NAMED = {"sp": " ", "tab": "\t", "lf": "\n", "cr": "\r", "vt": "\v", "ff": "\f", "bar": "|",
         "lb": "{", "empty": ""}


def decode(field):
    def one(m):
        e = m.group(1)
        if e in NAMED:
            return NAMED[e]
        if re.fullmatch(r"U\+[0-9A-Fa-f]{4}", e):
            return chr(int(e[2:], 16))
        count = re.fullmatch(r"(\d+)\*(.)", e)
        if count:
            return count.group(2) * int(count.group(1))
        raise ValueError(f"unknown escape {{{e}}}")
    return re.sub(r"\{([^}]*)\}", one, field)


def value(field):
    """None (no key), "" (key, no value) or (type, bytes)."""
    if field in ("none", "key"):
        return None if field == "none" else ""
    kind, _, data = field.partition(":")
    return int(kind), bytes.fromhex(data)


def read(path=TABLE):
    """The rows, each a dict by column, and the desktop's start template."""
    rows, desktop = [], None
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            fields = [x.strip(" ") for x in line.split("|")]
            if fields[0] == "desktop" and len(fields) == 3:
                desktop = tuple(fields[1:])
                continue
            if len(fields) != len(COLUMNS):
                raise ValueError(f"{path}:{number}: {len(fields)} fields")
            r = dict(zip(COLUMNS, fields), line=number)
            for c in ("module", "box_text", "box_caption", "application", "command_line"):
                r[c] = decode(r[c])
            r["argument"] = None if r["argument"] == "{none}" else decode(r["argument"])
            r["status"] = int(r["status"])
            r["box"] = None if r["box_text"] == "-" else (r["box_text"], r["box_caption"],
                                                          int(r["box_style"], 16))
            r["wait"] = None if r["wait"] == "-" else int(r["wait"])
            r["start"] = None if r["application"] == "-" else (r["application"],
                                                                r["command_line"])
            r["stored"], r["after"] = value(r["stored"]), value(r["after"])
            r["refused"] = [] if r["refused"] == "-" else r["refused"].split(",")
            r["marks"] = r["marks"].split(",")
            rows.append(r)
    return rows, desktop


def flush_answer(row):
    return next((int(c.split(":")[1]) for c in row["refused"] if c.startswith("RegFlushKey:")),
                0)


FAIL_BITS = {"GetModuleFileNameW": 0x01, "RegOpenKeyExW": 0x02, "RegCreateKeyExW": 0x04,
             "RegSetValueExW": 0x08, "CreateProcessW": 0x40}
FLUSH_BITS = {0: 0x00, 5: 0x10, 50: 0x20, 1015: 0x30}
SYSTEMS = {"-": 0, "ce5": 0, "ce6": 1, "desktop": 2}


def encode(row):
    """The row as one fuzz input."""
    flags = FLUSH_BITS[flush_answer(row)]
    for call in row["refused"]:
        flags |= FAIL_BITS.get(call, 0)
    stored = row["stored"]
    if stored is not None:
        flags |= 0x80
    kind, data = stored if stored else (0, b"")
    if len(data) > 8:
        raise ValueError(f"{row['name']}: a fuzz input holds at most 8 bytes of Wait")
    length = 9 if not stored else len(data)
    out = bytes([flags, length << 4 | kind, SYSTEMS[row["system"]]]) + data
    out += row["module"].encode("utf-16-le", "surrogatepass")
    if row["argument"] is not None:
        out += b"\0\0" + row["argument"].encode("utf-16-le", "surrogatepass")
    return out


def seed_name(row):
    """Stable while rows come and go; the hash tells apart names that only
    their punctuation tells apart."""
    tag = hashlib.sha1(row["name"].encode()).hexdigest()[:6]
    return re.sub(r"[^A-Za-z0-9]+", "_", row["name"]).strip("_")[:60] + "_" + tag


def seeds(directory, check):
    rows, _ = read()
    wanted = {seed_name(r): encode(r) for r in rows}
    if check:
        have = {f: open(os.path.join(directory, f), "rb").read() for f in os.listdir(directory)}
        if have != wanted:
            stale = sorted(set(have) ^ set(wanted) | {f for f in have if have[f] != wanted.get(f)})
            print(f"contract: {directory} differs from the table in {len(stale)} seeds, "
                  f"e.g. {stale[:3]}; run tests/contract/contract.py seeds {directory}")
            return 1
        print(f"contract: {len(wanted)} seeds, one per row")
        return 0
    os.makedirs(directory, exist_ok=True)
    for f in os.listdir(directory):
        os.remove(os.path.join(directory, f))
    for name, data in wanted.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    if sys.argv[1:2] != ["seeds"] or len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    sys.exit(seeds(sys.argv[2], sys.argv[3:] == ["--check"]))
