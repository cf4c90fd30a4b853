#!/usr/bin/env bash
# Renders 8-layer stacks of 2048x2048 bitmap layers with `tessary render` and
# composites the same images with ImageMagick and oiiotool; prints the best of
# RUNS wall-clock times, the peak memory and the CPU use of each, and ratios.
# Two cases, each at every thread count in THREADS:
#   png: 8-bit PNG layers to an 8-bit PNG (ImageMagick, oiiotool where it has
#        the operation);
#   exr: uncompressed float RGBA EXR layers to a float EXR (zip) on both
#        sides; oiiotool with an 11-operation chain of the same size.
# Both also render the stack with layers 1-7 switched off (images still read)
# and one layer alone, so the compositing shows as the difference.
# Usage:
#   bench/render_vs_peers.sh [path/to/tessary]
# Environment: THREADS (default "1 2"), RUNS (default 5), CASES (default
# "exr png"), BEFORE=path/to/another/tessary to time that build side by side
# on the same inputs (e.g. one built from main).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tessary="${1:-$root/build/release/bin/tessary}"
threads_list="${THREADS:-1 2}"
runs="${RUNS:-5}"
cases="${CASES:-exr png}"
before="${BEFORE:-}"
work="$(mktemp -d)"

# The comparison needs the real ImageMagick; outside CI the bench installs it
# when it is missing (the machine may carry a stand-in without the tools).
if [ ! -x /usr/bin/convert ] && [ -z "${CI:-}" ] && command -v apt-get >/dev/null 2>&1; then
  echo "bench: installing ImageMagick for the comparison" >&2
  apt-get install -y imagemagick >/dev/null 2>&1 || echo "bench: could not install ImageMagick" >&2
fi
trap 'rm -rf "$work"' EXIT

# best NAME COMMAND...: runs COMMAND $runs times; prints the best wall-clock
# time with the peak memory and CPU use of that run, and keeps the time in
# $best for ratios.
best=""
best() {
  local name="$1"; shift
  local line t m c
  best=""
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f "%e %M %P" -o "$work/time" "$@" >/dev/null
    read -r t m c < "$work/time"
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then
      best="$t"; line=$(printf "%-58s %6.2f s  %5d MB  %5s CPU" "$name" "$t" "$((m / 1024))" "$c")
    fi
  done
  echo "$line"
}
ratio() { printf "%.2f" "$(echo "$1 / $2" | bc -l)"; }

# Writes a stack scene of the eight layer files l0..l7.EXT to $work/NAME.json
# (modes and opacities as below); "off" switches layers 1-7 off.
modes=(Normal Multiply Screen Overlay Difference Normal Lighten "Hard Light")
opacity=(100 100 100 100 100 50 100 100)
stack_scene() {
  local name="$1" ext="$2" off="${3:-}"
  {
    # Float EXR layers are composited in linear light, as oiiotool does
    # (no conversion on reading or writing); PNG layers in their own sRGB.
    local space=""
    [ "$ext" = exr ] && space='"workingColorspace": "linear", '
    echo '{"format": "tessary-scene", "version": 1, '"$space"'"root": {"type": "tessary", "layers": ['
    for i in 0 1 2 3 4 5 6 7; do
      local sep="," used=""
      [ $i -eq 7 ] && sep=""
      [ -n "$off" ] && [ $i -gt 0 ] && used=', "used": false'
      echo "  {\"map\": {\"type\": \"bitmap\", \"file\": \"l$i.$ext\"}, \"mode\": \"${modes[$i]}\", \"opacity\": ${opacity[$i]}$used}$sep"
    done
    echo ']}}'
  } > "$work/$name.json"
  echo "{\"format\": \"tessary-scene\", \"version\": 1, $space\"root\": {\"type\": \"bitmap\", \"file\": \"l0.$ext\"}}" \
    > "$work/one-$ext.json"
}

# The layers, made by the program itself from procedural scenes: noise,
# checkers and gradients with partly transparent colours.
layer_scene() {
  local i="$1"
  case $((i % 3)) in
    0) echo "{\"type\": \"noise\", \"kind\": \"fractal\", \"size\": 0.$((i + 1)), \"octaves\": 3, \"seed\": $i,
        \"color1\": [0.1, 0.$i, 0.3, 1], \"color2\": [0.9, 0.8, 0.$((7 - i)), 0.$((i + 2))]}" ;;
    1) echo "{\"type\": \"checker\", \"color1\": [0.$i, 0.2, 0.7, 1], \"color2\": [0.9, 0.$((9 - i)), 0.1, 0.6]}" ;;
    2) echo "{\"type\": \"gradient\", \"kind\": \"radial\", \"center\": 0.$((i + 1)), \"color1\": [1, 0.$i, 0, 1],
        \"color2\": [0, 0.3, 1, 0.$((i + 1))]}" ;;
  esac
}

