#!/usr/bin/env bash
# The Win32 desktop converter as a user drives it, under Wine and Xvfb:
# start 3ds2vnp-gui.exe with the example model, press Convert by its
# accelerator, acknowledge the "Warning" box of the textures that are not
# beside it and the "Info" box, and compare the written file with the Linux
# build's output of the same model. Then: a click on Convert while a run's
# box is up starts no second run; a missing model named at start is
# reported; without a model the preview lines up with "Conversion" and the
# disabled Convert shows its tooltip; the preview turns, zooms and resets
# with the mouse and shows a LOD 2 chosen in the file dialog; a close during a long run asks, stops
# the run and leaves the old output and no temporary file.
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
mkdir -p "$work/model" "$work/linux" "$work/v4" "$work/big"
cp "$here/../examples/crate.3ds" "$work/model/Crate.3ds"
"$linux_build/3ds2vnp" -q -o "$work/linux" "$work/model/Crate.3ds"
# The example with version 4 in its version chunk (bytes 12 to 15): the
# run warns and waits for the user.
python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[12] = 4; open(sys.argv[2], "wb").write(b)' \
  "$work/model/Crate.3ds" "$work/v4/Crate.3ds"

fail() { echo "win_gui_smoke: $*" >&2; exit 1; }

# shellcheck source=scripts/wait_window.sh
source "$here/wait_window.sh"

# Wine's services, started by a program without a display (the tests just
# run), keep their desktop without one for a few seconds after it; a
# window opened meanwhile never shows. Wait until they are gone.
WINEPREFIX="${WINEPREFIX:-$windows_build/wineprefix}" timeout 30 /usr/lib/wine/wineserver64 -w || true

# Starts the program with a model; sets gui_pid and dialog.
start_gui() {
  "$here/wine-run.sh" "$windows_build/3ds2vnp-gui.exe" "Z:$1" &
  gui_pid=$!
  dialog="$(wait_window "3ds to Vantrel v1.1")" || fail "the main dialog did not appear"
  sleep 1
}

# Presses keys in a window.
press() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool key --clearmodifiers "$2"
}

start_run() {
  xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
  xdotool key --clearmodifiers alt+c
}

# Waits up to 30 s for the program to end.
wait_end() {
  for _ in $(seq 1 60); do
    kill -0 "$gui_pid" 2>/dev/null || { gui_pid=""; return 0; }
    sleep 0.5
  done
  return 1
}

differ() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true)" != 0 ]; }

exit_gui() {
  press "$dialog" alt+x
  wait_end || fail "E&xit did not end the program"
}

start_gui "$work/model/Crate.3ds"
[ -n "$screenshot" ] && import -window "$dialog" "$screenshot"

# The preview: the window grew to the right, and the middle of the area
# shows the model (grey), not the empty area (the window colour, white).
sleep 2
import -window "$dialog" "$work/dialog.png"
read -r width height < <(convert "$work/dialog.png" -format '%w %h\n' info:)
[ $(( width * 10 )) -gt $(( height * 15 )) ] || fail "the dialog did not grow for the preview (${width}x${height})"
pixel=$(convert "$work/dialog.png" -format "%[fx:int(255*p{$(( width * 80 / 100 )),$(( height * 385 / 1000 ))}.r)] %[fx:int(255*p{$(( width * 80 / 100 )),$(( height * 385 / 1000 ))}.g)] %[fx:int(255*p{$(( width * 80 / 100 )),$(( height * 385 / 1000 ))}.b)]\n" info:)
read -r r g b <<< "$pixel"
[ "$r" -lt 220 ] && [ $(( r > b ? r - b : b - r )) -lt 16 ] && [ $(( r > g ? r - g : g - r )) -lt 16 ] ||
  fail "the preview shows no model in its middle (pixel $pixel of ${width}x${height})"
start_run

# The example's textures are not beside its copy here: one Warning box
# names them before the Info box.
warning="$(wait_window "Warning")" || fail "no \"Warning\" box for the textures not found"
press "$warning" Return

info="$(wait_window "Info")" || fail "no \"Info\" box after Convert"
press "$info" Return
[ -f "$work/model/crate.vnp" ] || fail "crate.vnp was not written"
cmp "$work/model/crate.vnp" "$work/linux/crate.vnp" || fail "the Windows output differs from the Linux output"
exit_gui

# A click on Convert while the run's (ownerless) warning is up: the box
# keeps the dialog disabled, and the run refuses it in any case.
start_gui "$work/v4/Crate.3ds"
start_run
warning="$(wait_window "Warning")" || fail "no version warning"
sleep 1
# Convert's centre: (18 + 57 / 2, 153 + 13 / 2) dialog units, 7 x 13 pixels
# per 4 x 8 units with Wine's dialog font.
xdotool mousemove --window "$dialog" 81 259 click 1
sleep 1
press "$warning" Return
# The next box has the same name: wait until this one is gone.
for _ in $(seq 1 60); do
  xdotool getwindowname "$warning" > /dev/null 2>&1 || break
  sleep 0.5
done
textures="$(wait_window "Warning")" || fail "no \"Warning\" box for the textures not found"
press "$textures" Return
info="$(wait_window "Info")" || fail "no \"Info\" box after the warnings"
press "$info" Return
sleep 2
[ -z "$(xdotool search --name '^(Warning|Info)$' 2>/dev/null || true)" ] || fail "a second run started"
kill -0 "$gui_pid" 2>/dev/null || fail "the program ended during the run"
cmp "$work/v4/crate.vnp" "$work/linux/crate.vnp" || fail "the version 4 output differs"
exit_gui

