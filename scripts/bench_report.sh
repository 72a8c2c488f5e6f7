#!/usr/bin/env bash
# What pipelines pay for the JSON report and for -u, best of RUNS:
#  - a batch of 64 models of 16,384 faces with and without --report
#    (goal: the report adds at most 2%);
#  - -u over a folder of 1,000 up-to-date models (goal: at most 50 ms).
#
#   scripts/bench_report.sh BUILD_DIR [RUNS]
set -euo pipefail

build=${1:-build}
runs=${2:-9}
work=$(mktemp -d)
[ -d /dev/shm ] && [ -w /dev/shm ] && work=$(mktemp -d -p /dev/shm)
trap 'rm -rf "$work"' EXIT

# Best wall times of the commands, by turns; a batch that fails a model
# on purpose is timed all the same.
# shellcheck source=scripts/best_ms.sh
source "$(dirname "$0")/best_ms.sh"
best_ms_tolerate=1

echo "== a batch of 64 models of 16,384 faces with --report (goal: at most 1.02 x without)"
mkdir -p "$work/batch" "$work/out"
"$build/tools/make_model" "$work/batch/m0.3ds" 16384
for i in $(seq 1 63); do cp "$work/batch/m0.3ds" "$work/batch/m$i.3ds"; done
clean="rm -f '$work/out/'*"
read -r plain reported < <(best_ms \
  "$clean" "'$build/3ds2vnp' -q -o '$work/out' '$work'/batch/*.3ds" \
  "$clean" "'$build/3ds2vnp' -q --report '$work/out/run.json' -o '$work/out' '$work'/batch/*.3ds")
echo "without: ${plain} ms, with --report: ${reported} ms, ratio" \
     "$(awk -v a="$reported" -v b="$plain" 'BEGIN { printf "%.3f", a / b }')"
rm -rf "$work/batch" "$work/out"

echo "== -u over 1,000 up-to-date models (goal: at most 50 ms)"
mkdir -p "$work/library"
"$build/tools/make_model" "$work/library/m0.3ds" 256
for i in $(seq 1 999); do cp "$work/library/m0.3ds" "$work/library/m$i.3ds"; done
"$build/3ds2vnp" -q "$work"/library/*.3ds
read -r ms < <(best_ms "" "'$build/3ds2vnp' -q -u '$work'/library/*.3ds")
echo "1,000 models up to date: ${ms} ms (the whole process)"
