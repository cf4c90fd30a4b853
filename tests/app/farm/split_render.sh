#!/usr/bin/env bash
# Splits one render into regions, renders them in several processes at once
# (as a farm would, one job per region), joins them with `tessary assemble`
# and compares the result with the render of one process: the files must
# hold the same pixels, bit for bit (idiff with no tolerance), and the same
# provenance, in every format a part can have. (The files' bytes differ only
# in the time they were written.)
#
#   split_render.sh PROGRAM WORK_DIR SCENE
set -euo pipefail
program=$1
work=$2
scene=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"

w=301
h=203
# Strips of uneven height, the second one cut in two columns: the parts'
# edges fall off the renderer's tiles and spans.
regions=("0 0 $w 37" "0 37 150 120" "150 37 $w 120" "0 120 $w 190" "0 190 $w $h")
common=(--size "${w}x${h}" --samples 2 --threads 1 -q)

for ext in exr png tif; do
  "$program" render "$scene" "${common[@]}" -o "whole.$ext"
  # One process per region, all at once.
  pids=()
  parts=()
  for i in "${!regions[@]}"; do
    # shellcheck disable=SC2086 # the region is four words
    "$program" render "$scene" "${common[@]}" --region ${regions[$i]} -o "part$i.$ext" &
    pids+=("$!")
    parts+=("part$i.$ext")
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || { echo "a region render failed"; exit 1; }
  done
  "$program" assemble "${parts[@]}" -o "joined.$ext"
  if ! idiff -fail 0 -failpercent 0 -warn 0 "whole.$ext" "joined.$ext" > idiff.txt; then
    cat idiff.txt
    echo "joined.$ext differs from whole.$ext"
    exit 1
  fi
  for tag in DocumentName Software colorSpace oiio:ColorSpace; do
    a=$(oiiotool --info -v "whole.$ext" | grep "^ *$tag:" || true)
    b=$(oiiotool --info -v "joined.$ext" | grep "^ *$tag:" || true)
    [ "$a" = "$b" ] || { echo "$tag: "$a" vs "$b""; exit 1; }
  done
  echo "$ext: ${#parts[@]} regions rendered by ${#parts[@]} processes at once join into the one-process render"
done
