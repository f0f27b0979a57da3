# Sourced by the Windows scripts: a Wine of our own under build-win/, made
# once without any dialog (no Mono or Gecko installers) and quiet.
export WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  xvfb-run -a "$WINE" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
}
