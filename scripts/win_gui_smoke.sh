#!/usr/bin/env bash
# The Win32 desktop converter as a user drives it, under Wine and Xvfb:
# start 3ds2vnp-gui.exe with the example model, press Convert by its
# accelerator, acknowledge the "Warning" box of the textures that are not
# beside it and the "Info" box, and compare the written file
# with the Linux build's output of the same model.
#
#   scripts/win_gui_smoke.sh WINDOWS_BUILD LINUX_BUILD [SCREENSHOT.png]
set -euo pipefail
windows_build="$(cd "$1" && pwd)"
linux_build="$(cd "$2" && pwd)"
screenshot="${3:-}"
here="$(cd "$(dirname "$0")" && pwd)"
export VNP_WINE_BUILD="$windows_build"

if [ -z "${VNP_IN_XVFB:-}" ]; then
  VNP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work="$(mktemp -d /tmp/vnp-gui-smoke.XXXXXX)"
gui_pid=""
cleanup() {
  [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/model" "$work/linux"
cp "$here/../examples/crate.3ds" "$work/model/Crate.3ds"
"$linux_build/3ds2vnp" -q -o "$work/linux" "$work/model/Crate.3ds"

fail() { echo "win_gui_smoke: $*" >&2; exit 1; }

# Waits up to 60 s for a window of the name; prints its id.
wait_window() {
  local id=""
  for _ in $(seq 1 120); do
    id="$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}

# Wine's services, started by a program without a display (the tests just
# run), keep their desktop without one for a few seconds after it; a
# window opened meanwhile never shows. Wait until they are gone.
WINEPREFIX="${WINEPREFIX:-$windows_build/wineprefix}" timeout 30 /usr/lib/wine/wineserver64 -w || true
"$here/wine-run.sh" "$windows_build/3ds2vnp-gui.exe" "Z:$work/model/Crate.3ds" &
gui_pid=$!

dialog="$(wait_window "3ds to Vantrel v1.1")" || fail "the main dialog did not appear"
sleep 1
[ -n "$screenshot" ] && import -window "$dialog" "$screenshot"

# The preview: the window grew to the right, and the middle of the area
# shows the model (grey), not the empty area (the window colour, white).
sleep 2
import -window "$dialog" "$work/dialog.png"
read -r width height < <(convert "$work/dialog.png" -format '%w %h\n' info:)
[ $(( width * 10 )) -gt $(( height * 17 )) ] || fail "the dialog did not grow for the preview (${width}x${height})"
pixel=$(convert "$work/dialog.png" -format "%[fx:int(255*p{$(( width * 80 / 100 )),$(( height * 385 / 1000 ))}.r)] %[fx:int(255*p{$(( width * 80 / 100 )),$(( height * 385 / 1000 ))}.g)] %[fx:int(255*p{$(( width * 80 / 100 )),$(( height * 385 / 1000 ))}.b)]\n" info:)
read -r r g b <<< "$pixel"
[ "$r" -lt 220 ] && [ $(( r > b ? r - b : b - r )) -lt 16 ] && [ $(( r > g ? r - g : g - r )) -lt 16 ] ||
  fail "the preview shows no model in its middle (pixel $pixel of ${width}x${height})"
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
xdotool key --clearmodifiers alt+c

# The example's textures are not beside its copy here: one Warning box
# names them before the Info box.
warning="$(wait_window "Warning")" || fail "no \"Warning\" box for the textures not found"
xdotool windowfocus --sync "$warning" 2>/dev/null || true
xdotool key Return

info="$(wait_window "Info")" || fail "no \"Info\" box after Convert"
xdotool windowfocus --sync "$info" 2>/dev/null || true
xdotool key Return

[ -f "$work/model/crate.vnp" ] || fail "crate.vnp was not written"
cmp "$work/model/crate.vnp" "$work/linux/crate.vnp" || fail "the Windows output differs from the Linux output"

xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key alt+x
for _ in $(seq 1 60); do
  kill -0 "$gui_pid" 2>/dev/null || break
  sleep 0.5
done
kill -0 "$gui_pid" 2>/dev/null && fail "E&xit did not end the program"
gui_pid=""
echo "win_gui_smoke: the Win32 dialog showed the model in its preview, converted it; output identical to Linux"
