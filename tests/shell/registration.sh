#!/usr/bin/env bash
# regsvr32 on the Explorer extension under Wine, as a user of the zip runs
# it: "register" writes the per-user keys and checks them; "unregister"
# removes them and checks that none of ours is left.
#
#   tests/shell/registration.sh register|unregister Z:\path\3ds2vnp-shell.dll
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine() { "$here/../../scripts/wine-run.sh" "$@"; }
fail() { echo "registration: $*" >&2; exit 1; }
classes='HKCU\Software\Classes'
keys=(
  "$classes\\CLSID\\{3F8DD5B9-C166-4637-91BC-FD885ED80EE7}\\InprocServer32"
  "$classes\\CLSID\\{61EE78CD-4D92-4FFD-9E2D-628CAC85ADC7}\\InprocServer32"
  "$classes\\CLSID\\{8078F126-E760-4F76-AE97-73C66AAA1DE1}\\InprocServer32"
  "$classes\\SystemFileAssociations\\.3ds\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}"
  "$classes\\SystemFileAssociations\\.3ds\\ShellEx\\{8895B1C6-B41F-4C1C-A562-0D564250836F}"
  'HKCU\Software\Microsoft\Windows\CurrentVersion\PropertySystem\PropertyHandlers\.3ds'
)
case "$1" in
register)
  wine regsvr32 /s "$2" || fail "regsvr32 $2 failed"
  for key in "${keys[@]}"; do
    wine reg query "$key" > /dev/null 2>&1 || fail "no $key"
  done
  wine reg query "${keys[0]}" /v ThreadingModel 2>/dev/null | tr -d '\r' | grep -q 'REG_SZ *Apartment$' ||
    fail "the thumbnail provider is not apartment-threaded"
  # Stream-based handlers stay in Windows' isolated surrogate process.
  ! wine reg query "${keys[0]%\\InprocServer32}" /v DisableProcessIsolation > /dev/null 2>&1 ||
    fail "DisableProcessIsolation is set"
  ;;
unregister)
  wine regsvr32 /u /s "$2" || fail "regsvr32 /u $2 failed"
  for key in "${keys[@]}" "$classes\\SystemFileAssociations\\.3ds" "$classes\\CLSID\\{3F8DD5B9-C166-4637-91BC-FD885ED80EE7}"; do
    ! wine reg query "$key" > /dev/null 2>&1 || fail "$key is left"
  done
  ! wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\PreviewHandlers' \
    /v '{8078F126-E760-4F76-AE97-73C66AAA1DE1}' > /dev/null 2>&1 || fail "the preview handler is still listed"
  ;;
esac
