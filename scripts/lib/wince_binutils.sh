# GNU binutils for arm-wince-pe (as, ld, dlltool, windres, objdump), built
# from Debian's binutils-source: no Debian package assembles and links
# ARM-mode code for Windows CE. Sourced by the scripts that need them.

WINCE_BINUTILS=${OLM_WINCE_BINUTILS:-/var/tmp/olm/arm-wince-pe}

# wince_binutils_make: builds them once (about 6 minutes on 2 cores); later
# runs on the same machine reuse them. Needs binutils-source, flex and bison.
wince_binutils_make() {
  [[ -x $WINCE_BINUTILS/bin/arm-wince-pe-ld ]] && return 0
  local tarball=/usr/src/binutils/binutils-2.40.tar.xz
  [[ -f $tarball ]] ||
    { echo "wince_binutils: $tarball is missing (binutils-source)" >&2; return 1; }
  local work=$WINCE_BINUTILS.build log=$WINCE_BINUTILS.log
  rm -rf "$work" && mkdir -p "$work"
  echo "wince_binutils: building arm-wince-pe binutils (log: $log)"
  if ! (cd "$work" && tar -xf "$tarball" && mkdir build && cd build &&
        ../binutils-2.40/configure --target=arm-wince-pe \
          --prefix="$WINCE_BINUTILS" --disable-nls --disable-werror \
          --disable-gdb --disable-gdbserver --disable-sim --disable-gprof \
          --disable-gprofng --disable-libctf --disable-plugins \
          --without-zstd MAKEINFO=true &&
        make -j"$(nproc)" MAKEINFO=true &&
        make install MAKEINFO=true) >"$log" 2>&1; then
    echo "wince_binutils: build failed; the end of $log:" >&2
    tail -20 "$log" >&2
    return 1
  fi
  rm -rf "$work"
}
