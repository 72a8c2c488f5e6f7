#!/usr/bin/env bash
# The desktop converter on a real-sized model (80 objects of 65,535
# vertices and faces, made here and removed after), beside the command
# line:
#  - stop latency at moments of each step and the largest gap between
#    changes of the caption's percentage (bench/dialog_run; the dialog
#    logic as both views run it);
#  - a preview frame while the hand moves and at rest (vnp_bench);
#  - the command line's time and peak memory for the conversion;
#  - the Qt app under Xvfb: the time from Convert (Alt+C) to the "Info"
#    box, and the process's peak memory with the model in its preview.
#
#   scripts/bench_dialog.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
if [ -z "${VNP_IN_XVFB:-}" ]; then
  VNP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
work="$(mktemp -d /tmp/vnp-bench-dialog.XXXXXX)"
gui_pid=""
trap '[ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/cli"
"$build/tools/make_model" "$work/Big.3ds" 65535 80
printf 'skin' > "$work/skin.bmp" # found: no warning holds the run
echo "model: $(stat -c %s "$work/Big.3ds") bytes"

echo "== stop latency (goal: at most 100 ms) and percentage gaps (goal: at most 0.5 s)"
"$build/bench/dialog_run" "$work/Big.3ds" "$work/out" 500 2000 4000 6000 8000 10000
rm -f "$work/out/big.vnp"

echo "== preview frame (goal: at most 33 ms while the hand moves)"
"$build/bench/vnp_bench" --benchmark_filter=BM_PreviewFrame 2>/dev/null | grep BM_

echo "== command line"
/usr/bin/time -f "3ds2vnp: %e s, peak %M KiB" "$build/3ds2vnp" -q -o "$work/cli" "$work/Big.3ds"
rm -f "$work/cli/big.vnp"

echo "== Qt app (goals: Convert at most 1.1 x the command line's time, peak at most 1.2 x its memory)"
/usr/bin/time -f "3ds2vnp-gui: peak %M KiB" -o "$work/gui-time" "$build/3ds2vnp-gui" "$work/Big.3ds" &
gui_pid=$!
dialog=""
for _ in $(seq 1 120); do
  dialog="$(xdotool search --name '^3ds to Vantrel v1.1$' 2>/dev/null | head -n 1 || true)"
  [ -n "$dialog" ] && break
  sleep 0.5
done
[ -n "$dialog" ] || { echo "bench_dialog: no dialog" >&2; exit 1; }
sleep 15 # the preview's read and first picture
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
start=$(date +%s%N)
xdotool key --clearmodifiers alt+c
info=""
for _ in $(seq 1 1200); do
  info="$(xdotool search --name '^Info$' 2>/dev/null | head -n 1 || true)"
  [ -n "$info" ] && break
  sleep 0.05
done
end=$(date +%s%N)
echo "3ds2vnp-gui: Convert to the Info box: $(( (end - start) / 1000000 )) ms"
xdotool windowfocus --sync "$info" 2>/dev/null || true
xdotool key --clearmodifiers Return
sleep 1
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key --clearmodifiers alt+x
wait "$gui_pid" || true
gui_pid=""
cat "$work/gui-time"
