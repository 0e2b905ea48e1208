# Debian roots with Wine, for the builds this machine's own Wine cannot run:
# arm64 and armhf roots through qemu-user, and an amd64 root with Wine's
# 32-bit side for the x86 build. Root only. Sourced by the tests;
# wine_root_cleanup undoes what wine_root_enter did to the host.
source "$(dirname "${BASH_SOURCE[0]}")/packages.sh"

_root_mounts=()
_root_mounted_binfmt=
_root_registered=

# wine_root_kind KIND: arm64, armhf or x86. Everything that differs between
# the roots is here. armhf Wine hangs at start without its preloader, and
# debootstrap takes only the first choice of `wine` (wine64 | wine32), so
# the packages are named. The x86 root's i386 packages come from bookworm's
# main index alone: a broken security index cannot hold them back.
wine_root_kind() {
  WINE_ROOT=${OLM_ROOT_DIR:-/var/tmp/olm}/$1-root
  case $1 in
    arm64) _root_arch=arm64 _root_include=wine64 _root_binfmt=qemu-aarch64
      WINE_ROOT_LOADER=/usr/lib/wine/wine64 WINE_ROOT_SERVER=/usr/lib/wine/wineserver64 ;;
    armhf) _root_arch=armhf _root_include=wine32,wine32-preloader _root_binfmt=qemu-arm
      WINE_ROOT_LOADER=/usr/lib/wine/wine WINE_ROOT_SERVER=/usr/lib/wine/wineserver32 ;;
    x86) _root_arch=amd64 _root_include=wine,wine64,xvfb,xauth _root_binfmt=
      WINE_ROOT_LOADER=/usr/lib/wine/wine64 WINE_ROOT_SERVER=/usr/lib/wine/wineserver64 ;;
    *) echo "wine_root: no root kind $1" >&2; return 1 ;;
  esac
}

# wine_root_make: makes the root once (debootstrap, and for x86 Wine's
# 32-bit side inside it); later runs on the same machine reuse it. One
# maker at a time; a root left half made is made again, never removing
# what a run killed before its clean-up left mounted in it.
wine_root_make() {
  local log=$WINE_ROOT.log part=$WINE_ROOT.partial lock
  mkdir -p "$(dirname "$WINE_ROOT")"
  exec {lock}>"$WINE_ROOT.lock"
  flock "$lock"
  if [[ ! -e $WINE_ROOT/etc/olm-root ]]; then
    rm -rf --one-file-system "$part"
    if ! debootstrap --arch="$_root_arch" --variant=minbase \
      --include="$_root_include" bookworm "$part" >"$log" 2>&1; then
      WINE_ROOT_WHY="debootstrap failed: $(grep -m1 -E '^E:' "$log" || tail -1 "$log")"
    elif [[ $_root_arch == amd64 ]] && ! _root_add_i386 "$part" >>"$log" 2>&1; then
      WINE_ROOT_WHY="wine32:i386 could not be installed: $(grep -m1 -E '^(E|Err):' "$log" || tail -1 "$log")"
    else
      touch "$part/etc/olm-root"
      rm -rf --one-file-system "$WINE_ROOT" && mv -T "$part" "$WINE_ROOT" ||
        WINE_ROOT_WHY="$WINE_ROOT could not be replaced (something mounted in it?)"
    fi
  fi
  flock -u "$lock"
  exec {lock}>&-
  [[ -e $WINE_ROOT/etc/olm-root ]]
}

_root_add_i386() {
  cp /etc/resolv.conf "$1/etc/resolv.conf" &&
    cp /usr/bin/qemu-i386-static "$1/usr/bin/" &&
    chroot "$1" dpkg --add-architecture i386 &&
    chroot "$1" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive chroot "$1" apt-get install -y -qq \
      --no-install-recommends wine32:i386 wine32-preloader:i386
}

# wine_root_enter DIR...: makes the root when missing, lets the kernel run
# its programs, mounts what its tests need, and binds each DIR at its own
# path. On failure WINE_ROOT_WHY says why.
wine_root_enter() {
  local dir
  wine_root_prepare || return 1
  if [[ $_root_arch == amd64 ]]; then
    _root_route_x86 || return 1
    for dir in sys dev dev/pts dev/shm; do _root_mount "$dir" --bind "/$dir" || return 1; done
  fi
  _root_mount proc -t proc proc || return 1
  # A build folder inside the checkout is bound over its own view: harmless.
  for dir in "$@"; do _root_mount "$dir" --bind "$dir" || return 1; done
}

# wine_root_prepare: lets the kernel run the root's programs and makes the
# root when missing, without entering it (wine_root_cleanup undoes it).
wine_root_prepare() {
  local binfmt=/proc/sys/fs/binfmt_misc
  if [[ -n $_root_binfmt ]]; then
    if [[ ! -e $binfmt/register ]]; then
      mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
      _root_mounted_binfmt=1
    fi
    # The F flag keeps the host's qemu usable inside the root; an entry
    # that another program made stays as it is.
    if [[ ! -e $binfmt/$_root_binfmt ]]; then
      cat "/usr/lib/binfmt.d/$_root_binfmt.conf" >"$binfmt/register" || return 1
      _root_registered=$binfmt/$_root_binfmt
    fi
  fi
  # debootstrap's second stage runs the root's own programs, so only now.
  wine_root_make
}

# Wine starts every 32-bit process through its preloader. Where the kernel
# cannot execute 32-bit x86 code, qemu-i386 runs the preloader, and with it
# all that is 32-bit, so the kernel never meets an i386 program.
_root_route_x86() {
  local preloader=$WINE_ROOT/usr/lib/wine/wine-preloader
  rm -f "$preloader"
  if runs_x86_32; then
    ln -s wine-preloader.static "$preloader"
    echo "wine_root: 32-bit x86 code runs natively"
  else
    echo "wine_root: 32-bit x86 code runs through qemu-i386"
    printf '#!/bin/sh\nexec /usr/bin/qemu-i386-static %s "$@"\n' \
      /usr/lib/wine/wine-preloader.static >"$preloader"
    chmod +x "$preloader"
  fi
}

_root_mount() {
  local at=$WINE_ROOT/${1#/}
  shift
  mkdir -p "$at" || return 1
  mountpoint -q "$at" && return 0
  mount "$@" "$at" || return 1
  _root_mounts=("$at" "${_root_mounts[@]}")
}

wine_root_cleanup() {
  local at
  for at in "${_root_mounts[@]}"; do umount "$at" 2>/dev/null || umount -l "$at" || true; done
  _root_mounts=()
  [[ -n $_root_registered ]] && echo -1 >"$_root_registered" || true
  [[ -n $_root_mounted_binfmt ]] && umount /proc/sys/fs/binfmt_misc || true
}

# wine_root_unavailable GROUP: after a failed wine_root_enter, fails in CI
# and skips elsewhere, with the reason.
wine_root_unavailable() {
  local why=${WINE_ROOT_WHY:-the root could not be entered}
  if [[ ${CI:-} == true ]]; then
    echo "$1: $why" >&2
    exit 1
  fi
  echo "$1: $why; skipped"
  exit 77
}
