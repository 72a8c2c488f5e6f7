#!/usr/bin/env bash
# Runs each fuzz target for SECONDS. New corpus entries go to
# fuzz/work/TARGET, crash inputs to fuzz/findings/TARGET (both ignored by
# git). With --smoke the run starts from the committed seeds alone. Exits
# non-zero on any finding.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS [--smoke]
set -uo pipefail

build=$1
seconds=$2
smoke=${3:-}
status=0

for target in load convert draw; do
  work=fuzz/work/$target
  findings=fuzz/findings/$target
  [ "$smoke" = "--smoke" ] && work=$(mktemp -d)
  mkdir -p "$work" "$findings"
  echo "== fuzz_$target for ${seconds}s"
  # -rss_limit_mb and -timeout make an outsized allocation or a hang a
  # finding, like a crash.
  "$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" \
    -dict=fuzz/3ds.dict -max_total_time="$seconds" -rss_limit_mb=512 -malloc_limit_mb=512 -timeout=10 \
    -max_len=70000 -artifact_prefix="$findings/" -print_final_stats=1 -close_fd_mask=3 \
    > "$findings/last-run.log" 2>&1
  rc=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$findings/last-run.log" || true
  if [ $rc -ne 0 ]; then
    echo "fuzz_$target found a problem (exit $rc):"
    tail -40 "$findings/last-run.log"
    status=1
  fi
  [ "$smoke" = "--smoke" ] && rm -rf "$work"
done
exit $status
