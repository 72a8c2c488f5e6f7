#!/usr/bin/env bash
# Runs the thumbnailer as a file manager does: the Exec line of the
# .thumbnailer file with %s, %i and %o filled in, found on PATH, with no
# display and nothing else in the environment.
#   check_thumbnailer.sh THUMBNAILER_FILE BIN_DIR MODEL.3ds
set -euo pipefail
entry=$1 bindir=$2 model=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exec_line=$(sed -n 's/^Exec=//p' "$entry")
grep -qx 'MimeType=image/x-3ds;' "$entry"

# Width and height from the PNG header, as "W H".
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'; }

run() { # SIZE INPUT OUTPUT
  local line=${exec_line//%s/$1}
  line=${line//%i/$2}
  line=${line//%o/$3}
  # shellcheck disable=SC2086 # the Exec line is split into words as file managers do
  env -i PATH="$bindir:/usr/bin:/bin" timeout 10 $line
}

for size in 128 256 1024 2000; do
  start=$(date +%s%N)
  run "$size" "$model" "$work/out-$size.png"
  elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
  want=$(( size > 1024 ? 1024 : size ))
  [ "$(png_size "$work/out-$size.png")" = "$want $want" ] || { echo "size $size: wrong picture size"; exit 1; }
  [ "$elapsed" -lt 5000 ] || { echo "size $size: took $elapsed ms"; exit 1; }
done

# Over 100 MB: refused at once, no picture.
# A valid model padded past the limit: only the size check refuses it.
cp "$model" "$work/huge.3ds"
truncate -s 101M "$work/huge.3ds"
if run 256 "$work/huge.3ds" "$work/huge.png" 2>/dev/null || [ -e "$work/huge.png" ]; then
  echo "a file over 100 MB was read"; exit 1
fi
echo "thumbnailer: pictures of 128, 256, 1024 (asked 2000) pixels; a file over 100 MB refused"
