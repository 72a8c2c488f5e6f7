#!/usr/bin/env bash
# -j when the system starts fewer threads than asked: under a limit on the
# user's processes (ulimit -u, which root is not held to, so this runs as
# nobody when root calls it) every model is still converted, the program
# says once how many threads it got, and no temporary file is left. With
# no thread to be had at all (ulimit -u 1), the pictures that a run of one
# job draws beside the write are drawn after it instead.
#
#   scripts/check_thread_limit.sh build/3ds2vnp [LIMIT]
set -euo pipefail
program="$(realpath "$1")"
limit="${2:-12}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 0777 "$work"
for i in $(seq 1 200); do cp "$(dirname "$0")/../examples/crate.3ds" "$work/m$i.3ds"; done
chmod 0666 "$work"/*.3ds
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
status=0
"${as_user[@]}" bash -c 'ulimit -u "$1"; shift; exec "$@"' _ "$limit" \
  "$program" -q -j 64 "$work"/*.3ds 2> "$work/err.txt" || status=$?
fail() { echo "check_thread_limit: $*" >&2; cat "$work/err.txt" >&2; exit 1; }
[ "$status" = 0 ] || fail "exit status $status"
[ "$(ls "$work"/*.vnp | wc -l)" = 200 ] || fail "not every model was converted"
! ls "$work" | grep -q vnptmp || fail "temporary files left"
[ "$(grep -c "threads; converting on" "$work/err.txt")" = 1 ] || fail "no single notice of fewer threads"
echo "check_thread_limit: $(cat "$work/err.txt"); 200 of 200 converted"

rm -f "$work"/*.vnp
status=0
"${as_user[@]}" bash -c 'ulimit -u "$1"; shift; exec "$@"' _ 1 \
  "$program" -q -j 1 --thumbnail "$work"/m1.3ds "$work"/m2.3ds "$work"/m3.3ds 2> "$work/err.txt" || status=$?
[ "$status" = 0 ] || fail "exit status $status without threads"
[ "$(ls "$work"/*.png | wc -l)" = 3 ] || fail "pictures missing without threads"
echo "check_thread_limit: without a thread to start, 3 of 3 pictures drawn"
