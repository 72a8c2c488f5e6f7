#!/usr/bin/env bash
# A picture of the Win32 main dialog, frame and caption included, for the
# README: Wine draws the frame itself inside a virtual desktop under Xvfb.
#
#   scripts/win_screenshot.sh WINDOWS_BUILD MAIN.png [ABOUT.png]
set -euo pipefail
windows_build="$(cd "$1" && pwd)"
out="$(realpath -m "$2")"
about_out="${3:+$(realpath -m "$3")}"
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${VNP_IN_XVFB:-}" ]; then
  VNP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
export VNP_WINE_BUILD="$windows_build"
work="/tmp/3ds2vnp-shot"
rm -rf "$work"
trap 'kill %1 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/models"
cp "$here/../examples/crate.3ds" "$work/models/Crate.3ds"
cp "$here/../examples/"*.bmp "$work/models/" # its textures, for the preview
"$here/wine-run.sh" explorer /desktop=vnp,800x600 "$windows_build/3ds2vnp-gui.exe" "Z:$work/models/Crate.3ds" &
sleep 8
# Trim the empty desktop around the dialogs.
shoot() {
  import -window root -crop 800x600+0+0 +repage "$work/desktop.png"
  convert "$work/desktop.png" -bordercolor "$(convert "$work/desktop.png" -format '%[pixel:p{799,599}]' info:)" \
    -border 1 -fuzz 2% -trim +repage "$1"
}
shoot "$out"
if [ -n "$about_out" ]; then
  xdotool key alt+a
  sleep 3
  shoot "$about_out"
fi
