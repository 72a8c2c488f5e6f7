#!/usr/bin/env bash
# The Win32 app under Wine on the real-sized model of bench_dialog.sh (80
# objects of 65,535 vertices and faces, made here and removed after),
# beside the Windows command line under Wine: the time from Convert (Alt+C)
# to the "Info" box against the command line's whole run, and the peak
# memory of each process, the app's with the model in its preview. Best of
# RUNS (2) each, by turns, each after the output is deleted and synced.
# Wine's own costs (its page faults above all) make these figures of Wine,
# not of Windows: they compare the two programs, not the systems.
#
#   [RUNS=2] scripts/bench_dialog_wine.sh WINDOWS_BUILD LINUX_BUILD
set -euo pipefail
build="$(cd "$1" && pwd)"
linux="$(cd "${2:-build}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=scripts/wine_display.sh
source "$here/wine_display.sh" "$@"
runs=${RUNS:-2}
work="$(mktemp -d /tmp/vnp-bench-wine.XXXXXX)"
gui_pid=""
trap '[ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/cli"
"$linux/tools/make_model" "$work/Big.3ds" 65535 80 > /dev/null
printf 'skin' > "$work/skin.bmp" # found: no warning holds the run
echo "model: $(stat -c %s "$work/Big.3ds") bytes"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
fail() { echo "bench_dialog_wine: $*" >&2; exit 1; }
# shellcheck source=scripts/wait_window.sh
source "$here/wait_window.sh"

best_gui=0 best_cli=0 peak_gui=0 peak_cli=0
for _ in $(seq "$runs"); do
  rm -f "$work/big.vnp" && sync # the app writes beside the model
  "$here/wine-run.sh" "$build/3ds2vnp-gui.exe" "Z:$work/Big.3ds" &
  gui_pid=$!
  dialog="$(wait_window "3ds to Vantrel v1.1")" || fail "the main dialog did not appear"
  sleep 20 # the preview reads the model meanwhile
  xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
  start=$(now_ms)
  xdotool key --clearmodifiers alt+c
  info="$(wait_window "Info")" || fail "no \"Info\" box after Convert"
  ms=$(( $(now_ms) - start ))
  peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$gui_pid/status")
  xdotool windowfocus --sync "$info" 2>/dev/null || true
  xdotool key --clearmodifiers Return
  sleep 1
  xdotool windowactivate --sync "$dialog" 2>/dev/null || true
  xdotool key --clearmodifiers alt+x
  wait "$gui_pid" || true
  gui_pid=""
  { [ "$best_gui" = 0 ] || [ "$ms" -lt "$best_gui" ]; } && best_gui=$ms
  [ "$peak" -gt "$peak_gui" ] && peak_gui=$peak

  rm -f "$work/cli/"*.vnp && sync
  start=$(now_ms)
  peak=$(/usr/bin/time -f %M "$here/wine-run.sh" "$build/3ds2vnp.exe" -q -o "Z:$work/cli" "Z:$work/Big.3ds" \
    2>&1 > /dev/null | tail -n 1)
  ms=$(( $(now_ms) - start ))
  { [ "$best_cli" = 0 ] || [ "$ms" -lt "$best_cli" ]; } && best_cli=$ms
  [ "$peak" -gt "$peak_cli" ] && peak_cli=$peak
done
cmp -s "$work/big.vnp" "$work/cli/big.vnp" || fail "the app and the command line wrote different files"
echo "Win32 Convert: ${best_gui} ms, command line: ${best_cli} ms," \
     "$(awk -v a="$best_gui" -v b="$best_cli" 'BEGIN { printf "%.2f", a / b }') x (goal: at most 1.1 x)"
echo "Win32 peak: ${peak_gui} KiB, command line: ${peak_cli} KiB," \
     "$(awk -v a="$peak_gui" -v b="$peak_cli" 'BEGIN { printf "%.2f", a / b }') x (goal: at most 1.2 x)"
