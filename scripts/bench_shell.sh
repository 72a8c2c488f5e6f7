#!/usr/bin/env bash
# The Explorer extension's figures under Wine, on a display of its own
# (Xvfb) for the preview pane: bench/shell_bench.cpp on the Windows build.
#
#   scripts/bench_shell.sh WINDOWS_BUILD [RUNS]
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=scripts/wine_display.sh
source "$here/wine_display.sh" "$@"
echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1); Wine $(/usr/lib/wine/wine64 --version)"
"$here/wine-run.sh" "$build/shell_bench.exe" "Z:$build/3ds2vnp-shell.dll" "${2:-30}"
