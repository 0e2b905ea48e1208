#!/usr/bin/python3
"""Holds an installed Platform Builder component (3rdParty\\OlmInit) to what
the published components share and the Platform Builder pages document:
the subproject (.pbpxml) naming its .bib and .reg, the Catalog file
(Catalog/*.pbcxml, CE 6.0 to Compact 2013) and the CE 5.0 Catalog's .cec,
each in the real files' order and spelling, and every CPU an item offers
served by an executable in that CPU's folder, which makefile.inc copies
as $(_TGTCPU)\\OlmInit.exe. Ids and GUIDs are unique in the installation.

Usage: check_catalog.py [--part] COMPONENT_DIR
  --part: one build's install, which holds only its own CPUs' folders.
"""
import glob
import os
import re
import sys
import xml.etree.ElementTree as ET

NS = "{urn:Microsoft.PlatformBuilder/Catalog}"
# The child order every real FileInformation and Item keeps.
INFO_ORDER = ["Title", "Description", "Comment", "Vendor", "OSVersion", "FileVersion"]
ITEM_ORDER = ["Title", "Description", "Comment", "HelpLink", "Type", "SysgenVariable",
              "Variable", "SupportedCpuId", "Module", "ChooseOneGroup", "Project",
              "Location", "Notification", "SourceCode"]
CECINFO_ORDER = ["Name", "CECVersion", "Description", "GUID", "Vendor"]
# The OS designs' CPUs, as the Catalog spells them, by the Catalog file's
# OSVersion: 6.00 serves CE 6.0 and 7 (CE 7 has no ARMV4I, CE 6.0 no ARMV5 to
# ARMV7), 8.00 Compact 2013.
CE6 = {"Cpu:ARMV4I", "Cpu:MIPSII", "Cpu:MIPSII_FP", "Cpu:MIPSIV", "Cpu:MIPSIV_FP",
       "Cpu:SH4", "Cpu:X86"}
CE7 = {"Cpu:ARMV5", "Cpu:ARMV6", "Cpu:ARMV7", "Cpu:MIPSII", "Cpu:MIPSII_FP", "Cpu:X86"}
CPU_IDS = {"6.00": CE6 | CE7, "8.00": {"Cpu:ARMV7", "Cpu:X86"}}
CE5_CPUS = {"ARMV4I", "MIPSII", "MIPSII_FP", "MIPSIV", "MIPSIV_FP", "SH4", "x86"}
# What OlmInit needs, as the pages name it: the command processor, the
# console and (documented up to Compact 7) standard I/O.
SYSGEN = {"6.00": {"SYSGEN_CMD", "SYSGEN_CONSOLE", "SYSGEN_STDIO"},
          "8.00": {"SYSGEN_CMD", "SYSGEN_CONSOLE"}}
GUID = re.compile(r"\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$", re.I)
ROOT = "$(_WINCEROOT)\\3rdParty\\OlmInit\\"

failures, passed = [], 0


def rule(ok, what):
    global passed
    passed += bool(ok)
    if not ok:
        failures.append(what)


def in_order(names, order):
    """True when names follow order, repeats together, none unknown."""
    ranks = [order.index(n) if n in order else -1 for n in names]
    return -1 not in ranks and ranks == sorted(ranks)


def served(component, cpu):
    """The executable $(_TGTCPU)\\OlmInit.exe names; Windows paths ignore case."""
    return any(d.lower() == cpu.lower() and os.path.isfile(os.path.join(component, d,
               "OlmInit.exe")) for d in os.listdir(component))


def local(component, path):
    """Where a $(_WINCEROOT)\\3rdParty\\OlmInit path lies in the component, if there."""
    inside = os.path.join(component, *path[len(ROOT):].split("\\"))
    return inside if path.startswith(ROOT) and os.path.isfile(inside) else None


def subproject(component, path):
    where = os.path.basename(path)
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        return rule(False, f"{where}: not a well-formed file ({error})")
    rule(root.tag == "{urn:PBProject-schema}PBProject", f"{where}: a PBProject")
    rule("SysgenDeptree" not in root.attrib, f"{where}: no SysgenDeptree")
    for kind in ("BibFile", "RegFile"):
        name = root.get(kind, "")
        rule(name and os.path.isfile(os.path.join(component, name)),
             f"{where}: {kind} {name!r} names a file beside it")
    bib = os.path.join(component, root.get("BibFile", ""))
    return bib_modules(bib) if os.path.isfile(bib) else set()


def bib_modules(path):
    names, section = set(), None
    for line in open(path, encoding="utf-8"):
        line = line.split(";")[0].strip()
        if line.upper() in ("MODULES", "FILES", "MEMORY", "CONFIG"):
            section = line.upper()
        elif line and section == "MODULES":
            names.add(line.split()[0].lower())
    return names


