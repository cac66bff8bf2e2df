#!/bin/sh
# Runs a Wine program that opens windows. With an X display, as it is.
# Without one, on a virtual display and in a prefix of its own: the
# wineserver of a prefix booted without a display keeps every later
# program's windows off any screen, so a shared prefix will not do.
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
dir=$(mktemp -d)
trap 'WINEPREFIX="$dir/pfx" wineserver -k >/dev/null 2>&1; rm -rf "$dir"' EXIT
export WINEPREFIX="$dir/pfx"
export WINEDEBUG="${WINEDEBUG:--all}"
# No HTML engine: the embedded browser's fallback is what is tested.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
xvfb-run -a -s '-screen 0 1280x800x24' sh -c '
  wineboot -i >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
  "$@"
  rc=$?
  wineserver -w
  exit $rc' sh "$@"
