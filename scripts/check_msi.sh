#!/usr/bin/env bash
# The Windows installer as an administrator uses it, under Wine, on a new
# Wine prefix (a clean machine): an older version installs, the current one
# replaces it and cannot be replaced by it; the programs, the Start-menu
# shortcut, the "Open with" keys and the installed-programs entry are there
# and the installed command line runs; the Explorer extension is registered
# per machine and its handlers, made through COM from that registration,
# pass the Windows build's shell tests; the uninstall then leaves the files
# and the registry as they were before the first install.
#
#   scripts/check_msi.sh DIST WINDOWS_BUILD
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dist="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
stage="$build/msi-stage"
version="$(sed -n 's/^project(3ds2vnp VERSION \([0-9.]*\).*/\1/p' "$here/../CMakeLists.txt")"
msi="$dist/3ds2vnp-$version-x64.msi"
work="$(mktemp -d /tmp/vnp-msi.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No menu entries or MIME types on the host for what the installer adds.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
wine() { "$here/wine-run.sh" "$@"; }
fail() { echo "check_msi: $*" >&2; exit 1; }

# The files and the registry (HKLM and HKCU Software, without Wine's own
# keys) as text, to compare before the install and after the uninstall.
# Windows Installer's cache folder and the keys that hold its lists are
# always there on Windows; a new Wine prefix makes them at the first
# install. What is in them is compared.
export installer_lists='\\Installer(\\(Features|Products|UpgradeCodes|UserData(\\S-1-5-18(\\(Components|Products))?)?))?]\r?$'
snapshot() {
  (cd "$WINEPREFIX/drive_c" && find . ! -path './users/*/Temp/*' ! -path './windows/temp/*' \
    ! -path ./windows/Installer | sort) > "$work/$1.files"
  for hive in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
    wine regedit /E "Z:$work/$1.$hive.reg" "$hive\\Software"
    iconv -f UTF-16 -t UTF-8 "$work/$1.$hive.reg" |
      awk '/^\[/ { keep = ($0 !~ /\\Software\\Wine/ && $0 !~ ENVIRON["installer_lists"]) } keep' \
      > "$work/$1.$hive.txt"
  done
}
# A registry value's data; without a name, the key's default value (Wine's
# reg says "(value not set)" for an unset one).
value() {
  local query=(/ve) name='(Default)'
  [ -n "${2:-}" ] && query=(/v "$2") name="$2"
  wine reg query "$1" "${query[@]}" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$name *REG_[A-Z_]* *//p" |
    sed '/^(value not set)$/d'
}
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
classes='HKLM\Software\Classes'

# The same installer as an older version: another product code, the same
# upgrade code.
(cd "$stage" && wixl --arch x64 -D Version=1.0.0 -D ProductCode=D0F1C2A3-0000-4000-8000-000000000100 \
  -D Publisher=old -D Web=old -o "$work/old.msi" "$here/../res/3ds2vnp.wxs")
old_code="$(product_code "$work/old.msi")"
code="$(product_code "$msi")"

wine wineboot --init > /dev/null 2>&1
# Windows lists its own preview handlers where ours goes; a new Wine
# prefix has the key empty. Another handler's entry must survive ours.
previews='HKLM\Software\Microsoft\Windows\CurrentVersion\PreviewHandlers'
other='{00000000-0000-4000-8000-0000000000AA}'
wine reg add "$previews" /v "$other" /d "Another preview handler" /f > /dev/null
snapshot before
wine msiexec /i "Z:$work/old.msi" /qn || fail "the older version did not install"
[ "$(value "$uninstall_key\\$old_code" DisplayVersion)" = 1.0.0 ] || fail "no entry for the older version"
wine msiexec /i "Z:$msi" /qn || fail "$msi did not install over the older version"

[ -z "$(value "$uninstall_key\\$old_code" DisplayVersion)" ] || fail "the older version stayed installed"
! wine msiexec /i "Z:$work/old.msi" /qn || fail "the older version installed over the newer one"
[ "$(value "$uninstall_key\\$code" DisplayName)" = 3ds2vnp ] || fail "no installed-programs entry"
[ "$(value "$uninstall_key\\$code" DisplayVersion)" = "$version" ] || fail "the entry's version is not $version"
[ "$(value "$uninstall_key\\$code" Publisher)" = "The 3ds2vnp authors" ] || fail "the entry has no publisher"
# The installed programs take an installer's icon from its ProductIcon.
icon='C:\windows\Installer\'"$code"'\3ds2vnp.ico'
wine reg query 'HKLM\Software\Classes\Installer\Products' /s | tr -d '\r' |
  grep -qF "ProductIcon    REG_SZ    $icon" || fail "the entry has no icon"
