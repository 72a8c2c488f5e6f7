#!/usr/bin/env bash
# Times a whole conversion of a generated 65,535-face model with 3ds2vnp
# beside `assimp export MODEL.3ds out.obj` on the same file, and prints both
# times (best of the runs) and their ratio. Also prints the peak memory of
# reading that model.
#
#   scripts/bench_e2e.sh BUILD_DIR [RUNS]
set -euo pipefail

build=${1:-build}
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_model" "$work/model.3ds" 65535

# Best wall time of $runs runs of a command, in milliseconds.
best_ms() {
  local best=""
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s%N)
    local ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

ours=$(best_ms "$build/3ds2vnp" -q -o "$work" "$work/model.3ds")
peer=$(best_ms assimp export "$work/model.3ds" "$work/model.obj")
"$build/3ds2vnp" -q -o "$work" "$work/model.3ds"
assimp export "$work/model.3ds" "$work/model.obj" > /dev/null

echo "model: 65535 vertices, 65535 faces, $(stat -c %s "$work/model.3ds") bytes"
echo "3ds2vnp (load, normals, write .vnp of $(stat -c %s "$work/model.vnp") bytes): ${ours} ms"
echo "assimp export (.obj of $(stat -c %s "$work/model.obj") bytes): ${peer} ms"
awk -v a="$ours" -v b="$peer" 'BEGIN { printf "ratio 3ds2vnp / assimp: %.2f (goal: at most 0.50)\n", a / (b > 0 ? b : 1) }'

if [ -x /usr/bin/time ]; then
  peak=$(/usr/bin/time -f %M "$build/3ds2vnp" --info "$work/model.3ds" 2>&1 >/dev/null | tail -1)
  base=$(/usr/bin/time -f %M "$build/3ds2vnp" --version 2>&1 >/dev/null | tail -1)
  # In memory: positions, mapping coordinates, both normal arrays, faces.
  model_kib=$(( (65535 * (12 + 8 + 12 + 12) + 65535 * (16 + 12)) / 1024 ))
  echo "peak memory reading the model: ${peak} KiB (program alone ${base} KiB; model in memory ${model_kib} KiB)"
fi
