#!/usr/bin/env bash
# Runs the ARM64 build's end-to-end cases (arm64_cases.sh) in a fresh Wine
# prefix inside an arm64 Debian root, through qemu-user-static.
# Root only. Usage: run_arm64_group.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)

missing=
[[ $(id -u) -eq 0 ]] || missing="root"
for tool in debootstrap qemu-aarch64-static; do
  command -v "$tool" >/dev/null || missing+=" $tool"
done
if [[ -n $missing ]]; then
  if [[ ${CI:-} == true ]]; then
    echo "run_arm64_group: needs$missing" >&2
    exit 1
  fi
  echo "run_arm64_group: needs$missing; skipped (scripts/test installs it as root)"
  exit 77
fi

source "$here/../../scripts/lib/arm64_root.sh"
work=
cleanup() {
  if [[ -n $work ]]; then
    WINEPREFIX=/tmp/$(basename "$work")/prefix \
      chroot "$ARM64_ROOT" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    rm -rf "$work"
  fi
  arm64_root_cleanup
}
trap cleanup EXIT
arm64_root_enter
work=$(mktemp -d "$ARM64_ROOT/tmp/olm-arm64.XXXXXX")
cp "$build/OlmInit.exe" "$here/arm64_cases.sh" "$work/"
chroot "$ARM64_ROOT" /bin/bash "/tmp/$(basename "$work")/arm64_cases.sh"
