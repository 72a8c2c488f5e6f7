#!/usr/bin/env bash
# The desktop converter on a real-sized model (80 objects of 65,535
# vertices and faces, made here and removed after), beside the command
# line:
#  - stop latency at moments of each step, the largest gap between two
#    asks whether to stop, and the largest gap between changes of the
#    caption's percentage (bench/dialog_run; the dialog logic as both
#    views run it, without a window), with a fresh read at each Convert
#    and with the model read for the preview first;
#  - a preview frame while the hand moves and at rest (vnp_bench);
#  - the Qt app under Xvfb beside the command line: the time from Convert
#    (Alt+C) to the "Info" box against the command line's whole run, best
#    of RUNS (3) each, by turns; and the peak memory of each process, the
#    app's with the model in its preview.
#
#   [RUNS=3] scripts/bench_dialog.sh BUILD_DIR
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

echo "== stop latency (goal: at most 100 ms) and percentage gaps (goal: at most 0.5 s); the logic alone"
echo "-- a fresh read at each Convert"
/usr/bin/time -f "dialog_run: peak %M KiB" \
  "$build/bench/dialog_run" "$work/Big.3ds" "$work/out" 500 1000 1500 2000 3000 4000 6000
rm -f "$work/out/big.vnp"
echo "-- the model read for the preview first, and taken by each Convert"
/usr/bin/time -f "dialog_run --preview: peak %M KiB" \
  "$build/bench/dialog_run" "$work/Big.3ds" "$work/out" --preview 500 1000 1500 2000 3000 4000
rm -f "$work/out/big.vnp"

echo "== preview frame (goal: at most 33 ms while the hand moves)"
"$build/bench/vnp_bench" --benchmark_filter=BM_PreviewFrame 2>/dev/null | grep BM_

# shellcheck source=scripts/best_ms.sh
source "$(dirname "$0")/best_ms.sh"
runs=${RUNS:-3}

echo "== Qt app beside the command line (goals: Convert at most 1.1 x the command line's time, peak at most 1.2 x its memory)"
/usr/bin/time -f "command line: peak %M KiB" "$build/3ds2vnp" -q -o "$work/cli" "$work/Big.3ds"
/usr/bin/time -f "3ds2vnp-gui: peak %M KiB (the model in its preview, then converted $runs times)" \
  -o "$work/gui-time" "$build/3ds2vnp-gui" "$work/Big.3ds" &
gui_pid=$!
dialog=""
for _ in $(seq 1 120); do
  dialog="$(xdotool search --name '^3ds to Vantrel v1.1$' 2>/dev/null | head -n 1 || true)"
  [ -n "$dialog" ] && break
  sleep 0.5
done
[ -n "$dialog" ] || { echo "bench_dialog: no dialog" >&2; exit 1; }
sleep 15 # the preview's read and first picture
# From Convert (Alt+C) to the "Info" box that ends the run; the box is
# closed before the next run, untimed.
gui_convert() {
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool key --clearmodifiers alt+c
  info=""
  for _ in $(seq 1 2400); do
    info="$(xdotool search --name '^Info$' 2>/dev/null | head -n 1 || true)"
    [ -n "$info" ] && return 0
    sleep 0.025
  done
  return 1
}
close_info() {
  if [ -n "${info:-}" ]; then
    xdotool windowfocus --sync "$info" 2>/dev/null || true
    xdotool key --clearmodifiers Return
    while xdotool search --name '^Info$' > /dev/null 2>&1; do sleep 0.05; done
    info=""
  fi
}
# By turns, each after the last one's file is gone and on the disk's
# quiet: a write behind the other's would be timed otherwise.
read -r cli gui < <(best_ms \
  "close_info; rm -f '$work/cli/big.vnp' '$work/big.vnp'; sync" "'$build/3ds2vnp' -q -o '$work/cli' '$work/Big.3ds'" \
  "close_info; rm -f '$work/cli/big.vnp' '$work/big.vnp'; sync" "gui_convert")
info="$(xdotool search --name '^Info$' 2>/dev/null | head -n 1 || true)" # the last run's, open still
close_info
echo "command line: $cli ms; 3ds2vnp-gui, Convert to the Info box: $gui ms (best of $runs); ratio $(awk -v a="$gui" -v b="$cli" 'BEGIN { printf "%.2f", a / b }')"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key --clearmodifiers alt+x
wait "$gui_pid" || true
gui_pid=""
cat "$work/gui-time"
