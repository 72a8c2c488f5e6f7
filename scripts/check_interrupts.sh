#!/usr/bin/env bash
# An interrupt at any -j leaves no temporary file, and the exit status says
# the run was stopped: SIGINT and SIGTERM half a second into a batch of
# large models. With a Windows build (second argument) the same for
# 3ds2vnp.exe under Wine, where SIGINT arrives as Ctrl+C (status 58: the
# low byte of STATUS_CONTROL_C_EXIT).
#
#   scripts/check_interrupts.sh build [build-windows]
set -euo pipefail
set -m # background jobs take SIGINT (without job control they ignore it)
here="$(cd "$(dirname "$0")" && pwd)"
build="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/tools/make_model" "$work/m.3ds" 16384 2 > /dev/null # 10 MB of text each
for i in $(seq 1 300); do ln "$work/m.3ds" "$work/m$i.3ds"; done
rm "$work/m.3ds"
fail() { echo "check_interrupts: $*" >&2; exit 1; }

# Runs the command in the background, sends signal $1 to it (its process
# group, as Ctrl+C does) after $2 seconds, or once a temporary file exists
# when $2 is "tmp", and checks what is left; $3 names the run.
interrupt() {
  local signal="$1" delay="$2" what="$3"; shift 3
  "$@" > /dev/null 2>&1 &
  local pid=$!
  if [ "$delay" = tmp ]; then
    until find "$work" -name 'vnptmp-*' | grep -q .; do sleep 0.05; done
  else
    sleep "$delay"
  fi
  kill -s "$signal" -- "-$pid"
  local status=0
  wait "$pid" || status=$?
  local left
  left="$(find "$work" -name 'vnptmp-*' | wc -l)"
  rm -f "$work"/*.vnp
  [ "$left" = 0 ] || fail "$left temporary files left after $signal: $what"
  [ "$status" != 0 ] || fail "exit status 0 after $signal: $what"
  echo "check_interrupts: $signal after $delay: none left, status $status ($what)"
}
for jobs in 1 16 64; do
  for signal in INT TERM; do
    interrupt "$signal" 0.5 "-j $jobs" "$build/3ds2vnp" -q -j "$jobs" "$work"/m*.3ds
  done
done

[ $# -ge 2 ] || exit 0
export VNP_WINE_BUILD="$(realpath "$2")"
exe="$VNP_WINE_BUILD/3ds2vnp.exe"
"$here/wine-run.sh" "$exe" --version > /dev/null # the Wine server is up before the timing starts
models=()
for i in $(seq 1 40); do models+=("Z:$work/m$i.3ds"); done
for jobs in 1 16; do
  interrupt INT tmp "Windows -j $jobs" "$here/wine-run.sh" "$exe" -q -j "$jobs" "${models[@]}"
done
