#!/usr/bin/env bash
# The Explorer extension's figures under Wine, on a display of its own
# (Xvfb) for the preview pane: bench/shell_bench.cpp on the Windows build.
#
#   scripts/bench_shell.sh WINDOWS_BUILD [RUNS]
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
export VNP_WINE_BUILD="$build"
if [ -z "${VNP_IN_XVFB:-}" ]; then
  VNP_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
# Wine's services, started by a program without a display, keep their
# desktop without one for a while: a window made meanwhile never shows.
WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" timeout 30 /usr/lib/wine/wineserver64 -w || true
echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1); Wine $(/usr/lib/wine/wine64 --version)"
"$here/wine-run.sh" "$build/shell_bench.exe" "Z:$build/3ds2vnp-shell.dll" "${2:-30}"
