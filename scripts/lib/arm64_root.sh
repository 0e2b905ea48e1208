# An arm64 Debian root with Wine, run through qemu-user-static, for the
# ARM64 build's end-to-end group. Root only. Sourced by the scripts and
# tests; arm64_root_cleanup undoes what arm64_root_enter did to the host.

ARM64_ROOT=${OLM_ARM64_ROOT:-/var/tmp/olm/arm64-root}
_arm64_mounted_binfmt=
_arm64_registered=

# arm64_root_make: debootstraps the root once (about 2 to 3 minutes); later
# runs on the same machine reuse it.
arm64_root_make() {
  [[ -x $ARM64_ROOT/usr/lib/wine/wine64 ]] && return 0
  rm -rf "$ARM64_ROOT.partial"
  mkdir -p "$(dirname "$ARM64_ROOT")"
  debootstrap --arch=arm64 --variant=minbase --include=wine64 bookworm \
    "$ARM64_ROOT.partial" >"$ARM64_ROOT.log" 2>&1 ||
    { echo "arm64_root: debootstrap failed, see $ARM64_ROOT.log" >&2; return 1; }
  mv "$ARM64_ROOT.partial" "$ARM64_ROOT"
}

# arm64_root_enter: lets the kernel run arm64 programs through qemu (the F
# flag keeps the host's qemu usable inside the root), makes the root when
# missing (debootstrap's second stage runs arm64 programs, so only now), and
# mounts the root's /proc.
arm64_root_enter() {
  local binfmt=/proc/sys/fs/binfmt_misc
  if [[ ! -e $binfmt/register ]]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
    _arm64_mounted_binfmt=1
  fi
  if [[ ! -e $binfmt/qemu-aarch64 ]]; then
    cat /usr/lib/binfmt.d/qemu-aarch64.conf >"$binfmt/register"
    _arm64_registered=1
  fi
  arm64_root_make || return 1
  mountpoint -q "$ARM64_ROOT/proc" || mount -t proc proc "$ARM64_ROOT/proc"
}

arm64_root_cleanup() {
  local binfmt=/proc/sys/fs/binfmt_misc
  umount "$ARM64_ROOT/proc" 2>/dev/null || true
  [[ -n $_arm64_registered ]] && echo -1 >"$binfmt/qemu-aarch64" || true
  [[ -n $_arm64_mounted_binfmt ]] && umount "$binfmt" || true
}
