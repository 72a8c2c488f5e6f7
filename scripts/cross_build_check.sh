#!/usr/bin/env bash
# Every build writes the same bytes: converts the fidelity corpus (made by
# tools/make_fidelity_corpus) with each given build's command line, in
# every scaling and with LOD 2, and compares the outputs file by file with
# the first build's. A Windows build (one with 3ds2vnp.exe) runs under Wine.
#
#   scripts/cross_build_check.sh TOOLS_BUILD BUILD [BUILD ...]
#
# TOOLS_BUILD is a Linux build with the tools; e.g.
#   scripts/cross_build_check.sh build build build-sanitize build-windows
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tools="$(cd "$1" && pwd)"
shift
builds=()
for build in "$@"; do builds+=("$(cd "$build" && pwd)"); done

work="$(mktemp -d /tmp/vnp-cross.XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$tools/tools/make_fidelity_corpus" "$work/models"
cd "$work/models"
models=(model-*.3ds)

# Converts the corpus with one build into OUT: the whole batch once per
# scaling, then each model that has a coarser companion with it as LOD 2.
convert() {
  local out="$2" run
  if [ -x "$1/3ds2vnp.exe" ]; then
    run=(env VNP_WINE_BUILD="$1" "$here/wine-run.sh" "$1/3ds2vnp.exe")
  else
    run=("$1/3ds2vnp")
  fi
  mkdir -p "$out/plain" "$out/up" "$out/down" "$out/lod2"
  # The pictures too: every build must draw the same pixels (and zlib the
  # same bytes of them).
  "${run[@]}" -q --thumbnail 96 -o "$out/plain" "${models[@]}"
  "${run[@]}" -q --scale-up 7 -o "$out/up" "${models[@]}"
  "${run[@]}" -q --scale-down 3 -o "$out/down" "${models[@]}"
  local i=0 lod2 scale
  for lod2 in lod2-*.3ds; do
    case $((i++ % 3)) in
      0) scale=() ;;
      1) scale=(--scale-up 12) ;;
      2) scale=(--scale-down 5) ;;
    esac
    "${run[@]}" -q "${scale[@]}" --thumbnail 96 --lod2 "$lod2" -o "$out/lod2" "model-${lod2#lod2-}"
  done
}

first=""
for build in "${builds[@]}"; do
  out="$work/out-$(basename "$build")"
  [ -e "$out" ] && continue
  convert "$build" "$out"
  count=$(find "$out" -name '*.vnp' | wc -l)
  if [ -z "$first" ]; then
    first="$out"
    echo "cross_build_check: $(basename "$build") wrote $count project files"
  elif differences="$(diff -r -q "$first" "$out")"; then
    echo "cross_build_check: $(basename "$build") wrote the same $count files, byte for byte"
  else
    echo "$differences" | head -n 10 >&2
    echo "cross_build_check: $(basename "$build") wrote other bytes than $(basename "${first#*out-}")" \
         "in $(echo "$differences" | wc -l) of $count files" >&2
    exit 1
  fi
done
