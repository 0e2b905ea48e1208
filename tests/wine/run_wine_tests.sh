#!/usr/bin/env bash
# Runs one group of the end-to-end tests (wine_e2e.exe GROUP) in a fresh Wine
# prefix on a display of its own, with a recording stand-in for cmd.exe.
# Usage: run_wine_tests.sh BUILD_DIR GROUP [x86]
set -euo pipefail

build=$(cd "$1" && pwd)
group=$2

# What a 32-bit build sees differently under Wine, all of it here: its system
# folder is syswow64 and its registry the 32-bit view. The other view gets a
# decoy where a test stores the delay, so a slip between the two shows.
if [[ ${3:-} == x86 ]]; then
  export OLM_SYSTEM_FOLDER=syswow64 OLM_REG_VIEW=/reg:32 OLM_OTHER_REG_VIEW=/reg:64
  regedit='C:\windows\syswow64\regedit.exe'
  skip="the x86 groups cannot run here"
  if [[ ! -x /usr/lib/wine/wine ]]; then
    source "$(dirname "$0")/../../scripts/lib/packages.sh"
    if ! runs_x86_32; then
      echo "run_wine_tests: this machine cannot execute 32-bit x86 code (Exec format error); $skip"
      exit 77
    elif [[ -n ${OLM_WINE32_MISSING:-} ]]; then
      echo "run_wine_tests: no 32-bit Wine: $OLM_WINE32_MISSING; $skip"
      exit 77
    fi
    echo "run_wine_tests: wine32:i386 is missing" >&2
    [[ ${CI:-} == true ]] && exit 1
    exit 77
  fi
else
  export OLM_SYSTEM_FOLDER=system32 OLM_REG_VIEW=/reg:64 OLM_OTHER_REG_VIEW=/reg:32
  regedit=regedit
fi

source "$(dirname "$0")/../../scripts/lib/wine_prefix.sh"
for tool in "$WINE64_LOADER" wineserver Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    if [[ ${CI:-} == true ]]; then
      echo "run_wine_tests: $tool is missing" >&2
      exit 1
    fi
    echo "run_wine_tests: $tool is missing; skipped (scripts/test installs it)"
    exit 77
  fi
done

work=$(mktemp -d /tmp/olm-wine.XXXXXX)
use_wine_prefix "$work/prefix"
xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The display comes before the prefix's boot.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "run_wine_tests: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

boot_wine_prefix

drive=$WINEPREFIX/drive_c
system=$drive/windows/$OLM_SYSTEM_FOLDER
mkdir -p "$drive/olm_tools"
cp "$build/OlmInit.exe" "$build/tests/wine_e2e.exe" "$drive/olm_tools/"

# Whether this machine runs 32-bit Windows programs is only known by starting
# one: some kernels cannot execute 32-bit x86 code at all (Wine then falls
# back to a wow64 mode that finds no syswow64), and where qemu-i386 stands in
# for them through binfmt_misc, Wine's 32-bit side stalls or fails.
if [[ ${3:-} == x86 ]]; then
  probe=0
  WINEDEBUG=err+all WINELOADER=$WINE64_LOADER timeout 60 "$WINE64_LOADER" \
    'C:\olm_tools\wine_e2e.exe' --sleep 0 >"$work/probe.log" 2>&1 || probe=$?
  loader=0 emulated=
  if ((probe != 0)); then
    /usr/lib/wine/wine --version >/dev/null 2>&1 || loader=$?
    emulated=$(grep -ls 'interpreter .*qemu-i386' /proc/sys/fs/binfmt_misc/* || true)
  fi
  if ((probe == 124)); then
    echo "run_wine_tests: a 32-bit Windows program started but did not end in 60 s${emulated:+ (32-bit code runs through qemu-i386: $emulated)}; $skip"
    exit 77
  elif ((probe != 0 && loader == 126)); then
    echo "run_wine_tests: this machine cannot execute 32-bit x86 code (Exec format error); $skip"
    exit 77
  elif ((probe != 0)) && [[ -n $emulated ]]; then
    echo "run_wine_tests: 32-bit x86 code runs here only through qemu-i386 ($emulated), and a 32-bit Windows program failed on it; $skip"
    grep -m3 'err:' "$work/probe.log" || true
    exit 77
  elif ((probe != 0)); then
    echo "run_wine_tests: a 32-bit Windows program failed with status $probe:" >&2
    grep -m5 -E 'err:|wine:' "$work/probe.log" >&2 || tail -5 "$work/probe.log" >&2
    exit 1
  fi
fi

cp "$system/cmd.exe" "$system/real_cmd.exe"
cp "$build/tests/recording_cmd.exe" "$system/cmd.exe"

# Wine's trace of the launcher's own calls shows the exact arguments it hands
# the API.
if [[ $group == api_calls ]]; then
  bash "$(dirname "$0")/check_api_calls.sh" "$work"
  exit
fi

# The example registry file presets the delay as a device image would.
if [[ $group == image ]]; then
  cp "$(dirname "$0")/../../examples/olminit_delay.reg" "$drive/olm_tools/"
  wine64 "$regedit" /S 'C:\olm_tools\olminit_delay.reg' >/dev/null 2>&1
  wineserver -w
fi

# Output goes to a file: the started interpreters inherit the handle and
# would hold a pipe open.
status=0
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;cmd.exe=n" \
  wine64 'C:\olm_tools\wine_e2e.exe' "$group" >"$work/out.txt" 2>"$work/err.txt" ||
  status=$?
tr -d '\r' <"$work/out.txt"
if ((status != 0)); then
  echo "run_wine_tests: wine_e2e.exe $group exited with $status" >&2
  tr -d '\r' <"$work/err.txt" | tail -20 >&2
fi
exit "$status"
