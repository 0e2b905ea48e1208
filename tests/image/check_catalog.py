#!/usr/bin/python3
"""Holds the Platform Builder catalog files of Windows CE drops to the rules
of the archived Platform Builder pages and to the drop that carries them:
Catalog/OlmInit.pbcxml (CE 6.0 to Compact 2013) and OlmInit.cec (CE 5.0).
Ids and GUIDs must also be unique across all the drops named.

Usage: check_catalog.py BUILD=DROP_DIR...   (BUILD: armv4i armv7 x86 x86-2013)
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

# Per build: the catalog's CPU id, and the CE 5.0 .cec's CPU (None: no .cec,
# as Compact 2013 builds serve no CE 5.0 device).
EXPECTED = {"armv4i": ("Cpu:ARMV4I", "ARMV4I"), "armv7": ("Cpu:ARMV7", None),
            "x86": ("Cpu:x86", "x86"), "x86-2013": ("Cpu:X86", None)}
# The Sysgen names the pages list for what OlmInit needs: the command
# processor and the console window.
SYSGEN = {"SYSGEN_CMD", "SYSGEN_CONSOLE"}
TYPES = {"General", "BspSpecific"}
NS = "{urn:Microsoft.PlatformBuilder/Catalog}"
ID = re.compile(r"^(Item|FileInformation):[A-Za-z0-9_]+:[A-Za-z0-9_]+(:[A-Za-z0-9_]+)?$")
GUID = re.compile(r"^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$", re.I)
ROOT = "$(_WINCEROOT)\\3rdParty\\OlmInit\\"

failures, passed = [], 0


def rule(ok, what):
    global passed
    if ok:
        passed += 1
    else:
        failures.append(what)


def bib_modules(path):
    """The names in the MODULES section of a .bib file."""
    names, section = set(), None
    for line in open(path, encoding="utf-8"):
        line = line.split(";")[0].strip()
        if line.upper() in ("MODULES", "FILES", "MEMORY", "CONFIG"):
            section = line.upper()
        elif line and section == "MODULES":
            names.add(line.split()[0].lower())
    return names


def catalog(build, drop, seen):
    where = f"{build}: Catalog/OlmInit.pbcxml"
    try:
        root = ET.parse(os.path.join(drop, "Catalog", "OlmInit.pbcxml")).getroot()
    except (OSError, ET.ParseError) as error:
        return rule(False, f"{where}: not a well-formed file ({error})")
    rule(root.tag == NS + "CatalogFile", f"{where}: root CatalogFile in {NS[1:-1]}")
    info = root.find(NS + "FileInformation")
    rule(info is not None and all(info.findtext(NS + e) for e in ("Title", "Description",
                                  "Vendor")), f"{where}: FileInformation with Title, "
         "Description, Vendor")
    items = root.findall(NS + "Item")
    rule(len(items) == 1, f"{where}: one Item, for this build's CPU")
    modules = bib_modules(os.path.join(drop, "olminit.bib"))
    for element in items + ([info] if info is not None else []):
        key = element.get("Id", "")
        rule(ID.match(key) is not None, f"{where}: Id {key!r} of the form Item:VENDOR:NAME")
        rule(key not in seen, f"{where}: Id {key!r} also in {seen.get(key)}")
        seen[key] = build
    for item in items:
        text = {e: [x.text or "" for x in item.findall(NS + e)] for e in (
            "Title", "Type", "Size", "ChooseOneGroup", "SupportedCpuId", "Module",
            "Project", "SysgenVariable", "Variable")}
        rule(text["Title"][:1] != [""] and len(text["Title"]) == 1, f"{where}: one Title")
        rule(set(text["Type"]) <= TYPES, f"{where}: Type {text['Type']} within {sorted(TYPES)}")
        rule(all(s.isdigit() for s in text["Size"]), f"{where}: Size {text['Size']} in bytes")
        rule(all(re.fullmatch(r"[A-Za-z0-9_:]+", g) for g in text["ChooseOneGroup"]),
             f"{where}: ChooseOneGroup {text['ChooseOneGroup']} a group name")
        rule(text["SupportedCpuId"] == [EXPECTED[build][0]],
             f"{where}: SupportedCpuId {text['SupportedCpuId']}, wanted {EXPECTED[build][0]}")
        rule(text["Module"] and all(m.lower() in modules for m in text["Module"]),
             f"{where}: Module {text['Module']} each in olminit.bib's MODULES")
        projects = text["Project"]
        rule(len(projects) == 1 and projects[0].startswith(ROOT) and os.path.isfile(
            os.path.join(drop, projects[0][len(ROOT):])), f"{where}: Project {projects} "
             "in the drop")
        names = set(text["SysgenVariable"] + text["Variable"])
        rule(names and names <= SYSGEN, f"{where}: Sysgen names {sorted(names)} within "
             f"{sorted(SYSGEN)}")


def parse_cec(text):
    """A .cec file as nested (name, [children]) blocks; atoms as strings."""
    tokens = re.findall(r"//[^\n]*|\"[^\"]*\"|'[^']*'|[(),]|[^\s(),\"']+", text)
    stack, current = [], []
    for token in tokens:
        if token.startswith("//") or token == ",":
            continue
        if token == "(":
            node = (current.pop() if current and isinstance(current[-1], str) else "", [])
            current.append(node)
            stack.append(current)
            current = node[1]
        elif token == ")":
            if not stack:
                raise ValueError("a ')' with no '('")
            current = stack.pop()
        else:
            current.append(token)
    if stack:
        raise ValueError("a '(' left open")
    return current


def blocks(nodes, name):
    """Every block called `name` anywhere below `nodes`."""
    for node in nodes:
        if isinstance(node, tuple):
            if node[0] == name:
                yield node
            yield from blocks(node[1], name)


def cec(build, drop, seen):
    where, cpu = f"{build}: OlmInit.cec", EXPECTED[build][1]
    path = os.path.join(drop, "OlmInit.cec")
    rule(os.path.isfile(path) == (cpu is not None),
         f"{where}: {'present' if cpu else 'absent (no CE 5.0 device)'}")
    if cpu is None or not os.path.isfile(path):
        return
    try:
        top = parse_cec(open(path, encoding="utf-8").read())
    except ValueError as error:
        return rule(False, f"{where}: unbalanced parentheses ({error})")
    names = [n[0] if isinstance(n, tuple) else n for n in top]
    rule(names[:1] == ["CECInfo"] and names.count("CECInfo") == 1
         and set(names[1:]) == {"ComponentType"},
         f"{where}: CECInfo first and once, then ComponentType blocks (got {names})")
    info = next(blocks(top, "CECInfo"), ("", []))
    rule([v for b in blocks(info[1], "CECVersion") for v in b[1]] == ["5.00"],
         f"{where}: CECVersion 5.00")
    for component in blocks(top, "ComponentType"):
        for implementation in blocks(component[1], "Implementation"):
            methods = list(blocks(implementation[1], "BuildMethod"))
            rule(methods and all(list(blocks(m[1], "Step")) for m in methods),
                 f"{where}: a BuildMethod with a Step in every Implementation")
            cpus = [c for m in methods for b in blocks(m[1], "CPU") for c in b[1]]
            rule(cpus == [f'"{cpu}"'], f"{where}: BuildMethod CPU {cpus}, wanted \"{cpu}\"")
    # Blocks in the documented order, each inside the one before it.
    for outer, inner in (("ComponentType", "Implementation"), ("Implementation",
                                                                 "BuildMethod")):
        found = sum(1 for _ in blocks(top, inner))
        rule(found == sum(1 for o in blocks(top, outer) for _ in blocks(o[1], inner)),
             f"{where}: every {inner} inside a {outer}")
    names = {b[1][0] for kind in ("Variable", "FeatureVariable") for b in blocks(top, kind)}
    rule(names and names <= SYSGEN, f"{where}: Sysgen names {sorted(names)} within "
         f"{sorted(SYSGEN)}")
    for kind in ("CECInfo", "ComponentType", "Implementation", "BuildMethod"):
        for block in blocks(top, kind):
            guids = [g for b in block[1] if isinstance(b, tuple) and b[0] == "GUID"
                     for g in b[1]]
            rule(len(guids) == 1 and GUID.match(guids[0]) is not None,
                 f"{where}: {kind} GUID {guids} well-formed")
            # The component is one item, shared by the CE 5.0 drops; the rest is each drop's.
            if guids and kind != "ComponentType":
                rule(guids[0] not in seen, f"{where}: {kind} GUID {guids[0]} also in "
                     f"{seen.get(guids[0])}")
                seen[guids[0]] = build


def main():
    seen = {}
    for argument in sys.argv[1:]:
        build, _, drop = argument.partition("=")
        if build not in EXPECTED:
            sys.exit(f"check_catalog: no such build {build!r}")
        catalog(build, drop, seen)
        cec(build, drop, seen)
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
