#!/usr/bin/env bash
# Runs an ARM build's end-to-end cases (arm_cases.sh) in a fresh Wine prefix
# inside an arm64 or armhf Debian root, through qemu-user-static, timed.
# Root only. Usage: run_arm_group.sh BUILD_DIR arm64|armhf
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
kind=$2

missing=
[[ $(id -u) -eq 0 ]] || missing="root"
for tool in debootstrap qemu-aarch64-static qemu-arm-static; do
  command -v "$tool" >/dev/null || missing+=" $tool"
done
if [[ -n $missing ]]; then
  if [[ ${CI:-} == true ]]; then
    echo "run_arm_group: needs$missing" >&2
    exit 1
  fi
  echo "run_arm_group: needs$missing; skipped (scripts/test installs it as root)"
  exit 77
fi

source "$here/../../scripts/lib/wine_root.sh"
wine_root_kind "$kind"
work=
cleanup() {
  if [[ -n $work ]]; then
    WINEPREFIX=/tmp/$(basename "$work")/prefix \
      chroot "$WINE_ROOT" "$WINE_ROOT_SERVER" -k 2>/dev/null || true
    rm -rf "$work"
  fi
  wine_root_cleanup
}
trap cleanup EXIT
wine_root_enter || wine_root_unavailable run_arm_group
work=$(mktemp -d "$WINE_ROOT/tmp/olm-arm.XXXXXX")
cp "$build/OlmInit.exe" "$here/arm_cases.sh" "$here/../contract/cases.txt" "$work/"
started=$SECONDS status=0
chroot "$WINE_ROOT" /usr/bin/env WINE_LOADER="$WINE_ROOT_LOADER" \
  WINE_SERVER="$WINE_ROOT_SERVER" /bin/bash "/tmp/$(basename "$work")/arm_cases.sh" ||
  status=$?
echo "run_arm_group: $kind cases took $((SECONDS - started)) s"
exit "$status"
