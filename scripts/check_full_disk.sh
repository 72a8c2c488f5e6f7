#!/usr/bin/env bash
# A failed write in place (a target with a second hard link, or in a folder
# that takes no new files) leaves the old file exactly as it was: on a
# nearly full disk (a small tmpfs, so this needs root), under a file-size
# limit, and when the system's temporary folder is full.
#
#   sudo scripts/check_full_disk.sh build/3ds2vnp
set -euo pipefail
program="$(realpath "$1")"
model="$(realpath "$(dirname "$0")/../examples/crate.3ds")" # its project file is 13 KB
disk="$(mktemp -d)"
mount -t tmpfs -o size=1m tmpfs "$disk"
trap 'umount "$disk"; rmdir "$disk"' EXIT
fail() { echo "check_full_disk: $*" >&2; exit 1; }

# Fills the disk but for $1 KiB.
leave_free() {
  rm -f "$disk/filler"
  cat /dev/zero > "$disk/filler" 2> /dev/null || true
  truncate -s "-$1K" "$disk/filler"
}
# Converts into $disk/out (crate.vnp, hard-linked as other.vnp) and checks
# that it failed with the reason $1 and left both names as they were.
expect_kept() {
  local reason="$1"; shift
  local err
  if err="$("$@" 2>&1)"; then fail "converted where it should fail ($reason)"; fi
  echo "$err" | grep -q "$reason" || fail "expected '$reason': $err"
  [ "$(cat "$disk/out/crate.vnp")" = old ] && [ "$(cat "$disk/out/other.vnp")" = old ] ||
    fail "the old file changed ($reason)"
  [ "$(stat -c %h "$disk/out/crate.vnp")" = 2 ] || fail "the hard link is gone"
  ! ls "$disk/out" | grep -q vnptmp || fail "a temporary file was left ($reason)"
  echo "check_full_disk: kept the old file: $reason"
}

mkdir "$disk/out"
printf old > "$disk/out/crate.vnp"
ln "$disk/out/crate.vnp" "$disk/out/other.vnp"
leave_free 8 # the new text does not fit
expect_kept "No space left on device" "$program" -q -o "$disk/out" "$model"
leave_free 20 # the new text fits once, not twice
expect_kept "No space left on device" "$program" -q -o "$disk/out" "$model"
rm "$disk/filler"
expect_kept "File too large" bash -c 'ulimit -f 8; exec "$@"' _ "$program" -q -o "$disk/out" "$model"

# A folder that takes no new files: the text goes to the system's
# temporary folder first, and that one is full.
chown -R 65534 "$disk/out/crate.vnp"
chmod 0755 "$disk/out"
mkdir -m 0777 "$disk/tmp"
leave_free 8
expect_kept "No space left on device" env TMPDIR="$disk/tmp" \
  setpriv --reuid=65534 --regid=65534 --clear-groups "$program" -q -o "$disk/out" "$model"

rm "$disk/filler"
"$program" -q -o "$disk/out" "$model" || fail "no conversion with room to spare"
cmp -s "$disk/out/crate.vnp" "$disk/out/other.vnp" && [ "$(stat -c %s "$disk/out/crate.vnp")" -gt 10000 ] ||
  fail "the new text is not under both names"
echo "check_full_disk: with room, both names hold the new text"