# Without a model: the preview's frame ends where "Conversion" ends (the
# first line below the scale options, in a column of each), and the grey
# Convert shows its tooltip, which a disabled control would not without
# the dialog's help.
"$here/wine-run.sh" "$windows_build/3ds2vnp-gui.exe" &
gui_pid=$!
dialog="$(wait_window "3ds to Vantrel v1.1")" || fail "the main dialog did not appear without a model"
sleep 2
xdotool mousemove --window "$dialog" 640 60
sleep 2
import -window "$dialog" "$work/empty.png"
first_line() { # column: the first row from 250 down that is not light
  for y in $(seq 250 340); do
    [ "$(convert "$work/empty.png" -format "%[fx:int(255*p{$1,$y}.r)]" info:)" -lt 235 ] && { echo "$y"; return; }
  done
  echo none
}
# 100 and 334 dialog units across: the "Conversion" group and the preview.
group_end=$(first_line 175)
preview_end=$(first_line 584)
[ "$group_end" != none ] && [ "$preview_end" != none ] && [ $(( group_end - preview_end )) -le 2 ] &&
  [ $(( preview_end - group_end )) -le 2 ] || fail "the preview ends at $preview_end, \"Conversion\" at $group_end"
# Convert's centre, and just below the button, where the tip appears.
xdotool mousemove --window "$dialog" 81 259 sleep 0.3 mousemove --window "$dialog" 83 260
sleep 2.5
import -window "$dialog" -crop 200x30+40+272 +repage "$work/tip.png"
convert "$work/empty.png" -crop 200x30+40+272 +repage "$work/no_tip.png"
differ no_tip tip || fail "the disabled Convert showed no tooltip"
exit_gui

# A model named at start that does not exist: the dialog says so.
start_gui "$work/model/Missing.3ds"
error="$(wait_window "Error")" || fail "no message for a missing start-up model"
press "$error" Return
exit_gui

# In the preview a drag turns the model, the wheel brings it nearer, and a
# double-click brings back the first view, pixel for pixel; a LOD 2 chosen
# with the file dialog is drawn beside it.
cp "$here/../examples/crate_lod2.3ds" "$work/model/Crate_lod2.3ds"
start_gui "$work/model/Crate.3ds"
sleep 2
cx=$(( width * 80 / 100 ))
cy=$(( height * 385 / 1000 ))
view() {
  sleep 1.5
  import -window "$dialog" -crop "160x120+$(( cx - 80 ))+$(( cy - 60 ))" +repage "$work/$1.png"
}
view first
xdotool mousemove --window "$dialog" "$cx" "$cy" mousedown 1 sleep 0.2 \
  mousemove --window "$dialog" $(( cx + 20 )) $(( cy + 5 )) sleep 0.2 \
  mousemove --window "$dialog" $(( cx + 40 )) $(( cy + 10 )) sleep 0.2 mouseup 1
view turned
differ first turned || fail "a drag in the preview did not turn the model"
xdotool click --repeat 3 --delay 100 4
view nearer
differ turned nearer || fail "the wheel over the preview did not zoom"
xdotool click --repeat 2 --delay 80 1
view again
differ first again && fail "a double-click did not bring back the first view"
press "$dialog" alt+n
chooser="$(wait_window "Open")" || fail "no file dialog for the LOD 2 model"
sleep 1
xdotool type --delay 20 "Z:${work//\//\\}\\model\\Crate_lod2.3ds"
press "$chooser" Return
for _ in $(seq 1 20); do
  xdotool getwindowname "$chooser" > /dev/null 2>&1 || break
  sleep 0.5
done
xdotool getwindowname "$chooser" > /dev/null 2>&1 && fail "the file dialog took no LOD 2 model"
view lod2
differ again lod2 || fail "the preview did not change for the LOD 2 model"
exit_gui

# A close during a long run (64 meshes, 1.5 GB of output) asks whether to
# stop it; Yes stops it, and the program ends with the old output intact.
"$linux_build/tools/make_model" "$work/big/Big.3ds" 65535 64
printf 'old' > "$work/big/big.vnp"
printf 'skin' > "$work/big/skin.bmp" # found: no warning holds the run
start_gui "$work/big/Big.3ds"
start_run
# Close as soon as the caption shows how far the run is (after half a
# second), long before the run ends.
for _ in $(seq 1 50); do
  xdotool getwindowname "$dialog" | grep -q '%$' && break
  sleep 0.1
done
xdotool getwindowname "$dialog" | grep -q '%$' || fail "no progress in the caption after five seconds"
xdotool key Escape
question="$(wait_window "Warning")" || fail "a close during the run did not ask"
# A key can go astray while Wine is busy: press again while the box is up.
for _ in 1 2 3; do
  press "$question" y
  sleep 1
  xdotool getwindowname "$question" > /dev/null 2>&1 || break
done
wait_end || fail "the program did not end after the run was stopped"
[ "$(cat "$work/big/big.vnp")" = old ] || fail "the stopped run changed the old output"
[ "$(ls "$work/big")" = "$(printf 'Big.3ds\nbig.vnp\nskin.bmp')" ] || fail "the stopped run left: $(ls "$work/big")"
echo "win_gui_smoke: the Win32 dialog showed the model in its preview, turned, zoomed and reset it, added" \
  "its LOD 2, converted it; output identical to Linux"
echo "win_gui_smoke: one run at a time, start-up model checked, a close stops a run cleanly"