def catalog(component, path, ids, whole):
    where = os.path.relpath(path, component)
    text = open(path, encoding="utf-8").read()
    try:
        root = ET.fromstring(text.encode())
    except ET.ParseError as error:
        return rule(False, f"{where}: not a well-formed file ({error})")
    head = re.search(r"<CatalogFile\b[^>]*>", text)
    rule(root.tag == NS + "CatalogFile" and head and all(
        a in head.group() for a in ("RequiredVersion=", "xmlns:xsi=", "xmlns:xsd=")),
         f"{where}: CatalogFile with RequiredVersion, xmlns:xsi and xmlns:xsd")
    info = root.find(NS + "FileInformation")
    names = [c.tag[len(NS):] for c in info] if info is not None else []
    rule(in_order(names, INFO_ORDER) and {"Title", "Vendor", "OSVersion", "FileVersion"}
         <= set(names), f"{where}: FileInformation {names} in the order {INFO_ORDER}")
    os_version = info.findtext(NS + "OSVersion") if info is not None else None
    rule(os_version in CPU_IDS, f"{where}: OSVersion {os_version} one of {sorted(CPU_IDS)}")
    for element in root.iter():
        if element.get("Id"):
            rule(element.get("Id") not in ids, f"{where}: Id {element.get('Id')} twice")
            ids.add(element.get("Id"))
    for item in root.findall(NS + "Item"):
        names = [c.tag[len(NS):] for c in item]
        rule(in_order(names, ITEM_ORDER), f"{where}: Item children {names} in the order "
             f"{ITEM_ORDER}")
        rule("Type" not in names, f"{where}: no Type, as no third-party item has")
        get = lambda tag: [c.text or "" for c in item.findall(NS + tag)]  # noqa: E731
        cpus = get("SupportedCpuId")
        rule(cpus and set(cpus) <= CPU_IDS.get(os_version, set()),
             f"{where}: SupportedCpuId {cpus} within the Catalog's CPUs "
             f"{sorted(CPU_IDS.get(os_version, []))}")
        present = [c for c in cpus if served(component, c[4:])]
        rule(present == cpus if whole else present, f"{where}: an executable in the "
             f"folder of {'each' if whole else 'some'} CPU of {cpus} (found {present})")
        rule(set(get("SysgenVariable") + get("Variable")) <= SYSGEN.get(os_version, set()),
             f"{where}: Sysgen names within {sorted(SYSGEN.get(os_version, []))}")
        projects = [local(component, p) for p in get("Project")]
        rule(len(projects) == 1 and projects[0], f"{where}: Project {get('Project')} in "
             "the component")
        modules = subproject(component, projects[0]) if projects and projects[0] else set()
        rule(get("Module") and all(m.lower() in modules for m in get("Module")),
             f"{where}: Module {get('Module')} each in the subproject's .bib MODULES")
    return os_version


def cec(component, path, guids, whole):
    where = os.path.basename(path)
    text = open(path, encoding="utf-8").read()
    rule(not re.search(r"^\s*//", text, re.M), f"{where}: no // lines, as no real one has")
    for key, value in re.findall(r"\b(Name|Description|Vendor|Version|Date)\s*\(\s*([^)]*?)\s*\)",
                                 text):
        rule(re.fullmatch(r'"[^"]*"', value), f"{where}: {key} ( {value} ) quoted")
    for value in re.findall(r"\bVariable\s*\(([^)]*)\)", text):
        rule(re.fullmatch(r'\s*"[^"]*"\s*,\s*"[^"]*"\s*', value),
             f"{where}: Variable ({value}) with both arguments quoted")
    info = re.search(r"CECInfo\s*\((.*?)\n\)", text, re.S)
    fields = re.findall(r"^\s*(\w+)\s*\(", info.group(1), re.M) if info else []
    rule(fields == CECINFO_ORDER, f"{where}: CECInfo {fields}, wanted {CECINFO_ORDER}")
    rule("CECVersion ( 5.00 )" in text, f"{where}: CECVersion 5.00")
    for kind, wanted in (("ComponentType", ["MaxResolvedImpsAllowed"]),
                         ("Implementation", ["Locale", "Date", "SizeIsCPUDependent"])):
        for block in re.split(r"\n\s*" + kind + r"\s*\n", text)[1:]:
            rule(all(re.search(r"\b" + w + r"\s*\(", block) for w in wanted),
                 f"{where}: each {kind} with {wanted}")
    cpus = re.findall(r"\bCPU\s*\(\s*([^)]*?)\s*\)", text)
    rule(cpus and all(c.strip('"') in CE5_CPUS and c[0] == c[-1] == '"' for c in cpus),
         f"{where}: CPU {cpus} quoted, each a CE 5.0 CPU")
    present = [c for c in cpus if served(component, c.strip('"'))]
    rule(present == cpus if whole else present, f"{where}: an executable in the folder "
         f"of {'each' if whole else 'some'} CPU of {cpus}")
    projects = re.findall(r"#SRCCODE\(\s*USER_PROJECT,\s*\"([^\"]*)\"", text)
    rule(projects and all(local(component, p) for p in projects),
         f"{where}: USER_PROJECT {projects} in the component")
    for guid in re.findall(r"\bGUID\s*\(\s*([^)]*?)\s*\)", text):
        rule(GUID.match(guid) and guid.upper() not in guids, f"{where}: GUID {guid} "
             "well-formed and once")
        guids.add(guid.upper())


def main():
    whole = sys.argv[1:2] != ["--part"]
    component = sys.argv[-1]
    ids, guids, versions = set(), set(), set()
    catalogs = sorted(glob.glob(os.path.join(component, "Catalog", "*.pbcxml")))
    rule(catalogs, "a Catalog file in Catalog/")
    for path in catalogs:
        versions.add(catalog(component, path, ids, whole))
    cecs = sorted(glob.glob(os.path.join(component, "*.cec")))
    # The CE 6.0 to 7 component also serves CE 5.0, whose Catalog reads .cec.
    rule(bool(cecs) == ("6.00" in versions), f"a .cec file exactly when the component "
         f"serves CE 5.0 (found {cecs})")
    for path in cecs:
        cec(component, path, guids, whole)
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{component}: {passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