# time_tessary EXT OUT LABEL BINARY: the rows of one build of the program for one case.
# Every render is 2048x2048, the size of the layers (the program's default
# size is 512).
time_tessary() {
  local ext="$1" out="$2" label="$3" bin="$4"
  for t in $threads_list; do
    best "$label, 8 layers, $t threads" "$bin" render "$work/stack-$ext.json" -o "$work/$out" --size 2048 --threads "$t" -q
    eval "t_${label//[^a-z]/_}_${ext}_$t=$best"
    best "$label, layers 1-7 off, $t threads" "$bin" render "$work/off-$ext.json" -o "$work/$out" --size 2048 --threads "$t" -q
    eval "off_${label//[^a-z]/_}_${ext}_$t=$best"
    best "$label, one layer read and written, $t threads" "$bin" render "$work/one-$ext.json" -o "$work/$out" --size 2048 \
      --threads "$t" -q
  done
}

# Compositing: the 8-layer render minus the render with layers 1-7 off, in
# nanoseconds per pixel per layer (7 layers blended over 2048^2 pixels).
compositing() {
  local label="$1" ext="$2"
  for t in $threads_list; do
    local all off
    eval "all=\$t_${label//[^a-z]/_}_${ext}_$t; off=\$off_${label//[^a-z]/_}_${ext}_$t"
    printf "  %s compositing, %s threads: %.2f s, %.1f ns per pixel per layer\n" "$label" "$t" \
      "$(echo "$all - $off" | bc -l)" "$(echo "($all - $off) * 1000000000 / (2048 * 2048 * 7)" | bc -l)"
  done
}

for c in $cases; do
  echo "== $c: 8 layers of 2048x2048, best of $runs =="
  for i in 0 1 2 3 4 5 6 7; do
    echo "{\"format\": \"tessary-scene\", \"version\": 1, \"root\": $(layer_scene $i)}" > "$work/src$i.json"
    if [ "$c" = exr ]; then
      "$tessary" render "$work/src$i.json" -o "$work/l$i.exr" --size 2048 --compression none --quiet
    else
      "$tessary" render "$work/src$i.json" -o "$work/l$i.png" --size 2048 --quiet
    fi
  done
  stack_scene "stack-$c" "$c"
  stack_scene "off-$c" "$c" off
  time_tessary "$c" "out.$c" tessary "$tessary"
  [ -n "$before" ] && time_tessary "$c" "before.$c" before "$before"

  if [ "$c" = exr ]; then
    # oiiotool (2.4) has no screen, overlay or hard light: screen is built
    # from invert, multiply and invert; overlay and hard light each stand as
    # one multiply (an operation of the same size). 11 operations: multiply;
    # invert, invert, multiply, invert; multiply; absolute difference;
    # alpha times 0.5 and over; max; multiply.
    l() { echo "$work/l$1.exr"; }
    for t in $threads_list; do
      best "oiiotool, 11 operations, $t threads" oiiotool --threads "$t" \
        "$(l 0)" "$(l 1)" --mul --invert "$(l 2)" --invert --mul --invert "$(l 3)" --mul "$(l 4)" --absdiff \
        "$(l 5)" --mulc 1,1,1,0.5 --over "$(l 6)" --max "$(l 7)" --mul \
        -d float --compression zip -o "$work/oiio.exr"
      eval "o_$t=$best"
      best "oiiotool, one layer read and written, $t threads" oiiotool --threads "$t" "$(l 0)" \
        -d float --compression zip -o "$work/oiio.exr"
    done
  else
    for t in $threads_list; do
      if [ -x /usr/bin/convert ]; then
        p() { echo "$work/l$1.png"; }
        best "ImageMagick, 8 layers, $t threads" env MAGICK_THREAD_LIMIT="$t" /usr/bin/convert \
          "$(p 0)" "$(p 1)" -compose Multiply -composite "$(p 2)" -compose Screen -composite \
          "$(p 3)" -compose Overlay -composite "$(p 4)" -compose Difference -composite \
          \( "$(p 5)" -alpha set -channel A -evaluate multiply 0.5 +channel \) -compose Over -composite \
          "$(p 6)" -compose Lighten -composite "$(p 7)" -compose HardLight -composite "$work/im.png"
        eval "o_$t=$best"
      fi
      # oiiotool has multiply, absdiff (difference) and max (lighten) but
      # no screen, overlay or hard light: the stack it can do, as such.
      best "oiiotool (multiply, difference, lighten: 4 images), $t threads" oiiotool --threads "$t" \
        "$work/l0.png" "$work/l1.png" --mul "$work/l4.png" --absdiff "$work/l6.png" --max -o "$work/oiio.png"
    done
  fi

  peer=oiiotool; [ "$c" = png ] && peer=ImageMagick
  for t in $threads_list; do
    eval "mine=\$t_tessary_${c}_$t; theirs=\${o_$t:-}"
    [ -n "$theirs" ] && echo "  tessary vs $peer, $t threads: $(ratio "$theirs" "$mine")x faster"
    if [ -n "$before" ]; then
      eval "old=\$t_before_${c}_$t"
      echo "  tessary vs before, $t threads: $(ratio "$old" "$mine")x faster"
    fi
  done
  compositing tessary "$c"
  [ -n "$before" ] && compositing before "$c"
  rm -f "$work"/l*."$c"
done
