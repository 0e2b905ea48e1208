# require_packages NAME...: installs the Debian packages that are missing,
# as root; otherwise names them and fails. A NAME:i386 adds that
# architecture to dpkg first (it stays). Sourced by the scripts beside it.
require_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' ||
      missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "$(basename "$0"): missing packages: ${missing[*]} (run as root to install)" >&2
    exit 1
  fi
  echo "$(basename "$0"): installing ${missing[*]}"
  if [[ " ${missing[*]}" == *:i386* ]] &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}
