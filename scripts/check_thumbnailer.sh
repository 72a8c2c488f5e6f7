#!/usr/bin/env bash
# Runs the thumbnailer as a file manager does: the Exec line of the
# .thumbnailer file with %s, %i and %o filled in, found on PATH, with no
# display and nothing else in the environment. With make_model, also a
# run that is slow for a shortened time limit.
#   check_thumbnailer.sh THUMBNAILER_FILE BIN_DIR MODEL.3ds [MAKE_MODEL]
set -euo pipefail
entry=$1 bindir=$2 model=$3 make_model=${4:-}
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

# The picture never replaces the model, by the same name or a hard link;
# the model stays as it was and the reason is on standard error.
cp "$model" "$work/self.3ds"
ln "$work/self.3ds" "$work/linked.png"
for out in self.3ds linked.png; do
  if run 256 "$work/self.3ds" "$work/$out" 2> "$work/err"; then echo "$out: the model was replaced"; exit 1; fi
  cmp -s "$model" "$work/self.3ds" || { echo "$out: the model changed"; exit 1; }
  grep -q "is the model itself" "$work/err" || { echo "$out: no reason given:"; cat "$work/err"; exit 1; }
done
# A picture that cannot be written says why.
if run 256 "$model" /nonexistent/o.png 2> "$work/err"; then echo "wrote into a missing folder"; exit 1; fi
grep -q "Could not write the picture /nonexistent/o.png" "$work/err" || { echo "no reason:"; cat "$work/err"; exit 1; }

# The time limit ends a slow run (65,535 large faces at 1024 pixels, about
# ten times the shortened limit), with SIGTERM and SIGALRM ignored as a
# parent may leave them: no picture, no temporary file, the reason said.
if [ -n "$make_model" ]; then
  mkdir "$work/slow"
  "$make_model" --random 65535 "$work/slow/slow.3ds"
  start=$(date +%s%N)
  rc=0
  # timeout outside: it would give the program its own SIGTERM handling.
  timeout -s KILL 10 bash -c 'trap "" TERM ALRM; exec env -i VNP_THUMBNAILER_LIMIT_MS=50 "$@"' limit \
    "$bindir/3ds2vnp-thumbnailer" 1024 "$work/slow/slow.3ds" "$work/slow/slow.png" 2> "$work/err" || rc=$?
  elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
  [ "$rc" = 1 ] || { echo "slow run: status $rc after $elapsed ms"; exit 1; }
  [ "$elapsed" -lt 1000 ] || { echo "slow run: ended after $elapsed ms"; exit 1; }
  [ "$(ls -A "$work/slow")" = "slow.3ds" ] || { echo "slow run left:"; ls -A "$work/slow"; exit 1; }
  grep -q "took more than 50 ms" "$work/err" || { echo "slow run: no reason:"; cat "$work/err"; exit 1; }
fi
echo "thumbnailer: pictures of 128, 256, 1024 (asked 2000) pixels; a file over 100 MB refused;" \
     "the model never replaced; reasons on standard error${make_model:+; a slow run ended at its limit}"
