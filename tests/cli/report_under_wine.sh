#!/usr/bin/env bash
# The run report of the Windows build, under Wine, equals the Linux
# build's for the same batch but for the paths and the times: the same
# outcomes, messages, counts, textures and mirrored meshes.
#
#   tests/cli/report_under_wine.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
linux="$(cd "$1" && pwd)"
windows="$(cd "$2" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/models" "$work/linux/out" "$work/windows/out"
cp "$here/../../examples/crate.3ds" "$here/../../examples/crate_metal.bmp" "$work/models/"
"$linux/tools/make_model" "$work/models/grid.3ds" 2048
printf 'MM\002' > "$work/models/broken.3ds"
models=("$work/models/crate.3ds" "$work/models/broken.3ds" "$work/models/grid.3ds")
"$linux/3ds2vnp" -q -j 2 --copy-textures -o "$work/linux/out" --report "$work/linux.json" "${models[@]}" || true
wine_models=()
for model in "${models[@]}"; do wine_models+=("Z:$model"); done
VNP_WINE_BUILD="$windows" "$here/../../scripts/wine-run.sh" "$windows/3ds2vnp.exe" -q -j 2 --copy-textures \
  -o "Z:$work/windows/out" --report "Z:$work/windows.json" "${wine_models[@]}" || true
python3 - "$work/linux.json" "$work/windows.json" <<'PY'
import json, re, sys

def without_paths_and_times(path):
    with open(path, encoding="utf-8") as file:
        document = json.load(file)
    text = json.dumps(document, sort_keys=True)
    # Every path becomes its last name; the seconds become 0.
    text = re.sub(r'"(?:Z:)?[^"]*?[\\\\/]+([^"\\\\/]*)"', r'"\1"', text)
    text = re.sub(r'"seconds": [0-9.e+-]+', '"seconds": 0', text)
    return json.loads(text)

linux, windows = (without_paths_and_times(p) for p in sys.argv[1:3])
if linux != windows:
    import difflib
    sys.stderr.writelines(difflib.unified_diff(json.dumps(linux, indent=1, sort_keys=True).splitlines(True),
                                               json.dumps(windows, indent=1, sort_keys=True).splitlines(True),
                                               "linux", "windows"))
    sys.exit("report_under_wine: the reports differ")
print(f"report_under_wine: the {len(linux['models'])} models' reports are the same under Wine")
PY
