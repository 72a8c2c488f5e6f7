#!/usr/bin/env bash
# Runs what root cannot show (root passes every permission check) as an
# ordinary user: as nobody when called by root.
#  - the output-file test for a folder that takes no new files;
#  - with the program (second argument, when root calls): another user's
#    file in a shared folder is not replaced, and an unreadable model is
#    reported with the system's reason.
#
#   scripts/check_as_user.sh build/tests/vnp_tests [build/3ds2vnp]
set -euo pipefail
tests="$(realpath "$1")"
filter="--gtest_filter=OutputFile.FolderThatTakesNoNewFilesFallsBackToWritingInPlace"
if [ "$(id -u)" -ne 0 ]; then
  exec "$tests" "$filter"
fi
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
if ! "${as_nobody[@]}" test -x "$tests"; then
  echo "check_as_user: nobody cannot reach $tests; not run"
  exit 0
fi
out="$(TMPDIR=/tmp "${as_nobody[@]}" "$tests" "$filter" 2>&1)" || { echo "$out"; exit 1; }
echo "$out" | tail -n 3
if echo "$out" | grep -q "SKIPPED"; then echo "check_as_user: the test did not run" >&2; exit 1; fi

[ $# -ge 2 ] || exit 0
program="$(realpath "$2")"
shared="$(mktemp -d)"
trap 'rm -rf "$shared"' EXIT
chmod 0777 "$shared" # a folder that every user may write to
cp "$(dirname "$0")/../examples/crate.3ds" "$shared/crate.3ds"
printf 'old' > "$shared/crate.vnp"
chmod 0644 "$shared/crate.3ds" "$shared/crate.vnp"
fail() { echo "check_as_user: $*" >&2; exit 1; }
if err="$(TMPDIR=/tmp "${as_nobody[@]}" "$program" -q "$shared/crate.3ds" 2>&1)"; then
  fail "another user's file was replaced"
fi
echo "$err" | grep -q "Permission denied" || fail "no reason given: $err"
[ "$(cat "$shared/crate.vnp")" = old ] && [ "$(stat -c %u "$shared/crate.vnp")" = 0 ] ||
  fail "another user's file changed"
[ "$(ls "$shared" | wc -l)" = 2 ] || fail "a file was left: $(ls "$shared")"
chmod 0000 "$shared/crate.3ds"
err="$("${as_nobody[@]}" "$program" --info "$shared/crate.3ds" 2>&1)" || true
[ "$err" = "Error: Unable to read $shared/crate.3ds: Permission denied" ] || fail "unreadable model: $err"
echo "check_as_user: another user's file kept; unreadable model named with its reason"
