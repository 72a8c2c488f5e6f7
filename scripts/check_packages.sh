#!/usr/bin/env bash
# Checks what make package made: lintian finds nothing in the .deb, whose
# changelog is of this version and whose command line runs from a scratch
# root; the zip holds both programs, the Explorer extension, the README and the licence; the .msi
# installs, upgrades and uninstalls under Wine (check_msi.sh).
#
#   scripts/check_packages.sh DIST WINDOWS_BUILD
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dist="$1"
version="$(sed -n 's/^project(3ds2vnp VERSION \([0-9.]*\).*/\1/p' "$here/../CMakeLists.txt")"
deb="$dist/3ds2vnp_${version}_amd64.deb"
zip="$dist/3ds2vnp-${version}-win64.zip"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "check_packages: $*" >&2; exit 1; }

# Errors and warnings only: the info tags ask for Debian's hardening build
# flags and desktop-entry keywords.
out="$(lintian --fail-on error,warning "$deb" 2>&1)" || { echo "$out" >&2; fail "lintian rejects $deb"; }
grep -v 'running with root privileges' <<<"$out" || true
dpkg -x "$deb" "$root"
for file in usr/bin/3ds2vnp usr/bin/3ds2vnp-gui usr/share/applications/3ds2vnp.desktop \
            usr/share/icons/hicolor/scalable/apps/3ds2vnp.svg usr/share/doc/3ds2vnp/copyright \
            usr/share/man/man1/3ds2vnp.1.gz usr/share/man/man1/3ds2vnp-gui.1.gz usr/share/man/man1/3ds2vnp-thumbnailer.1.gz \
            usr/bin/3ds2vnp-thumbnailer usr/share/thumbnailers/3ds2vnp.thumbnailer \
            usr/share/bash-completion/completions/3ds2vnp usr/share/metainfo/org.example.threeds2vnp.metainfo.xml; do
  [ -e "$root/$file" ] || fail "$deb lacks $file"
done
# Software centres read the AppStream file; the screenshots are on the web
# site, which the check does not fetch.
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.threeds2vnp.metainfo.xml" >&2 ||
  fail "appstreamcli rejects the package's metainfo file"
# A version bump needs its changelog entry.
zcat "$root/usr/share/doc/3ds2vnp/changelog.gz" | head -n 1 | grep -q "^3ds2vnp ($version)" ||
  fail "the changelog's latest entry is not $version (res/debian/changelog.in)"
got="$("$root/usr/bin/3ds2vnp" --version)"
[ "$got" = "3ds2vnp $version" ] || fail "the installed 3ds2vnp says '$got'"
echo "check_packages: lintian passes $deb; it installs; its 3ds2vnp --version says '$got'"
# The installed thumbnailer, run as a file manager runs it.
bash "$(dirname "$0")/check_thumbnailer.sh" "$root/usr/share/thumbnailers/3ds2vnp.thumbnailer" "$root/usr/bin" \
  "$(dirname "$0")/../examples/crate.3ds"

python3 - "$zip" <<'PY'
import sys, zipfile
names = {name.split("/", 1)[-1] for name in zipfile.ZipFile(sys.argv[1]).namelist()}
missing = {"3ds2vnp.exe", "3ds2vnp-gui.exe", "3ds2vnp-shell.dll", "README.md", "LICENSE"} - names
if missing:
    sys.exit(f"check_packages: {sys.argv[1]} lacks {', '.join(sorted(missing))}")
print(f"check_packages: {sys.argv[1]} holds both programs, the Explorer extension, README.md and LICENSE")
PY

bash "$here/check_msi.sh" "$dist" "$2"
