#!/usr/bin/env bash
# Runs the output-file tests that root cannot run (root creates files in
# any folder) as an ordinary user: as nobody when called by root.
#
#   scripts/check_as_user.sh build/tests/vnp_tests
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
