#!/usr/bin/env bash
# Checks what make package made: the .deb unpacks into a scratch root and
# its command line runs from there; the zip holds both programs, the README
# and the licence.
set -euo pipefail
dist="$1"
version="$(sed -n 's/^project(3ds2vnp VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")"
deb="$dist/3ds2vnp_${version}_amd64.deb"
zip="$dist/3ds2vnp-${version}-win64.zip"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT

dpkg -x "$deb" "$root"
for file in usr/bin/3ds2vnp usr/bin/3ds2vnp-gui usr/share/applications/3ds2vnp.desktop \
            usr/share/icons/hicolor/scalable/apps/3ds2vnp.svg usr/share/doc/3ds2vnp/LICENSE \
            usr/bin/3ds2vnp-thumbnailer usr/share/thumbnailers/3ds2vnp.thumbnailer; do
  [ -e "$root/$file" ] || { echo "check_packages: $deb lacks $file" >&2; exit 1; }
done
got="$("$root/usr/bin/3ds2vnp" --version)"
[ "$got" = "3ds2vnp $version" ] || { echo "check_packages: the installed 3ds2vnp says '$got'" >&2; exit 1; }
echo "check_packages: $deb installs; its 3ds2vnp --version says '$got'"
# The installed thumbnailer, run as a file manager runs it.
bash "$(dirname "$0")/check_thumbnailer.sh" "$root/usr/share/thumbnailers/3ds2vnp.thumbnailer" "$root/usr/bin" \
  "$(dirname "$0")/../examples/crate.3ds"

python3 - "$zip" <<'PY'
import sys, zipfile
names = {name.split("/", 1)[-1] for name in zipfile.ZipFile(sys.argv[1]).namelist()}
missing = {"3ds2vnp.exe", "3ds2vnp-gui.exe", "README.md", "LICENSE"} - names
if missing:
    sys.exit(f"check_packages: {sys.argv[1]} lacks {', '.join(sorted(missing))}")
print(f"check_packages: {sys.argv[1]} holds both programs, README.md and LICENSE")
PY
