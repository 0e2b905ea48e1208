#!/usr/bin/env bash
# Runs one group of the end-to-end tests (wine_e2e.exe GROUP) in a fresh Wine
# prefix on a display of its own, with a recording stand-in for cmd.exe.
# Usage: run_wine_tests.sh BUILD_DIR GROUP [x86]
set -euo pipefail
# A step that fails without a word of its own still says which it was.
on_error() { echo "run_wine_tests: failed at line $1: $(sed -n "$1s/^ *//p" "$0")" >&2; }
trap 'on_error $LINENO' ERR

build=$(cd "$1" && pwd)
group=$2

# The x86 groups run in an amd64 root with Wine's 32-bit side, made from
# bookworm's main index alone, on every machine: natively where the kernel
# executes 32-bit x86 code, through qemu-i386 where it does not.
if [[ ${3:-} == x86 && ! -e /etc/olm-root ]]; then
  here=$(cd "$(dirname "$0")/../.." && pwd)
  if [[ $(id -u) -ne 0 ]] || ! command -v debootstrap >/dev/null; then
    echo "run_wine_tests: the x86 groups need root and debootstrap" >&2
    [[ ${CI:-} == true ]] && exit 1
    exit 77
  fi
  source "$here/scripts/lib/wine_root.sh"
  wine_root_kind x86
  trap wine_root_cleanup EXIT
  wine_root_enter "$here" "$build" || wine_root_unavailable run_wine_tests
  status=0
  chroot "$WINE_ROOT" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root CI="${CI:-}" \
    bash "$here/tests/wine/run_wine_tests.sh" "$build" "$group" x86 || status=$?
  exit "$status"
fi

# What a 32-bit build sees differently under Wine, all of it here: its system
# folder is syswow64 and its registry the 32-bit view. The other view gets a
# decoy where a test stores the delay, so a slip between the two shows.
if [[ ${3:-} == x86 ]]; then
  export OLM_SYSTEM_FOLDER=syswow64 OLM_REG_VIEW=/reg:32 OLM_OTHER_REG_VIEW=/reg:64
  regedit='C:\windows\syswow64\regedit.exe'
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
cp "$build/OlmInit.exe" "$build/tests/wine_e2e.exe" \
  "$(dirname "$0")/../contract/cases.txt" "$drive/olm_tools/"

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
