# Throwaway Wine prefixes for the scripts and the end-to-end tests.

# use_wine_prefix DIR: makes DIR the prefix of every wine command after it,
# quiet, and with no Mono or Gecko installer popping up.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# boot_wine_prefix: creates the prefix and waits until Wine has settled.
# A display, if wanted, must be set first: Wine's desktop keeps the one it
# started with.
boot_wine_prefix() {
  wineboot -i >"$WINEPREFIX.wineboot.log" 2>&1
  wineserver -w
}
