#!/usr/bin/env bash
# A pipe swapped in for the model or its LOD 2 between the program's look
# at the path and its open must not hang the run: the open does not wait,
# and what was opened is checked. One loop keeps renaming a regular model
# and a new pipe over the same name while the command line reads it, as
# the model and as the LOD 2, TRIES times each (default 2000); every run
# must end within 5 seconds.
#
#   scripts/check_fifo_race.sh BUILD_DIR [TRIES]
set -euo pipefail
build="$(realpath "$1")"
tries=${2:-2000}
work="$(mktemp -d)"
swapper=""
cleanup() {
  if [ -n "$swapper" ]; then
    kill "$swapper" 2> /dev/null || true
    wait "$swapper" 2> /dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
"$build/tools/make_model" "$work/model.3ds" 64 > /dev/null
cp "$work/model.3ds" "$work/lod1.3ds"
mkdir "$work/out"

# Renames are atomic: the name always leads to a model or to a pipe. A
# loop in Python swaps thousands of times a second, where one in shell
# would fork for every step and seldom meet the window.
python3 - "$work" << 'SWAP' &
import os, sys
os.chdir(sys.argv[1])
while True:
    for name in ("next.3ds", "pipe.3ds"):
        try:
            os.unlink(name)
        except FileNotFoundError:
            pass
    os.link("model.3ds", "next.3ds")
    os.rename("next.3ds", "swapped.3ds")
    os.mkfifo("pipe.3ds")
    os.rename("pipe.3ds", "swapped.3ds")
SWAP
swapper=$!
until [ -e "$work/swapped.3ds" ]; do sleep 0.01; done

hangs=0 read_ok=0 refused=0 other=0
run() {
  local status=0
  timeout 5 "$@" > /dev/null 2> "$work/err" || status=$?
  if [ "$status" = 124 ]; then
    hangs=$((hangs + 1))
  elif [ "$status" = 0 ]; then
    read_ok=$((read_ok + 1))
  elif grep -q "it is not a file" "$work/err"; then
    refused=$((refused + 1))
  else
    other=$((other + 1))
    cp "$work/err" "$work/last-other"
  fi
}
for _ in $(seq "$tries"); do
  run "$build/3ds2vnp" --info "$work/swapped.3ds"
  run "$build/3ds2vnp" -q -o "$work/out" --lod2 "$work/swapped.3ds" "$work/lod1.3ds"
done
echo "check_fifo_race: $((2 * tries)) runs: $read_ok read the model, $refused refused a pipe," \
     "$other failed otherwise, $hangs hung"
[ -e "$work/last-other" ] && echo "check_fifo_race: the last other failure: $(tr '\n' ' ' < "$work/last-other")"
[ "$hangs" = 0 ] || { echo "check_fifo_race: $hangs runs hung on a pipe" >&2; exit 1; }
