# The presets that make an OlmInit.exe, read from CMakePresets.json, the one
# place that lists them. Sourced by the scripts at the repository's root.

# presets windows|wince: one a line, NAME for the desktop builds, NAME
# GENERATION CPU for the Windows CE ones (GENERATION: the hidden preset it
# inherits its CE version from, which names its component).
presets() {
  /usr/bin/python3 - "$1" <<'PY'
import json, sys
for p in json.load(open("CMakePresets.json"))["configurePresets"]:
    name = p["name"]
    if p.get("hidden") or not name.startswith(sys.argv[1]):
        continue
    if sys.argv[1] == "wince":
        name += f" {p['inherits']} {p['cacheVariables']['OLM_WINCE_CPU']}"
    print(name)
PY
}
