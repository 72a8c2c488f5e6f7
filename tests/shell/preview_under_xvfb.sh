#!/usr/bin/env bash
# The preview pane's test, which needs windows, on a display of its own
# (Xvfb): Wine makes no window without one, so the plain test run skips it.
#
#   tests/shell/preview_under_xvfb.sh WINDOWS_BUILD
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=scripts/wine_display.sh
source "$here/../../scripts/wine_display.sh" "$@"
dll="Z:$build/3ds2vnp-shell.dll"
"$here/../../scripts/wine-run.sh" regsvr32 /s "$dll"
trap '"$here/../../scripts/wine-run.sh" regsvr32 /u /s "$dll"' EXIT
VNP_SHELL_PREVIEW_REQUIRED=1 "$here/../../scripts/wine-run.sh" "$build/tests/vnp_shell_tests.exe" \
  --gtest_filter='ShellTest.Preview*'
