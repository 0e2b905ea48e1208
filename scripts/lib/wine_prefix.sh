# Throwaway Wine prefixes for the scripts and the end-to-end tests.

# wine64 ARGS...: runs Wine's 64-bit loader. Debian's `wine` and `wineboot`
# take the 32-bit loader once wine32:i386 is installed: its reg and regedit
# then use the WOW6432Node view that the x64 launcher never reads, and on a
# machine that cannot execute 32-bit code nothing runs at all. WINELOADER
# makes the processes Wine starts use the same loader.
WINE64_LOADER=/usr/lib/wine/wine64
wine64() {
  WINELOADER=$WINE64_LOADER "$WINE64_LOADER" "$@"
}

# use_wine_prefix DIR: makes DIR the prefix of every wine command after it,
# quiet, and with no Mono or Gecko installer popping up. Wine maps Windows
# names to Unix ones through the locale's character set: without a UTF-8
# locale (LANG unset, as under cron or env -i) a name such as C:\Gerät
# cannot be made at all.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export LC_ALL=C.UTF-8
}

# boot_wine_prefix: creates the prefix and waits until Wine has settled.
# A display, if wanted, must be set first: Wine's desktop keeps the one it
# started with.
boot_wine_prefix() {
  if ! wine64 wineboot -i >"$WINEPREFIX.wineboot.log" 2>&1; then
    echo "wineboot failed; the end of its log:" >&2
    tail -20 "$WINEPREFIX.wineboot.log" >&2
    return 1
  fi
  wineserver -w
}