[ -f "$WINEPREFIX/drive_c/windows/Installer/$code/3ds2vnp.ico" ] || fail "the entry's icon was not installed"
folder="$WINEPREFIX/drive_c/Program Files/3ds2vnp"
for file in 3ds2vnp.exe 3ds2vnp-gui.exe 3ds2vnp-shell.dll README.md LICENSE.txt; do
  [ -f "$folder/$file" ] || fail "Program Files\\3ds2vnp lacks $file"
done
shortcut="$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/3ds to Vantrel converter.lnk')"
[ -n "$shortcut" ] || fail "no Start-menu shortcut"
grep -aq '3ds2vnp-gui\.exe' "$shortcut" || fail "the Start-menu shortcut does not start 3ds2vnp-gui.exe"
open='"C:\Program Files\3ds2vnp\3ds2vnp-gui.exe" "%1"'
wine reg query "$classes\\.3ds\\OpenWithProgids" /v 3ds2vnp.Model > /dev/null 2>&1 || fail ".3ds does not list 3ds2vnp.Model"
[ "$(value "$classes\\3ds2vnp.Model\\shell\\open\\command")" = "$open" ] || fail "3ds2vnp.Model opens nothing"
[ "$(value "$classes\\Applications\\3ds2vnp-gui.exe" FriendlyAppName)" = 3ds2vnp ] || fail "no name for Open with"
[ -z "$(value "$classes\\.3ds")" ] || fail "the installer took over the default program of .3ds"
# The Explorer extension: each handler's server, apartment-threaded, the
# handlers in the slots Explorer looks in when no program claimed .3ds
# (the type's own keys stay untouched), and the thumbnail provider left
# in Windows' isolated surrogate process.
dll='C:\Program Files\3ds2vnp\3ds2vnp-shell.dll'
for clsid in 3F8DD5B9-C166-4637-91BC-FD885ED80EE7 61EE78CD-4D92-4FFD-9E2D-628CAC85ADC7 8078F126-E760-4F76-AE97-73C66AAA1DE1; do
  server="$classes\\CLSID\\{$clsid}\\InprocServer32"
  [ "$(value "$server")" = "$dll" ] || fail "{$clsid} is not served by $dll"
  [ "$(value "$server" ThreadingModel)" = Apartment ] || fail "{$clsid} is not apartment-threaded"
  [ -z "$(value "$classes\\CLSID\\{$clsid}" DisableProcessIsolation)" ] || fail "{$clsid} leaves the surrogate process"
done
shellex="$classes\\SystemFileAssociations\\.3ds\\ShellEx"
[ "$(value "$shellex\\{E357FCCD-A995-4576-B01F-234630154E96}")" = '{3F8DD5B9-C166-4637-91BC-FD885ED80EE7}' ] ||
  fail "no thumbnail provider for .3ds"
[ "$(value "$shellex\\{8895B1C6-B41F-4C1C-A562-0D564250836F}")" = '{8078F126-E760-4F76-AE97-73C66AAA1DE1}' ] ||
  fail "no preview handler for .3ds"
[ -n "$(value "$previews" '{8078F126-E760-4F76-AE97-73C66AAA1DE1}')" ] ||
  fail "the preview handler is not in the PreviewHandlers list"
[ "$(value 'HKLM\Software\Microsoft\Windows\CurrentVersion\PropertySystem\PropertyHandlers\.3ds')" = \
  '{61EE78CD-4D92-4FFD-9E2D-628CAC85ADC7}' ] || fail "no property handler for .3ds"
# The handlers as Explorer makes them, from this registration alone: the
# new prefix has no per-user one.
wine "$build/tests/vnp_shell_tests.exe" --gtest_filter='ShellTest.*' > "$work/shell_tests.log" 2>&1 ||
  { cat "$work/shell_tests.log" >&2; fail "the installed Explorer extension fails its tests"; }
got="$(wine 'C:\Program Files\3ds2vnp\3ds2vnp.exe' --version | tr -d '\r')"
[ "$got" = "3ds2vnp $version" ] || fail "the installed 3ds2vnp.exe says '$got'"

wine msiexec /x "Z:$msi" /qn || fail "$msi did not uninstall"
snapshot after
for part in files HKEY_LOCAL_MACHINE.txt HKEY_CURRENT_USER.txt; do
  diff "$work/before.$part" "$work/after.$part" >&2 || fail "the uninstall left the changes above ($part)"
done
echo "check_msi: $msi replaces an older version, installs, runs and uninstalls without a trace"
