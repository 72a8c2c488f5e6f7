#!/usr/bin/env bash
# Runs a Windows program under Wine, in the build tree's own Wine prefix and
# with a persistent wineserver (without one every start waits seconds for a
# new server). CMake uses it as the emulator of the cross build.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VNP_WINE_BUILD:-$here/../build-windows}"
export WINEPREFIX="${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot_out="$(/usr/lib/wine/wine64 wineboot --init 2>&1)" || { echo "$wineboot_out" >&2; exit 1; }
fi
if wineserver -p 2>/dev/null; then
  # A new server: Wine's own services start with the first program and
  # outlive it, holding its standard error. Start them with a program of
  # no output, so that `make test-windows 2>&1 | tail` still ends.
  /usr/lib/wine/wine64 cmd /c exit < /dev/null > /dev/null 2>&1 || true
fi
exec /usr/lib/wine/wine64 "$@"
