# Installs the Debian packages the scripts need. Sourced by the scripts
# beside it.

# apt_update: refreshes the package indexes, a few times over. A mirror in
# the middle of a sync can break one index for hours while the others serve:
# then it warns with apt's own lines and goes on with the indexes apt has.
apt_update() {
  local try
  for try in 1 2 3; do
    apt-get update -qq >"$apt_log" 2>&1 && return 0
    ((try < 3)) && sleep "${OLM_APT_RETRY_SECONDS:-5}"
  done
  echo "$(basename "$0"): warning: apt-get update failed; going on with the indexes apt has:" >&2
  grep -E '^(E|W|Err):' "$apt_log" | sed 's/^/  /' >&2 || true
}

# apt_install NAME...: installs the packages, apt's words kept in $apt_log.
apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >"$apt_log" 2>&1
}

# require_packages NAME...: installs the Debian packages that are missing,
# as root; otherwise names them and fails. An install that fails names the
# packages and apt's reason.
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
  local apt_log
  apt_log=$(mktemp)
  apt_update
  if ! apt_install "${missing[@]}"; then
    echo "$(basename "$0"): could not install ${missing[*]}:" >&2
    grep -E '^(E|W|Err):' "$apt_log" | sed 's/^/  /' >&2 || tail -5 "$apt_log" >&2
    rm -f "$apt_log"
    exit 1
  fi
  rm -f "$apt_log"
}

# runs_x86_32: whether the kernel executes 32-bit x86 programs.
# OLM_ASSUME_NO_X86_32=1 answers no, so that a machine that runs 32-bit code
# can rehearse one that does not.
runs_x86_32() {
  [[ ${OLM_ASSUME_NO_X86_32:-} == 1 ]] && return 126
  x86_32_probe
}

# x86_32_probe: asks the kernel itself, with a 93-byte static i386 ELF that
# only calls exit(0). Wine cannot tell: without wine32:i386 it has no 32-bit
# side to try.
x86_32_probe() {
  local probe status=0
  probe=$(mktemp)
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'\
'\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10'\
'\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200' \
    >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}
