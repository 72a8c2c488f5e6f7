# Sourced, as `source wine_display.sh "$@"` with $build set to a Windows
# build: runs the calling script again under Xvfb when it has no display
# of its own, for programs under Wine that make windows (Wine makes none
# without a display), and then waits for Wine's services to settle.
export VNP_WINE_BUILD="$build"
if [ -z "${VNP_IN_XVFB:-}" ]; then
  VNP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
# Wine's services, started by a program without a display, keep their
# desktop without one for a while: a window made meanwhile never shows.
WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" timeout 30 /usr/lib/wine/wineserver64 -w || true
