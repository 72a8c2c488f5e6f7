# Sourced by the timing scripts, which set $runs.
#
# Best wall times of $runs runs of one or more commands, in milliseconds
# (fractional): best_ms PRE1 CMD1 [PRE2 CMD2 ...] prints one time per
# command. Each command is a string for eval, run after its untimed PRE;
# several commands run by turns, so that all meet the same moments of a
# busy machine. With best_ms_tolerate=1 a command that fails is timed all
# the same (a batch with a model that fails on purpose); otherwise the
# failure ends the function.
best_ms() {
  local pairs=("$@") best=() start end us i
  for _ in $(seq "$runs"); do
    for (( i = 0; i < ${#pairs[@]}; i += 2 )); do
      eval "${pairs[i]}"
      start=$(date +%s%N)
      if [ "${best_ms_tolerate:-0}" = 1 ]; then
        eval "${pairs[i + 1]}" > /dev/null 2>&1 || true
      else
        eval "${pairs[i + 1]}" > /dev/null 2>&1
      fi
      end=$(date +%s%N)
      us=$(( (end - start) / 1000 ))
      if [ -z "${best[i]:-}" ] || [ "$us" -lt "${best[i]}" ]; then best[i]=$us; fi
    done
  done
  for (( i = 0; i < ${#pairs[@]}; i += 2 )); do
    awk -v us="${best[i]}" 'BEGIN { printf "%.1f ", us / 1000 }'
  done
  echo
}
